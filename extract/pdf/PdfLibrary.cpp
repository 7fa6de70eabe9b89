#include "extract/pdf/PdfLibrary.h"

#include "extract/output/PartFile.h"
#include "extract/output/Placement.h"
#include "extract/pdf/InvoiceMetadata.h"
#include "extract/pdf/PdfTextDecoder.h"
#include "extract/pdf/QpdfAttachmentSink.h"
#include "extract/pdf/QpdfBrotliFilter.h"
#include "extract/pdf/QpdfEmbeddedFileCrypt.h"
#include "extract/pdf/QpdfFilterChain.h"
#include "extract/pdf/QpdfIsalInflate.h"
#include "extract/pdf/QpdfOutputLimit.h"
#include "extract/pdf/QpdfPortfolio.h"
#include "util/FsPath.h"
#include "util/SafeFileName.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFSystemError.hh>
#include <set>
#include <string_view>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quenlith {

namespace {

// Deeper trees than this are treated as damaged: real documents nest a few levels only, and a
// bound keeps hostile input from exhausting the stack.
constexpr int maxTreeDepth = 256;
// The name tree is walked without recursion: its bound only stops absurd documents (qpdf itself
// reads trees this deep).
constexpr int maxNameTreeDepth = 100000;
// Form XObjects inside form XObjects: real documents nest a few.
constexpr int maxXObjectDepth = 16;
// Structure trees hold an element per tagged paragraph or span, so far more than other trees;
// the walk stops after this many nodes, warning, so that a hostile tree ends quickly.
constexpr std::size_t maxStructureNodes = 1000000;

struct Entry {
    QPDFObjectHandle stream; // the embedded file stream (ISO 32000-1 7.11.4)
    std::string checksum; // /Params /CheckSum, 16 raw MD5 bytes, or empty
    AttachmentInfo info;
};

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// Reads `count` decimal digits at `at` into `value`; false when they are not all digits.
bool readDigits(std::string_view text, std::size_t &at, std::size_t count, int &value)
{
    if (text.size() - at < count)
        return false;
    value = 0;
    for (std::size_t end = at + count; at < end; ++at) {
        if (text[at] < '0' || text[at] > '9')
            return false;
        value = value * 10 + (text[at] - '0');
    }
    return true;
}

// Seconds since 1970 UTC of a PDF date (ISO 32000-1 7.9.4), or INT64_MIN when invalid:
// "D:YYYYMMDDHHmmSSOHH'mm'", where every field after the year may be left out (month and day
// default to 1, the rest to 0, a missing offset to UTC) and the prefix "D:", which some writers
// forget, too. Parsed here rather than by QUtil, whose regular expression took a noticeable
// share of listing small documents.
std::int64_t parsePdfDate(std::string_view text)
{
    if (text.substr(0, 2) == "D:")
        text.remove_prefix(2);
    std::size_t at = 0;
    int year = 0;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int offset = 0; // minutes ahead of UTC
    if (!readDigits(text, at, 4, year))
        return INT64_MIN;
    // Each optional field is present only when the one before it is.
    for (int *field : { &month, &day, &hour, &minute, &second }) {
        if (at == text.size() || text[at] < '0' || text[at] > '9')
            break;
        if (!readDigits(text, at, 2, *field))
            return INT64_MIN;
    }
    if (at < text.size()) {
        const char sign = text[at++];
        if (sign == 'Z') {
            // "Z00'00'" and "Z00'00" appear in the wild: zero offsets after Z are accepted.
            if (text.find_first_not_of("0'", at) != std::string_view::npos)
                return INT64_MIN;
        } else if (sign == '+' || sign == '-') {
            int hours = 0;
            int minutes = 0;
            if (!readDigits(text, at, 2, hours))
                return INT64_MIN;
            if (at < text.size() && text[at] == '\'')
                ++at;
            if (at < text.size() && !readDigits(text, at, 2, minutes))
                return INT64_MIN;
            if (at < text.size() && text[at] == '\'')
                ++at;
            if (at != text.size() || hours > 23 || minutes > 59)
                return INT64_MIN;
            offset = (sign == '+' ? 1 : -1) * (hours * 60 + minutes);
        } else {
            return INT64_MIN;
        }
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return INT64_MIN;
    const std::int64_t days
        = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return days * 86400 + hour * 3600 + minute * 60 + second - std::int64_t { offset } * 60;
}

std::string isoDate(std::int64_t seconds)
{
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Civil date from days since 1970 (inverse of daysFromCivil).
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned day = doy - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
    char text[64];
    std::snprintf(text,
        sizeof(text),
        "%04lld-%02u-%02uT%02d:%02d:%02dZ",
        static_cast<long long>(year),
        month,
        day,
        static_cast<int>(rest / 3600),
        static_cast<int>(rest / 60 % 60),
        static_cast<int>(rest % 60));
    return text;
}

std::string textOf(QPDFObjectHandle dict, const char *key)
{
    auto value = dict.getKey(key);
    return value.isString() ? PdfTextDecoder::toUtf8(value.getStringValue()) : std::string();
}

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

} // namespace

struct PdfLibrary::Impl {
    // The current document's bytes when it was read whole. qpdf reads from them, so they are
    // declared before `pdf`, to outlive it.
    std::unique_ptr<char[]> contents;
    std::size_t contentsSize = 0;
    std::unique_ptr<QPDF> pdf;
    std::string path;
    std::vector<Entry> entries; // the listed ones, then the unlisted ones once found
    std::size_t listedCount = 0;
    bool unlistedFound = false; // findUnlisted ran for this document
    // Each listed file specification's entry: a specification reached twice is one file.
    std::map<QPDFObjGen, std::size_t> seenSpecs;
    std::vector<QPDFObjectHandle> pages; // in page order, filled by walkPageTree
    PortfolioFolders portfolio; // the folders that name-tree keys may refer to
    std::vector<std::string> warnings;
    std::string listingDamage; // the first reason why listing lost an embedded file
    std::string lastError;
    std::uint64_t lastWritten = 0;
    bool storedInClear = false; // of the last write: see lastWriteStoredInClear()
    WriteProgress progress;
    std::uint64_t memoryLimit = PdfLibrary::defaultMemoryLimit;
    std::uint64_t maxAttachmentSize = PdfLibrary::defaultMaxAttachmentSize;
    std::uint64_t maxExpansionRatio = PdfLibrary::defaultMaxExpansionRatio;
    std::optional<InvoiceInfo> invoice; // once invoiceInfo() asked for it

