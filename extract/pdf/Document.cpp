#include "extract/pdf/Document.h"

#include "extract/pdf/DocumentRecovery.h"
#include "extract/pdf/InvoiceXmlReader.h"
#include "extract/pdf/QpdfBrotliFilter.h"
#include "extract/pdf/QpdfDocument.h"
#include "extract/pdf/QpdfJoinedInput.h"
#include "extract/pdf/QpdfOutputLimit.h"
#include "extract/pdf/QpdfPassingInflate.h"
#include "extract/pdf/QpdfRunLengthFilter.h"
#include "extract/pdf/QpdfStoppableInput.h"
#include "util/FsPath.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <qpdf/Buffer.hh>
#include <qpdf/BufferInputSource.hh>
#include <qpdf/FileInputSource.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFSystemError.hh>
#include <string_view>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quenlith {

namespace {

std::string errnoText(int error)
{
    return std::error_code(error, std::generic_category()).message();
}

// Where ISO 32000-1 7.5.2 expects the header; readers accept it anywhere in the first 1 KiB.
constexpr std::size_t headerRange = 1024;

struct FileCloser {
    void operator()(std::FILE *file) const
    {
        std::fclose(file);
    }
};

// What one read of a document gives: the whole file when it is small enough, else its first
// bytes and the file still open, for qpdf to read as it needs.
struct LoadedFile {
    std::unique_ptr<char[]> data; // the whole file when `whole`, else its first headerRange bytes
    std::size_t size = 0; // bytes in `data`
    bool whole = false;
    std::unique_ptr<std::FILE, FileCloser> file; // open, at any position, when not `whole`
};

// Opens `path` once and reads it whole when it holds at most `limit` bytes, else its first
// headerRange bytes. Folders, devices and pipes are refused without blocking. False with a
// reason ("cannot be read: ...") on failure.
bool loadFile(const std::string &path, std::uint64_t limit, LoadedFile &loaded, std::string &reason)
{
    std::uint64_t fileSize = 0;
#ifdef _WIN32
    std::error_code ec;
    const auto status = std::filesystem::status(pathFromUtf8(path), ec);
    if (ec || !std::filesystem::exists(status)) {
        reason = "cannot be read: no such file";
        return false;
    }
    if (std::filesystem::is_directory(status)) {
        reason = "cannot be read: it is a folder";
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        reason = "cannot be read: not a regular file";
        return false;
    }
    std::FILE *file = _wfopen(pathFromUtf8(path).c_str(), L"rb");
    if (file == nullptr) {
        reason = "cannot be read: " + errnoText(errno != 0 ? errno : EIO);
        return false;
    }
    const std::uintmax_t size = std::filesystem::file_size(pathFromUtf8(path), ec);
    fileSize = ec ? UINT64_MAX : size; // unknown: read as needed
#else
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it changes nothing for files.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        reason = error == ENOENT || error == ENOTDIR ? "cannot be read: no such file"
                                                     : "cannot be read: " + errnoText(error);
        return false;
    }
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const bool folder = S_ISDIR(info.st_mode);
        ::close(fd);
        reason = folder ? "cannot be read: it is a folder" : "cannot be read: not a regular file";
        return false;
    }
    fileSize = static_cast<std::uint64_t>(info.st_size);
    std::FILE *file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        reason = "cannot be read: " + errnoText(errno != 0 ? errno : EIO);
        ::close(fd);
        return false;
    }
#endif
    // The size only chooses the way: a file that grows meanwhile is read as far as it was.
    loaded.whole = fileSize <= limit;
    const std::size_t wanted
        = loaded.whole ? static_cast<std::size_t>(fileSize) : static_cast<std::size_t>(headerRange);
    loaded.data = std::unique_ptr<char[]>(new char[std::max<std::size_t>(wanted, 1)]);
    loaded.size = std::fread(loaded.data.get(), 1, wanted, file);
    if (std::ferror(file) != 0) {
        std::fclose(file);
        reason = "cannot be read: " + errnoText(EIO);
        return false;
    }
    if (loaded.whole)
        std::fclose(file);
    else
        loaded.file.reset(file);
    return true;
}

// Collects a stream's decoded bytes; the limit stage in front of it bounds them.
class StringSink : public Pipeline {
public:
    explicit StringSink(std::string &out)
        : Pipeline("string sink", nullptr)
        , m_out(out)
    {
    }
    void write(unsigned char const *data, size_t len) override
    {
        m_out.append(reinterpret_cast<const char *>(data), len);
    }
    void finish() override
    {
    }

private:
    std::string &m_out;
};