    void close()
    {
        invoice.reset();
        entries.clear();
        listedCount = 0;
        unlistedFound = false;
        seenSpecs.clear();
        pages.clear();
        portfolio = {};
        warnings.clear();
        listingDamage.clear();
        pdf.reset();
        contents.reset(); // after pdf, which reads from it
        contentsSize = 0;
        path.clear();
    }

    void warn(std::string text)
    {
        warnings.push_back(std::move(text));
    }

    // An embedded file was lost while listing: the document's list cannot be trusted.
    void damage(std::string reason)
    {
        if (listingDamage.empty())
            listingDamage = reason;
        warn(std::move(reason));
    }

    // Moves qpdf's warnings into ours (QPDF::getWarnings() hands them over and forgets them);
    // returns the last one, or the empty text.
    std::string collectWarnings()
    {
        if (!pdf)
            return {};
        std::string last;
        for (const auto &warning : pdf->getWarnings()) {
            last = warning.what();
            warnings.push_back(last);
        }
        return last;
    }

    struct DecodeResult {
        bool decoded = false; // every filter applied and the data reached the sink
        std::string error; // why not, when known
        std::string warning; // qpdf's last warning while decoding, empty when none
        // The fast inflater did not accept the stream: decode it again with `fast` false.
        bool fastRejected = false;
    };
    // Pipes `source` through its filters into `sink` (which complete() has not ended yet); with
    // `fast`, a stream that chain.onlyPlainFlate describes is inflated by ISA-L instead of qpdf.
    DecodeResult decode(
        QPDFObjectHandle source, const FilterChain &chain, Pipeline &sink, bool fast);

    // The most bytes that `entry` may decode to, and the reason to give past them.
    std::pair<std::uint64_t, std::string> outputLimit(const Entry &entry) const;

    // The decoded XMP packet of the catalog's /Metadata; empty when there is none or it cannot be
    // read, which is warned about.
    std::string readMetadata();
    // The best attachment for `fileName` among entries [from, to): its 1-based index and fit.
    std::pair<int, int> bestInvoiceFit(
        const std::string &fileName, std::size_t from, std::size_t to) const;
    void enumerate();
    void walkNameTree(QPDFObjectHandle root);
    void walkPageTree(QPDFObjectHandle node, int depth, std::set<QPDFObjGen> &visited, int &page);
    void addAssociatedFiles(QPDFObjectHandle owner, const std::string &ownerName);
    void walkXObjects(QPDFObjectHandle resources,
        const std::string &ownerName,
        int depth,
        std::set<QPDFObjGen> &visited);
    void walkStructureTree(QPDFObjectHandle root);
    void addFileSpec(QPDFObjectHandle spec,
        const std::string &key,
        int page,
        const char *origin,
        const std::string &afOwner = {});
    void placeInPortfolio(AttachmentInfo &info);
    void findUnlisted();
    std::vector<QPDFObjectHandle> unlistedCandidates();
    // Whether 1-based `index` names an entry, looking for the unlisted ones when it lies past
    // the listed ones (they are found again after each OpenDocument).
    bool hasEntry(int index)
    {
        if (index > static_cast<int>(listedCount))
            findUnlisted();
        return index >= 1 && index <= static_cast<int>(entries.size());
    }
};

namespace {

// The embedded file stream of a file specification (ISO 32000-1 7.11.4), or null.
QPDFObjectHandle embeddedStream(QPDFObjectHandle spec)
{
    if (!spec.isDictionary())
        return {}; // null, or a plain string naming an external file
    auto ef = spec.getKey("/EF");
    if (!ef.isDictionary())
        return {}; // names an external file only
    for (const char *name : { "/F", "/UF", "/Unix", "/DOS", "/Mac" }) {
        auto candidate = ef.getKey(name);
        if (candidate.isStream())
            return candidate;
    }
    return {};
}

// What the embedded file stream itself declares: its MIME type and /Params.
void readStreamInfo(Entry &entry)
{
    auto &info = entry.info;
    auto dict = entry.stream.getDict();
    auto subtype = dict.getKey("/Subtype");
    if (subtype.isName() && subtype.getName().size() > 1)
        info.mimeType = PdfTextDecoder::toUtf8(subtype.getName().substr(1));
    auto params = dict.getKey("/Params");
    if (!params.isDictionary())
        return;
    auto size = params.getKey("/Size");
    if (size.isInteger() && size.getIntValue() >= 0)
        info.declaredSize = size.getIntValue();
    auto modDate = params.getKey("/ModDate");
    if (modDate.isString())
        info.modTime = parsePdfDate(modDate.getStringValue());
    auto creationDate = params.getKey("/CreationDate");
    if (creationDate.isString())
        info.createdTime = parsePdfDate(creationDate.getStringValue());
    auto checksum = params.getKey("/CheckSum");
    if (checksum.isString() && checksum.getStringValue().size() == 16) {
        entry.checksum = checksum.getStringValue();
        info.hasDeclaredChecksum = true;
    }
}

bool hasName(QPDFObjectHandle dict, const char *key, const char *name)
{
    auto value = dict.getKey(key);
    return value.isName() && value.getName() == name;
}

} // namespace

namespace {

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

} // namespace

std::string PdfLibrary::Impl::readMetadata()
{
    std::string packet;
    try {
        auto metadata = pdf->getRoot().getKey("/Metadata");
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
        const std::string warning = collectWarnings();
        if (limit.exceeded()) {
            warn("the XMP metadata is not read: it is larger than 4 MiB");
            return {};
        }
        if (!piped || !filtered || !failure.empty()) {
            warn("the XMP metadata cannot be decoded"
                + (failure.empty() && warning.empty()
                        ? std::string()
                        : ": " + (failure.empty() ? warning : failure)));
            return {};
        }
    } catch (std::exception &e) {
        warn(std::string("the XMP metadata is unreadable: ") + e.what());
        return {};
    }
    return packet;
}

std::pair<int, int> PdfLibrary::Impl::bestInvoiceFit(
    const std::string &fileName, std::size_t from, std::size_t to) const
{
    std::pair<int, int> best { 0, 0 };
    for (std::size_t i = from; i < to && i < entries.size(); ++i) {
        const AttachmentInfo &info = entries[i].info;
        const int fit = invoiceAttachmentFit(fileName, info.name, info.afRelationship);
        if (fit > best.second)
            best = { static_cast<int>(i + 1), fit };
    }
    return best;
}

void PdfLibrary::Impl::enumerate()
{
    auto root = pdf->getRoot();
    // Before the name tree, whose keys refer to the folders.
    portfolio = PortfolioFolders::read(
        root.getKey("/Collection"), [this](std::string text) { warn(std::move(text)); });
    try {
        auto names = root.getKey("/Names");
        if (names.isDictionary())
            walkNameTree(names.getKey("/EmbeddedFiles"));
    } catch (std::exception &e) {
        damage(std::string("the EmbeddedFiles name tree is unreadable: ") + e.what());
    }
    try {
        std::set<QPDFObjGen> visited;
        int page = 0;
        walkPageTree(root.getKey("/Pages"), 0, visited, page);
    } catch (std::exception &e) {
        warn(std::string("page tree unreadable: ") + e.what());
    }
    // Associated files (ISO 32000-2 14.13): those of the whole document, then page by page.
    addAssociatedFiles(root, "catalog");
    std::set<QPDFObjGen> visitedXObjects;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::string page = "page " + std::to_string(i + 1);
        auto pageObject = pages[i];
        addAssociatedFiles(pageObject, page);
        try {
            auto annots = pageObject.getKey("/Annots");
            const int n = annots.isArray() ? annots.getArrayNItems() : 0;
            for (int a = 0; a < n; ++a)
                addAssociatedFiles(annots.getArrayItem(a), "annotation on " + page);
            // Resources may be inherited from the page tree (ISO 32000-1 7.7.3.4).
            auto node = pageObject;
            for (int depth = 0; depth <= maxTreeDepth && node.isDictionary(); ++depth) {
                if (node.hasKey("/Resources")) {
                    walkXObjects(
                        node.getKey("/Resources"), "xobject on " + page, 0, visitedXObjects);
                    break;
                }
                node = node.getKey("/Parent");
            }
        } catch (std::exception &e) {
            warn("associated files of " + page + " unreadable: " + e.what());
        }
    }
    try {
        walkStructureTree(root.getKey("/StructTreeRoot"));
    } catch (std::exception &e) {
        warn(std::string("structure tree unreadable: ") + e.what());
    }
    listedCount = entries.size();
}

void PdfLibrary::Impl::addAssociatedFiles(QPDFObjectHandle owner, const std::string &ownerName)
{
    try {
        if (!owner.isDictionary())
            return;
        auto af = owner.getKey("/AF");
        if (!af.isArray())
            return;
        const int n = af.getArrayNItems();
        for (int i = 0; i < n; ++i)
            addFileSpec(af.getArrayItem(i), std::string(), 0, "af", ownerName);
    } catch (std::exception &e) {
        warn("associated files of the " + ownerName + " unreadable: " + e.what());
    }
}

void PdfLibrary::Impl::walkXObjects(QPDFObjectHandle resources,
    const std::string &ownerName,
    int depth,
    std::set<QPDFObjGen> &visited)
{
    if (depth > maxXObjectDepth || !resources.isDictionary())
        return;
    auto xobjects = resources.getKey("/XObject");
    if (!xobjects.isDictionary())
        return;
    for (const auto &name : xobjects.getKeys()) {
        auto xobject = xobjects.getKey(name);
        if (!xobject.isStream() || !visited.insert(xobject.getObjGen()).second)
            continue; // a form shared by several pages belongs to the first
        auto dict = xobject.getDict();
        if (!hasName(dict, "/Subtype", "/Form"))
            continue;
        addAssociatedFiles(dict, ownerName);
        walkXObjects(dict.getKey("/Resources"), ownerName, depth + 1, visited);
    }
}

void PdfLibrary::Impl::walkStructureTree(QPDFObjectHandle root)
{
    if (!root.isDictionary())
        return;
    // Depth first in document order, without recursion: trees from tagging tools can be deep.
    std::vector<std::pair<QPDFObjectHandle, int>> pending { { root.getKey("/K"), 0 } };
    std::set<QPDFObjGen> visited;
    std::size_t nodes = 0;
    while (!pending.empty()) {
        if (++nodes > maxStructureNodes) {
            warn("structure tree too large: the rest is not searched for associated files");
            return;
        }
        auto [node, depth] = std::move(pending.back());
        pending.pop_back();
        if (depth > maxTreeDepth || !(node.isArray() || node.isDictionary()))
            continue; // a marked-content number, or null
        if (node.isIndirect() && !visited.insert(node.getObjGen()).second)
            continue; // a loop or a shared node
        if (node.isArray()) { // the kids of one element: one level
            for (int i = node.getArrayNItems() - 1; i >= 0; --i)
                pending.emplace_back(node.getArrayItem(i), depth);
            continue;
        }
        // Marked-content and object references are leaves, not structure elements.
        if (hasName(node, "/Type", "/MCR") || hasName(node, "/Type", "/OBJR"))
            continue;
        addAssociatedFiles(node, "structure element");
        pending.emplace_back(node.getKey("/K"), depth + 1);
    }
}