// The decoded XMP packet of the catalog's /Metadata; empty when there is none or it cannot be
// read, which is warned about and told in `unreadable`.
std::string readMetadata(Document::Impl &d, std::string &unreadable)
{
    const auto fail = [&](std::string reason) {
        d.warn(reason);
        unreadable = std::move(reason);
        return std::string();
    };
    std::string packet;
    try {
        auto metadata = d.pdf->getRoot().getKey("/Metadata");
        if (!metadata.isStream())
            return {};
        StringSink sink(packet);
        QpdfOutputLimit limit(&sink, maxXmpPacketBytes, "larger than 4 MiB");
        bool filtered = false;
        bool piped = false;
        std::string failure;
        try {
            piped
                = metadata.pipeStreamData(&limit, &filtered, 0, qpdf_dl_specialized, false, false);
        } catch (std::exception &e) {
            failure = e.what();
        }
        const std::string warning = d.collectWarnings();
        if (limit.exceeded())
            return fail("the XMP metadata is not read: it is larger than 4 MiB");
        if (!piped || !filtered || !failure.empty())
            return fail("the XMP metadata cannot be decoded"
                + (failure.empty() && warning.empty()
                        ? std::string()
                        : ": " + (failure.empty() ? warning : failure)));
    } catch (std::exception &e) {
        return fail(std::string("the XMP metadata is unreadable: ") + e.what());
    }
    return packet;
}

// The best attachment for `fileName` among `attachments`: its position and fit.
std::pair<int, int> bestInvoiceFit(
    const std::string &fileName, const std::vector<Attachment> &attachments)
{
    std::pair<int, int> best { 0, 0 };
    for (const Attachment &attachment : attachments) {
        const int fit = invoiceAttachmentFit(fileName, attachment.name, attachment.afRelationship);
        if (fit > best.second)
            best = { attachment.position, fit };
    }
    return best;
}

// Whether data that begins with `head` may be XML: after a UTF-8 byte order mark and white
// space comes "<", or it is UTF-16. Settles most non-XML attachments without an XML parser.
bool mayBeXml(std::string_view head)
{
    if (head.substr(0, 3) == "\xEF\xBB\xBF")
        head.remove_prefix(3);
    const std::size_t first = head.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return true; // only white space so far: the parser decides
    const char c = head[first];
    return c == '<' || (first == 0 && (c == '\0' || c == '\xFE' || c == '\xFF'));
}

// Feeds decoded data to an InvoiceXmlReader, unless its first bytes show it is no XML.
class InvoiceXmlSink : public PassingSink {
public:
    explicit InvoiceXmlSink(InvoiceXmlReader &reader)
        : PassingSink("invoice XML")
        , m_reader(reader)
    {
    }

protected:
    bool take(const char *data, std::size_t len) override
    {
        if (!m_started && len > 0) {
            m_started = true;
            if (!mayBeXml(std::string_view(data, len)))
                return false;
        }
        return m_reader.feed(data, len);
    }

private:
    InvoiceXmlReader &m_reader;
    bool m_started = false;
};

// What the invoice XML of `attachment` says; `syntax` empty when it is no invoice or cannot be
// read, the latter warned about.
InvoiceContent readInvoiceContent(Document::Impl &d, const Attachment &attachment)
{
    InvoiceXmlReader reader;
    InvoiceXmlSink sink(reader);
    const std::size_t warned = d.warnings.size();
    const std::size_t qpdfWarned = d.qpdfWarnings;
    std::string failure = d.decodeInto(attachment, sink);
    const bool read = reader.finish();
    if (!reader.error().empty() || !reader.isInvoice()) {
        // The reader stopped the decoding: what qpdf said about that is no news.
        d.warnings.resize(warned);
        d.qpdfWarnings = qpdfWarned;
        failure.clear();
    }
    if (!reader.isInvoice())
        return {};
    if (read && failure.empty())
        return reader.content();
    d.warn("the invoice XML " + attachment.name + " (attachment "
        + std::to_string(attachment.position) + ") cannot be read: "
        + (!reader.error().empty() ? reader.error()
                : failure.empty()  ? std::string("it ends early")
                                   : failure));
    return {};
}

bool namedAsXml(const Attachment &attachment)
{
    std::string name = attachment.name.size() >= 4
        ? attachment.name.substr(attachment.name.size() - 4)
        : std::string();
    for (char &c : name)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return name == ".xml" || attachment.mimeType.find("xml") != std::string::npos;
}