PdfLibrary::Impl::DecodeResult PdfLibrary::Impl::decode(
    QPDFObjectHandle source, const FilterChain &chain, Pipeline &sink, bool fast)
{
    DecodeResult result;
    if (fast && chain.onlyPlainFlate) {
        // qpdf hands over the stored bytes, decrypted; the inflater checks them whole.
        QpdfIsalInflate inflater(&sink);
        try {
            result.decoded
                = source.pipeStreamData(&inflater, nullptr, 0, qpdf_dl_none, false, false);
        } catch (std::exception &e) {
            result.error = e.what();
        } catch (...) {
            result.error = "unknown failure";
        }
        result.warning = collectWarnings();
        // A warning (a stream qpdf read with trouble) gets qpdf's full treatment too.
        result.fastRejected = inflater.rejected() || !result.warning.empty();
        if (result.error.empty())
            result.error = result.warning;
        return result;
    }
    bool filtered = false;
    try {
        // Up to RunLength: qpdf's image decoders would turn a stored JPEG into pixels.
        result.decoded
            = source.pipeStreamData(&sink, &filtered, 0, qpdf_dl_specialized, false, false);
    } catch (std::exception &e) {
        result.error = e.what();
    } catch (...) {
        result.error = "unknown failure";
    }
    result.warning = collectWarnings();
    if (result.error.empty())
        result.error = result.warning;
    if (result.decoded && !filtered && !chain.filters.empty()
        && chain.action != FilterChain::Action::KeepEncoded) {
        result.decoded = false;
        result.error = "cannot decode " + chain.filters.front();
        if (!result.warning.empty())
            result.error += " (" + result.warning + ")";
    }
    return result;
}

std::pair<std::uint64_t, std::string> PdfLibrary::Impl::outputLimit(const Entry &entry) const
{
    const auto saturating = [](std::uint64_t a, std::uint64_t b) {
        return b != 0 && a > UINT64_MAX / b ? UINT64_MAX : a * b;
    };
    std::uint64_t limit = maxAttachmentSize == 0 ? UINT64_MAX : maxAttachmentSize;
    if (maxExpansionRatio > 0) {
        std::uint64_t encoded = 0;
        try {
            auto stream = entry.stream; // qpdf's accessors are not const
            auto length = stream.getDict().getKey("/Length");
            if (length.isInteger() && length.getIntValue() > 0)
                encoded = static_cast<std::uint64_t>(length.getIntValue());
        } catch (std::exception &) {
        }
        limit = std::min(limit,
            std::max(PdfLibrary::expansionRatioFloor, saturating(encoded, maxExpansionRatio)));
    }
    std::string reason = "stopped: expands past the size limit";
    if (entry.info.declaredSize >= 0) {
        // Declared sizes are often a little off, but not by half: twice it and 1 MiB is ample.
        const std::uint64_t declared
            = saturating(static_cast<std::uint64_t>(entry.info.declaredSize), 2);
        const std::uint64_t bound
            = declared > UINT64_MAX - (1 << 20) ? UINT64_MAX : declared + (1 << 20);
        if (bound < limit) {
            limit = bound;
            reason = "stopped: expands past its declared size of "
                + std::to_string(entry.info.declaredSize) + " bytes";
        }
    }
    return { limit, reason };
}

void PdfLibrary::Impl::walkNameTree(QPDFObjectHandle root)
{
    // Depth first with a stack of its own, in tree order, so that the bound can be generous.
    std::set<QPDFObjGen> visited;
    std::vector<std::pair<QPDFObjectHandle, int>> pending { { root, 0 } };
    while (!pending.empty()) {
        auto [node, depth] = std::move(pending.back());
        pending.pop_back();
        if (!node.isDictionary())
            continue;
        if (node.isIndirect() && !visited.insert(node.getObjGen()).second)
            continue; // a loop or a shared node: each node counts once
        auto names = node.getKey("/Names");
        if (names.isArray()) {
            const int n = names.getArrayNItems();
            for (int i = 0; i + 1 < n; i += 2) {
                try {
                    auto key = names.getArrayItem(i);
                    addFileSpec(names.getArrayItem(i + 1),
                        key.isString() ? PdfTextDecoder::toUtf8(key.getStringValue())
                                       : std::string(),
                        0,
                        "names");
                } catch (std::exception &e) {
                    damage("an embedded file entry is unreadable: " + std::string(e.what()));
                }
            }
        }
        auto kids = node.getKey("/Kids");
        if (!kids.isArray() || kids.getArrayNItems() == 0)
            continue;
        if (depth + 1 >= maxNameTreeDepth) { // the kids would be one level too deep
            damage("the EmbeddedFiles name tree is deeper than " + std::to_string(maxNameTreeDepth)
                + " levels");
            continue;
        }
        for (int i = kids.getArrayNItems() - 1; i >= 0; --i)
            pending.emplace_back(kids.getArrayItem(i), depth + 1);
    }
}

void PdfLibrary::Impl::walkPageTree(
    QPDFObjectHandle node, int depth, std::set<QPDFObjGen> &visited, int &page)
{
    if (depth > maxTreeDepth || !node.isDictionary())
        return;
    if (node.isIndirect() && !visited.insert(node.getObjGen()).second)
        return;
    auto kids = node.getKey("/Kids");
    if (kids.isArray()) { // a /Pages node (ISO 32000-1 7.7.3.2)
        const int n = kids.getArrayNItems();
        for (int i = 0; i < n; ++i)
            walkPageTree(kids.getArrayItem(i), depth + 1, visited, page);
        return;
    }
    ++page;
    pages.push_back(node);
    try {
        auto annots = node.getKey("/Annots");
        if (!annots.isArray())
            return;
        const int n = annots.getArrayNItems();
        for (int i = 0; i < n; ++i) {
            auto annot = annots.getArrayItem(i);
            if (!annot.isDictionary())
                continue;
            auto subtype = annot.getKey("/Subtype");
            if (subtype.isName() && subtype.getName() == "/FileAttachment")
                addFileSpec(annot.getKey("/FS"), std::string(), page, "annotation");
        }
    } catch (std::exception &e) {
        warn("annotations of page " + std::to_string(page) + " unreadable: " + e.what());
    }
}

void PdfLibrary::Impl::addFileSpec(QPDFObjectHandle spec,
    const std::string &key,
    int page,
    const char *origin,
    const std::string &afOwner)
{
    if (!spec.isDictionary())
        return; // null, or a plain string naming an external file
    auto ef = spec.getKey("/EF");
    if (!ef.isDictionary())
        return; // names an external file only
    collectWarnings(); // what comes now is about this file's stream
    QPDFObjectHandle stream;
    for (const char *name : { "/F", "/UF", "/Unix", "/DOS", "/Mac" }) {
        auto candidate = ef.getKey(name);
        if (candidate.isStream()) {
            stream = candidate;
            break;
        }
    }
    if (!stream.isStream()) {
        // qpdf gives null, with a warning, for a stream it cannot read (an overflowing number in
        // its dictionary, a /Length that refers to the stream itself).
        const std::string why = collectWarnings();
        if (!why.empty())
            damage("the embedded file of "
                + (!key.empty()                            ? key
                        : std::string_view(origin) == "af" ? std::string("an associated file")
                                                           : std::string("an annotation"))
                + " is unreadable: " + why);
        return;
    }
    // A specification reached twice (name tree, annotations, /AF arrays) is one file. A direct
    // specification has no identity of its own: its stream stands for it.
    const QPDFObjGen identity = spec.isIndirect() ? spec.getObjGen() : stream.getObjGen();
    const auto [seen, isNew] = seenSpecs.emplace(identity, entries.size());
    if (!isNew) {
        auto &info = entries[seen->second].info;
        if (info.afOwner.empty())
            info.afOwner = afOwner;
        return;
    }

    Entry entry;
    entry.stream = stream;
    auto &info = entry.info;
    info.key = key;
    info.page = page;
    info.origin = origin;
    info.afOwner = afOwner;
    info.name = key; // when the specification gives no name (ISO 32000-1 7.11.3)
    if (std::string_view(origin) == "names")
        placeInPortfolio(info);
    for (const char *name : { "/UF", "/F", "/Unix", "/DOS", "/Mac" }) {
        auto value = spec.getKey(name);
        if (value.isString()) {
            info.name = PdfTextDecoder::toUtf8(value.getStringValue());
            break;
        }
    }
    info.description = textOf(spec, "/Desc");
    auto relationship = spec.getKey("/AFRelationship");
    if (relationship.isName() && relationship.getName().size() > 1)
        info.afRelationship = PdfTextDecoder::toUtf8(relationship.getName().substr(1));
    readStreamInfo(entry);
    entries.push_back(std::move(entry));
}

void PdfLibrary::Impl::placeInPortfolio(AttachmentInfo &info)
{
    std::int64_t id = 0;
    std::string_view rest;
    if (!portfolio.hasFolders() || !splitFolderKey(info.key, id, rest))
        return;
    switch (portfolio.find(id, info.folderPath)) {
    case PortfolioFolders::Lookup::Found:
    case PortfolioFolders::Lookup::OutOfBounds: // at the top, warned about once for the tree
        break;
    case PortfolioFolders::Lookup::Unknown:
        warn("the embedded file \"" + info.key + "\" refers to portfolio folder "
            + std::to_string(id) + ", which the document does not have: it is placed at the top");
        return;
    }
    info.origin = "portfolio";
    info.name = std::string(rest);
    for (std::size_t i = 0; i < info.folderPath.size(); ++i)
        info.folder += (i == 0 ? "" : "/") + info.folderPath[i];
}

std::vector<QPDFObjectHandle> PdfLibrary::Impl::unlistedCandidates()
{
    if (!contents)
        return pdf->getAllObjects(); // a large file: few objects beside its big streams
    // Reading every object would cost more than the listing itself. Outside object streams, only
    // objects whose bytes hold "/EF" or "/EmbeddedFile" qualify, each one found by its offset;
    // objects inside object streams are compressed, so each of them is a candidate.
    std::vector<std::pair<qpdf_offset_t, QPDFObjGen>> byOffset;
    std::set<QPDFObjGen> candidates;
    for (const auto &[objGen, entry] : pdf->getXRefTable()) {
        if (entry.getType() == 1)
            byOffset.emplace_back(entry.getOffset(), objGen);
        else if (entry.getType() == 2)
            candidates.insert(objGen);
    }
    std::sort(byOffset.begin(), byOffset.end());
    const std::string_view bytes(contents.get(), contentsSize);
    for (auto at = bytes.find("/E"); at != std::string_view::npos; at = bytes.find("/E", at + 2)) {
        const auto name = bytes.substr(at, 13);
        if (name.substr(0, 3) != "/EF" && name != "/EmbeddedFile")
            continue;
        const auto after = std::upper_bound(byOffset.begin(),
            byOffset.end(),
            static_cast<qpdf_offset_t>(at),
            [](qpdf_offset_t offset, const auto &object) { return offset < object.first; });
        if (after != byOffset.begin())
            candidates.insert(std::prev(after)->second);
    }
    std::vector<QPDFObjectHandle> objects;
    objects.reserve(candidates.size());
    for (const auto &objGen : candidates)
        objects.push_back(pdf->getObjectByObjGen(objGen));
    return objects;
}