// Reads the invoice XML into `invoice`: the declared attachment's, or when nothing is declared,
// that of the first listed XML attachment that is an invoice. A declaration without its file, or
// whose profile the XML's guideline contradicts, is warned about.
void readInvoiceXml(Document::Impl &d, InvoiceInfo &invoice)
{
    if (invoice.declared && !invoice.present) {
        d.warn("the XMP metadata declares the invoice "
            + (invoice.fileName.empty()
                    ? std::string("without a file name")
                    : invoice.fileName + ", which is not among its attachments"));
        return;
    }
    if (invoice.declared) {
        const Attachment &attachment = invoice.index <= static_cast<int>(d.listed.size())
            ? d.listed[static_cast<std::size_t>(invoice.index - 1)]
            : d.unlisted[static_cast<std::size_t>(invoice.index - 1) - d.listed.size()];
        invoice.content = readInvoiceContent(d, attachment);
        const std::string level = profileOfGuideline(invoice.content.guideline);
        if (invoice.profileKnown && !level.empty() && level != invoice.profile)
            d.warn("the XMP metadata declares the profile " + invoice.profile
                + ", but the invoice XML names " + level + " (" + invoice.content.guideline + ")");
        return;
    }
    for (const Attachment &attachment : d.listed) {
        if (!namedAsXml(attachment))
            continue;
        InvoiceContent content = readInvoiceContent(d, attachment);
        if (content.syntax.empty())
            continue;
        invoice.present = true;
        invoice.index = attachment.position;
        invoice.fileName = attachment.name;
        invoice.standard = standardOfGuideline(content.guideline);
        if (invoice.standard.empty())
            invoice.standard = content.syntax;
        invoice.profile = profileOfGuideline(content.guideline);
        invoice.profileKnown = !invoice.profile.empty();
        invoice.content = std::move(content);
        return;
    }
}

OpenFailure failure(OpenFailure::Reason reason, std::string text)
{
    return OpenFailure { reason, std::move(text) };
}

// Lists the attachments of the document just opened in `d.pdf`; qpdf's exceptions pass.
void listOpened(Document::Impl &d)
{
    d.list();
    d.collectWarnings();
    d.repaired = d.qpdfWarnings > 0 || d.recovered;
}

// Opens `loaded` in `d.pdf` and lists its attachments; qpdf's exceptions pass.
void process(Document::Impl &d, LoadedFile &loaded, const std::string &password)
{
    d.pdf = std::make_unique<QPDF>();
    d.pdf->setSuppressWarnings(true);
    // From memory, qpdf's many small reads cost no system calls (it seeks before each one); a
    // large file is read from disk as needed, so that memory use stays bounded.
    std::shared_ptr<InputSource> source;
    if (loaded.whole) {
        d.contents = std::move(loaded.data);
        d.contentsSize = loaded.size;
        source = std::make_shared<BufferInputSource>(d.path,
            new Buffer(reinterpret_cast<unsigned char *>(d.contents.get()), d.contentsSize),
            true); // owns the Buffer, which does not own the bytes
    } else {
        auto file = std::make_shared<FileInputSource>();
        file->setFile(d.path.c_str(), loaded.file.release(), true); // closes it
        source = std::move(file);
    }
    d.pdf->processInputSource(
        std::make_shared<QpdfStoppableInput>(std::move(source), d.stop), password.c_str());
    listOpened(d);
}

#ifndef _WIN32
// A file mapped read-only, so that recovery scans a large document without reading it into
// memory. A file that another program shortens meanwhile can still end the process (SIGBUS), as
// with any mapping.
struct MappedFile {
    void *data = MAP_FAILED;
    std::size_t size = 0;

    ~MappedFile()
    {
        if (data != MAP_FAILED)
            ::munmap(data, size);
    }
};

std::shared_ptr<MappedFile> mapFile(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    auto mapped = std::make_shared<MappedFile>();
    struct stat info { };
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        mapped->size = static_cast<std::size_t>(info.st_size);
        mapped->data = ::mmap(nullptr, mapped->size, PROT_READ, MAP_PRIVATE, fd, 0);
    }
    ::close(fd);
    return mapped->data == MAP_FAILED ? nullptr : mapped;
}
#endif