void PdfLibrary::Impl::findUnlisted()
{
    if (unlistedFound || !pdf)
        return;
    unlistedFound = true;
    try {
        std::set<QPDFObjGen> reached;
        for (const auto &entry : entries)
            reached.insert(entry.stream.getObjGen());
        std::vector<QPDFObjectHandle> specs;
        std::vector<QPDFObjectHandle> streams;
        for (auto &object : unlistedCandidates()) {
            if (object.isStream()) {
                if (hasName(object.getDict(), "/Type", "/EmbeddedFile"))
                    streams.push_back(object);
            } else if (object.isDictionary() && object.getKey("/EF").isDictionary()) {
                specs.push_back(object);
            }
        }
        // Specifications first, so that a stream that has one gets its name.
        for (auto &spec : specs) {
            auto stream = embeddedStream(spec);
            if (stream.isStream() && reached.insert(stream.getObjGen()).second)
                addFileSpec(spec, std::string(), 0, "unlisted");
        }
        for (auto &stream : streams) {
            if (!reached.insert(stream.getObjGen()).second)
                continue;
            Entry entry;
            entry.stream = stream;
            entry.info.origin = "unlisted";
            entry.info.name = "unlisted-" + std::to_string(stream.getObjectID()) + ".bin";
            readStreamInfo(entry);
            entries.push_back(std::move(entry));
        }
    } catch (std::exception &e) {
        warn(std::string("objects unreadable while looking for unlisted embedded files: ")
            + e.what());
    }
    collectWarnings();
}

PdfLibrary::PdfLibrary()
    : m_impl(std::make_unique<Impl>())
{
    QpdfBrotliFilter::registerWithQpdf();
}

PdfLibrary::~PdfLibrary() = default;

int PdfLibrary::OpenDocument(const std::string &path, const std::string &password)
{
    auto &d = *m_impl;
    d.close();
    d.lastError.clear();
    const auto fail = [&](OpenStatus status, std::string reason) {
        d.close();
        d.lastError = std::move(reason);
        return static_cast<int>(status);
    };

    LoadedFile loaded;
    std::string unreadable;
    if (!loadFile(path, d.memoryLimit, loaded, unreadable))
        return fail(OpenStatus::FileUnreadable, unreadable);
    if (loaded.size == 0)
        return fail(OpenStatus::NotPdf, "not a PDF document: the file is empty");
    const std::string_view head(loaded.data.get(), std::min(loaded.size, headerRange));
    // Refused before qpdf, whose recovery would scan a large file of anything else to its end.
    if (head.find("%PDF-") == std::string_view::npos)
        return fail(
            OpenStatus::NotPdf, "not a PDF document: no PDF header in its first 1024 bytes");

    try {
        d.pdf = std::make_unique<QPDF>();
        d.pdf->setSuppressWarnings(true);
        d.path = path;
        // From memory, qpdf's many small reads cost no system calls (it seeks before each one);
        // a large file is read from disk as needed, so that memory use stays bounded.
        if (loaded.whole) {
            d.contents = std::move(loaded.data);
            d.contentsSize = loaded.size;
            d.pdf->processMemoryFile(path.c_str(), d.contents.get(), loaded.size, password.c_str());
        } else {
            // qpdf owns the file from here and closes it.
            d.pdf->processFile(path.c_str(), loaded.file.release(), true, password.c_str());
        }
        d.enumerate();
        d.collectWarnings();
        // Never "no attachments" for a document whose attachments could not all be listed.
        if (!d.listingDamage.empty())
            return fail(OpenStatus::Damaged, "damaged: " + d.listingDamage);
    } catch (QPDFExc &e) {
        switch (e.getErrorCode()) {
        case qpdf_e_password:
            return fail(OpenStatus::NeedsPassword,
                password.empty() ? "needs a password"
                                 : "needs a password: the password given does not open it");
        case qpdf_e_system:
            return fail(OpenStatus::FileUnreadable, "cannot be read: " + e.getMessageDetail());
        default:
            return fail(OpenStatus::Damaged, "damaged beyond repair: " + e.getMessageDetail());
        }
    } catch (QPDFSystemError &e) {
        return fail(OpenStatus::FileUnreadable, "cannot be read: " + errnoText(e.getErrno()));
    } catch (std::exception &e) {
        return fail(OpenStatus::Damaged, std::string("damaged beyond repair: ") + e.what());
    } catch (...) {
        return fail(OpenStatus::Damaged, "damaged beyond repair");
    }
    return static_cast<int>(OpenStatus::Opened);
}

int PdfLibrary::AttachmentCount() const
{
    return static_cast<int>(m_impl->listedCount);
}

int PdfLibrary::unlistedCount()
{
    m_impl->findUnlisted();
    return static_cast<int>(m_impl->entries.size() - m_impl->listedCount);
}

std::string PdfLibrary::AttachmentText(int index, int tag) const
{
    if (!m_impl->hasEntry(index))
        return {};
    const auto &info = m_impl->entries[static_cast<std::size_t>(index - 1)].info;
    switch (static_cast<AttachmentTag>(tag)) {
    case AttachmentTag::Name:
        return info.name;
    case AttachmentTag::Description:
        return info.description;
    case AttachmentTag::MimeType:
        return info.mimeType;
    case AttachmentTag::DeclaredSize:
        return info.declaredSize >= 0 ? std::to_string(info.declaredSize) : std::string();
    case AttachmentTag::ModDate:
        return info.modTime != INT64_MIN ? isoDate(info.modTime) : std::string();
    case AttachmentTag::Page:
        return info.page > 0 ? std::to_string(info.page) : std::string();
    case AttachmentTag::Key:
        return info.key;
    case AttachmentTag::Origin:
        return info.origin;
    case AttachmentTag::Folder:
        return info.folder;
    }
    return {};
}

AttachmentInfo PdfLibrary::attachmentInfo(int index) const
{
    if (!m_impl->hasEntry(index))
        return {};
    return m_impl->entries[static_cast<std::size_t>(index - 1)].info;
}

InvoiceInfo PdfLibrary::invoiceInfo()
{
    auto &d = *m_impl;
    if (!d.pdf)
        return {};
    if (d.invoice)
        return *d.invoice;
    std::vector<InvoiceInfo> declarations = readInvoiceDeclarations(d.readMetadata());
    d.invoice = declarations.empty() ? InvoiceInfo() : declarations.front();
    // The listed attachments first: reading every object for the unlisted ones costs more.
    for (const bool unlisted : { false, true }) {
        if (unlisted)
            d.findUnlisted();
        const std::size_t from = unlisted ? d.listedCount : 0;
        const std::size_t to = unlisted ? d.entries.size() : d.listedCount;
        std::pair<int, int> best { 0, 0 };
        const InvoiceInfo *chosen = nullptr;
        for (const InvoiceInfo &declaration : declarations) {
            const auto fit = d.bestInvoiceFit(declaration.fileName, from, to);
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
        if (declarations.empty())
            break;
    }
    return *d.invoice;
}

std::uint64_t PdfLibrary::dataIdentity(int index) const
{
    if (!m_impl->hasEntry(index))
        return 0;
    auto stream = m_impl->entries[static_cast<std::size_t>(index - 1)].stream;
    if (!stream.isStream() || !stream.isIndirect())
        return 0;
    const QPDFObjGen id = stream.getObjGen();
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(id.getObj())) << 32)
        | static_cast<std::uint32_t>(id.getGen());
}

int PdfLibrary::WriteAttachment(int index, const std::string &path)
{
    WriteRequest request;
    request.path = path;
    return writeAttachment(index, request).status;
}