// Opens in `d.pdf` what recoverTruncated makes of `bytes` (kept alive by `owner` when not null)
// and lists its attachments. False when nothing could be recovered; qpdf's exceptions pass.
bool processRecovered(Document::Impl &d,
    std::string_view bytes,
    std::shared_ptr<void> owner,
    const std::string &password)
{
    auto recovered = recoverTruncated(bytes, password);
    if (!recovered)
        return false;
    d.pdf = std::make_unique<QPDF>();
    d.pdf->setSuppressWarnings(true);
    d.pdf->processInputSource(
        std::make_shared<QpdfStoppableInput>(std::make_shared<QpdfJoinedInput>(d.path,
                                                 bytes.substr(0, recovered->keptSize),
                                                 std::move(recovered->tail),
                                                 std::move(owner)),
            d.stop),
        password.c_str());
    d.recovered = true;
    d.warn(std::string("the document is cut short: its end is lost and the objects that remain "
                       "whole were recovered")
        + (recovered->ownCatalog ? ""
                                 : "; its catalog is lost too, so that only a search of all its "
                                   "objects finds its attachments"));
    listOpened(d);
    return true;
}

// Runs `step`, and turns what it throws into the failure it means; `recoverable` tells whether
// qpdf found the document damaged past its own repair.
template <typename Step>
std::optional<OpenFailure> guarded(const std::string &password, bool &recoverable, Step &&step)
{
    using Reason = OpenFailure::Reason;
    recoverable = false;
    try {
        step();
        return std::nullopt;
    } catch (Document::Impl::Stopped &) {
        return failure(Reason::Stopped, "stopped");
    } catch (QPDFExc &e) {
        switch (e.getErrorCode()) {
        case qpdf_e_password:
            return failure(Reason::NeedsPassword,
                password.empty() ? "needs a password"
                                 : "needs a password: the password given does not open it");
        case qpdf_e_system:
            return failure(Reason::FileUnreadable, "cannot be read: " + e.getMessageDetail());
        default:
            recoverable = e.getErrorCode() == qpdf_e_damaged_pdf;
            return failure(Reason::Damaged, "damaged beyond repair: " + e.getMessageDetail());
        }
    } catch (QPDFSystemError &e) {
        return failure(Reason::FileUnreadable, "cannot be read: " + errnoText(e.getErrno()));
    } catch (std::exception &e) {
        return failure(Reason::Damaged, std::string("damaged beyond repair: ") + e.what());
    } catch (...) {
        return failure(Reason::Damaged, "damaged beyond repair");
    }
}

// The document that qpdf could not open in `failed` (whose bytes it takes, when read whole),
// recovered as a document cut short; null when that fails too. Windows: only a document read
// whole, below OpenLimits::memoryLimit, is recovered.
std::unique_ptr<Document::Impl> recover(Document::Impl &failed, const std::string &password)
{
    auto d = std::make_unique<Document::Impl>();
    d->path = failed.path;
    d->stop = failed.stop;
    failed.pdf.reset(); // before the bytes it reads move
    d->contents = std::move(failed.contents);
    d->contentsSize = failed.contentsSize;
    std::string_view bytes(d->contents.get(), d->contentsSize);
    std::shared_ptr<void> owner;
#ifndef _WIN32
    if (!d->contents) {
        auto mapped = mapFile(d->path);
        if (mapped)
            bytes = std::string_view(static_cast<const char *>(mapped->data), mapped->size);
        owner = std::move(mapped);
    }
#endif
    bool recoverable = false;
    bool opened = false;
    if (bytes.empty()
        || guarded(password,
            recoverable,
            [&] { opened = processRecovered(*d, bytes, std::move(owner), password); })
        || !opened)
        return nullptr;
    return d;
}

} // namespace

std::variant<Document, OpenFailure> Document::open(
    const std::string &path, const std::string &password, const OpenLimits &limits)
{
    using Reason = OpenFailure::Reason;
    QpdfBrotliFilter::registerWithQpdf();
    QpdfRunLengthFilter::registerWithQpdf();
    LoadedFile loaded;
    std::string unreadable;
    if (!loadFile(path, limits.memoryLimit, loaded, unreadable))
        return failure(Reason::FileUnreadable, unreadable);
    if (loaded.size == 0)
        return failure(Reason::NotPdf, "not a PDF document: the file is empty");
    const std::string_view head(loaded.data.get(), std::min(loaded.size, headerRange));
    // Refused before qpdf, whose recovery would scan a large file of anything else to its end.
    if (head.find("%PDF-") == std::string_view::npos)
        return failure(Reason::NotPdf, "not a PDF document: no PDF header in its first 1024 bytes");
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    impl->stop = limits.stop;
    bool recoverable = false;
    auto failed = guarded(password, recoverable, [&] { process(*impl, loaded, password); });
    if (failed && recoverable) {
        if (auto recovered = recover(*impl, password)) {
            impl = std::move(recovered);
            failed.reset();
        }
    }
    if (failed)
        return *failed;
    // Never "no attachments" for a document whose attachments could not all be listed.
    if (!impl->listingDamage.empty())
        return failure(Reason::Damaged, "damaged: " + impl->listingDamage);
    return Document(std::move(impl));
}