WriteResult PdfLibrary::writeAttachment(int index, const WriteRequest &request)
{
    auto &d = *m_impl;
    d.lastWritten = 0;
    d.storedInClear = false;
    d.lastError.clear();
    WriteResult result;
    const auto fail = [&](WriteStatus status, std::string reason) {
        d.lastError = std::move(reason);
        result.status = static_cast<int>(status);
        result.placement = Placement::None;
        result.path.clear();
        result.storedInClear = false;
        d.storedInClear = false;
        return result;
    };
    if (!d.pdf)
        return fail(WriteStatus::IndexOutOfRange,
            "no attachment " + std::to_string(index) + ": no document is open");
    if (!d.hasEntry(index))
        return fail(WriteStatus::IndexOutOfRange,
            "no attachment " + std::to_string(index) + " in this document");
    auto &entry = d.entries[static_cast<std::size_t>(index - 1)];
    if (!entry.stream.isStream())
        return fail(WriteStatus::NoEmbeddedData, "the attachment holds no embedded data");

    // Refused before any file exists: still-encoded bytes must never pass for the file.
    FilterChain chain;
    try {
        chain = inspectFilters(entry.stream.getDict());
    } catch (std::exception &e) {
        chain.action = FilterChain::Action::Refuse;
        chain.reason = std::string("cannot decode the data: ") + e.what();
    }
    d.collectWarnings();
    if (chain.action == FilterChain::Action::Refuse)
        return fail(
            WriteStatus::DecodeFailed, "the embedded data cannot be decoded: " + chain.reason);

    EmbeddedFileCrypt crypt;
    try {
        crypt = EmbeddedFileCrypt::forStream(*d.pdf, entry.stream);
    } catch (std::exception &e) {
        crypt.action = EmbeddedFileCrypt::Action::Refuse;
        crypt.reason = std::string("cannot decrypt the data: ") + e.what();
    }
    if (crypt.action == EmbeddedFileCrypt::Action::Refuse)
        return fail(
            WriteStatus::DecodeFailed, "the embedded data cannot be decoded: " + crypt.reason);
    const bool decrypting = crypt.action == EmbeddedFileCrypt::Action::Decrypt;

    const auto target = pathFromUtf8(request.path);
    if (!target.has_filename())
        return fail(WriteStatus::CannotCreate, "cannot create the file: the path names no file");
    const bool targetExists
        = !request.folderIsNew && PartFile::targetExists(target, request.folderFd);
    if (targetExists && request.existing == ExistingFiles::Skip)
        return fail(WriteStatus::Skipped,
            "skipped: " + utf8FromPath(target.filename()) + " already exists");
    PartFile file;
    std::unique_ptr<QpdfAttachmentSink> attempt;
    std::unique_ptr<QpdfOutputLimit> limiter; // in front of `attempt`
    // Named variables, not a structured binding: the lambdas below capture them.
    const auto outputLimit = d.outputLimit(entry);
    const std::uint64_t limit = outputLimit.first;
    const std::string &limitReason = outputLimit.second;
    Impl::DecodeResult decodeResult;
    bool completed = false; // complete() was called on `attempt`, with this result:
    bool completeSucceeded = false;
    // Some writers declare /EFF but store the files in the clear: when the decrypted data fails
    // to decode or to match its declared /Size and /CheckSum, the stored bytes get a second try,
    // and count when they pass every check; else the decrypted data is what is reported.
    const int passes = decrypting ? 3 : 1;
    // A fresh temporary file with its sink, for each decoding of the data.
    const auto startAttempt = [&] {
        if (!file.create(target, targetExists, request.folderFd))
            return false;
        // Hashing costs time: only a declared checksum is worth it.
        attempt = std::make_unique<QpdfAttachmentSink>(
            file, d.progress, !entry.checksum.empty(), request.sha256);
        limiter = std::make_unique<QpdfOutputLimit>(attempt.get(), limit, limitReason);
        return true;
    };
    const auto cannotCreate = [&] {
        return fail(
            file.errorNumber() == ENOSPC ? WriteStatus::DiskFull : WriteStatus::CannotCreate,
            "cannot create the file: " + file.errorText());
    };
    for (int pass = 0; pass < passes; ++pass) {
        if (!startAttempt())
            return cannotCreate();
        const bool decrypted = decrypting && pass != 1;
        QPDFObjectHandle source = entry.stream;
        if (decrypted || d.pdf->isEncrypted()) {
            try {
                source = decrypted ? crypt.decryptedView(*d.pdf, entry.stream)
                                   : EmbeddedFileCrypt::guardedView(*d.pdf, entry.stream);
            } catch (std::exception &e) {
                file.discard();
                return fail(WriteStatus::DecodeFailed,
                    std::string("the embedded data cannot be decoded: ") + e.what());
            }
        }
        decodeResult = d.decode(source, chain, *limiter, true);
        if (decodeResult.fastRejected && !attempt->abandoned() && !attempt->failed()) {
            // Whatever the fast inflater refused, qpdf's decoder decides, as for any stream.
            file.discard();
            if (!startAttempt())
                return cannotCreate();
            decodeResult = d.decode(source, chain, *limiter, false);
        }
        result.storedInClear = decrypting && !decrypted;
        if (pass == passes - 1 || attempt->abandoned() || attempt->failed())
            break;
        completed = decodeResult.decoded;
        completeSucceeded = completed && attempt->complete();
        const bool verified = completeSucceeded
            && (entry.info.declaredSize < 0
                || entry.info.declaredSize == static_cast<std::int64_t>(attempt->bytesWritten()))
            && (entry.checksum.empty() || entry.checksum == attempt->md5());
        if (attempt->failed() || (pass == 0 ? verified : verified && decodeResult.warning.empty()))
            break;
        completed = false;
    }
    auto &sink = *attempt;
    bool decoded = decodeResult.decoded;
    std::string decodeError = decodeResult.error;
    const std::string &warning = decodeResult.warning;
    const bool keptEncoded = chain.action == FilterChain::Action::KeepEncoded;
    if (result.storedInClear)
        d.warn("attachment " + std::to_string(index)
            + " is stored in the clear although the document declares it encrypted");

    if (sink.abandoned()) {
        file.discard();
        return fail(WriteStatus::Abandoned, "abandoned");
    }
    if (limiter->exceeded()) {
        file.discard();
        return fail(WriteStatus::DecodeFailed, limiter->reason());
    }
    const auto writeFailed = [&] {
        const int error = file.errorNumber();
        file.discard();
        if (error == ENOSPC
#ifdef EDQUOT
            || error == EDQUOT
#endif
        )
            return fail(WriteStatus::DiskFull, "disk full");
        return fail(WriteStatus::CannotCreate, "cannot write the file: " + file.errorText());
    };
    if (sink.failed())
        return writeFailed();
    if (!decoded) {
        file.discard();
        return fail(WriteStatus::DecodeFailed,
            decodeError.empty() ? "the embedded data cannot be decoded"
                                : "the embedded data cannot be decoded: " + decodeError);
    }
    if (!(completed ? completeSucceeded : sink.complete()))
        return writeFailed();
    const auto size = static_cast<std::int64_t>(sink.bytesWritten());
    const bool sizeMatches = entry.info.declaredSize == size;
    const bool checksumMatches = !entry.checksum.empty() && entry.checksum == sink.md5();
    // A decoder that warned may have dropped data; only both declared checks can vouch for it.
    if (!warning.empty() && !(sizeMatches && checksumMatches)) {
        file.discard();
        return fail(WriteStatus::DecodeFailed, "the embedded data cannot be decoded: " + warning);
    }
    // Stored image data is the file only when it is exactly as long as declared.
    if (keptEncoded && !sizeMatches) {
        file.discard();
        return fail(WriteStatus::DecodeFailed,
            "the embedded data cannot be decoded: " + chain.filters.front()
                + (entry.info.declaredSize < 0 ? " data without a declared /Size"
                                               : " data of " + std::to_string(size) + " bytes, "
                            + std::to_string(entry.info.declaredSize) + " declared"));
    }
    if (entry.info.modTime != INT64_MIN)
        file.setModificationTime(entry.info.modTime);
    if (!file.close())
        return writeFailed();
    result.bytes = sink.bytesWritten();
    result.sha256 = sink.sha256();
    switch (placeFile(file, target, targetExists, request, result)) {
    case PlaceOutcome::Placed:
        break;
    case PlaceOutcome::Skipped:
        return fail(WriteStatus::Skipped,
            "skipped: " + utf8FromPath(target.filename()) + " already exists");
    case PlaceOutcome::NoFreeName:
        return fail(WriteStatus::CannotCreate,
            "cannot create the file: no free name beside " + utf8FromPath(target.filename()));
    case PlaceOutcome::Failed:
        return file.errorNumber() == ENOSPC
            ? fail(WriteStatus::DiskFull, "disk full")
            : fail(WriteStatus::CannotCreate, "cannot write the file: " + file.errorText());
    }
    d.lastWritten = sink.bytesWritten();
    d.storedInClear = result.storedInClear;

    result.status = static_cast<int>(WriteStatus::Written);
    if (entry.info.declaredSize >= 0 && !sizeMatches) {
        d.lastError = "checksum mismatch: " + std::to_string(size) + " bytes written, "
            + std::to_string(entry.info.declaredSize) + " declared";
        result.status = static_cast<int>(WriteStatus::ChecksumMismatch);
    } else if (!entry.checksum.empty() && !checksumMatches) {
        d.lastError = "checksum mismatch: the data differs from its MD5 checksum";
        result.status = static_cast<int>(WriteStatus::ChecksumMismatch);
    }
    return result;
}

std::uint64_t PdfLibrary::lastWrittenBytes() const
{
    return m_impl->lastWritten;
}

bool PdfLibrary::lastWriteStoredInClear() const
{
    return m_impl->storedInClear;
}

void PdfLibrary::setWriteProgress(WriteProgress progress)
{
    m_impl->progress = std::move(progress);
}

const std::string &PdfLibrary::lastError() const
{
    return m_impl->lastError;
}

std::vector<std::string> PdfLibrary::warnings() const
{
    m_impl->collectWarnings();
    return m_impl->warnings;
}

void PdfLibrary::setSizeLimits(std::uint64_t maxBytes, std::uint64_t maxRatio)
{
    m_impl->maxAttachmentSize = maxBytes;
    m_impl->maxExpansionRatio = maxRatio;
}

void PdfLibrary::setMemoryLimit(std::uint64_t bytes)
{
    m_impl->memoryLimit = bytes;
}

const std::string &PdfLibrary::currentPath() const
{
    return m_impl->path;
}

} // namespace quenlith