std::string Document::Impl::collectWarnings()
{
    if (!pdf)
        return {};
    std::string last;
    for (const auto &warning : pdf->getWarnings()) {
        last = warning.what();
        int number = 0;
        int generation = 0;
        // qpdf names the object it was reading "object <number> <generation>".
        if (std::sscanf(warning.getObject().c_str(), "object %d %d", &number, &generation) == 2)
            warnedObjects[QPDFObjGen(number, generation)] = last;
        warnings.push_back(last);
        ++qpdfWarnings;
    }
    return last;
}

QPDFObjectHandle Document::Impl::streamOf(const Attachment &attachment) const
{
    const auto at = static_cast<std::size_t>(attachment.position - 1);
    return attachment.position >= 1 && at < streams.size() ? streams[at] : QPDFObjectHandle();
}

QPDFObjectHandle Document::Impl::lostStream(QPDFObjectHandle spec) const
{
    if (!recovered || !spec.isDictionary() || !spec.getKey("/EF").isDictionary())
        return {};
    auto ef = spec.getKey("/EF");
    for (const char *name : { "/F", "/UF", "/Unix", "/DOS", "/Mac" }) {
        auto reference = ef.getKey(name);
        // A reference to an object that is not there reads as null.
        if (reference.isIndirect() && reference.isNull())
            return reference;
    }
    return {};
}

Document::Document(std::unique_ptr<Impl> impl)
    : m_impl(std::move(impl))
{
}

Document::Document(Document &&) noexcept = default;
Document &Document::operator=(Document &&) noexcept = default;
Document::~Document() = default;

Document::Impl &Document::impl() const
{
    return *m_impl;
}

const std::string &Document::path() const
{
    return m_impl->path;
}

const std::vector<Attachment> &Document::attachments() const
{
    return m_impl->listed;
}

const std::vector<Attachment> &Document::unlisted() const
{
    m_impl->findUnlisted();
    return m_impl->unlisted;
}

const Attachment *Document::at(int position) const
{
    const auto &listed = m_impl->listed;
    if (position >= 1 && position <= static_cast<int>(listed.size()))
        return &listed[static_cast<std::size_t>(position - 1)];
    const auto &more = unlisted();
    const auto past = static_cast<std::size_t>(position) - listed.size();
    return position >= 1 && past >= 1 && past <= more.size() ? &more[past - 1] : nullptr;
}

std::vector<std::string> Document::warnings() const
{
    m_impl->collectWarnings();
    return m_impl->warnings;
}

bool Document::repaired() const
{
    return m_impl->repaired;
}

bool Document::listingComplete() const
{
    return m_impl->listingComplete;
}

const InvoiceInfo &Document::invoice() const
{
    auto &d = *m_impl;
    if (d.invoice)
        return *d.invoice;
    std::string unreadable;
    std::vector<InvoiceInfo> declarations = readInvoiceDeclarations(readMetadata(d, unreadable));
    d.invoice = declarations.empty() ? InvoiceInfo() : declarations.front();
    d.invoice->metadataUnreadable = std::move(unreadable);
    // The listed attachments first: reading every object for the unlisted ones costs more.
    for (const bool searchUnlisted : { false, true }) {
        if (declarations.empty())
            break;
        const auto &attachments = searchUnlisted ? unlisted() : d.listed;
        std::pair<int, int> best { 0, 0 };
        const InvoiceInfo *chosen = nullptr;
        for (const InvoiceInfo &declaration : declarations) {
            const auto fit = bestInvoiceFit(declaration.fileName, attachments);
            if (fit.second > best.second) {
                best = fit;
                chosen = &declaration;
            }
        }
        if (chosen != nullptr) {
            d.invoice = *chosen;
            d.invoice->present = true;
            d.invoice->index = best.first;
            break;
        }
    }
    readInvoiceXml(d, *d.invoice);
    return *d.invoice;
}

} // namespace quenlith
