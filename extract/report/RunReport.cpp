#include "extract/report/RunReport.h"

#include "extract/output/ReportFile.h"
#include "extract/report/ReportText.h"
#include "util/FsPath.h"
#include "util/JsonWriter.h"
#include "util/Utf8Text.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <streambuf>
#include <string_view>
#include <system_error>
#include <thread>

namespace quenlith {

namespace {

void writeAttachmentJson(JsonWriter &json, const AttachmentOutcome &outcome)
{
    json.beginObject();
    writeAttachmentFields(json, outcome.index, outcome.storedName, outcome.info);
    json.fieldOrNull("outputPath", outcome.outputPath);
    json.field("status", outcomeWord(outcome.kind));
    json.fieldOrNull("reason", outcome.reason);
    json.field("bytesWritten", static_cast<std::int64_t>(outcome.bytes));
    json.fieldOrNull("sha256", outcome.sha256);
    json.fieldBool("storedInClear", outcome.storedInClear);
    json.key("checksum");
    if (outcomeOnDisk(outcome.kind))
        json.string(!outcome.info.declaredChecksum.empty() ? "verified" : "none");
    else if (outcome.kind == AttachmentOutcome::Kind::ChecksumMismatch)
        json.string("mismatch");
    else
        json.null();
    json.endObject();
}

std::string validUtf8(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t position = 0;
    while (position < text.size()) {
        char32_t codePoint = 0;
        if (!nextCodePoint(text, position, codePoint))
            codePoint = 0xFFFD;
        appendUtf8(out, codePoint);
    }
    return out;
}

// "repaired: " and the document's warnings, for a document that qpdf had to repair.
std::string repairNote(const DocumentResult &document)
{
    std::string note = "repaired";
    for (std::size_t i = 0; i < document.warnings.size(); ++i)
        note += (i == 0 ? ": " : "; ") + document.warnings[i];
    return note;
}

// The reason column of a document's own CSV row.
std::string documentNote(const DocumentResult &document, const std::string &failure)
{
    if (document.repaired)
        return failure.empty() ? repairNote(document) : failure + "; " + repairNote(document);
    if (!failure.empty())
        return failure;
    if (!document.notSearched.empty())
        return document.notSearched;
    if (document.noInvoice)
        return "no invoice";
    return document.attachments.empty() ? "no attachments" : std::string();
}

void writeCsvRow(std::ostream &out, const std::vector<std::string> &fields)
{
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out << ',';
        out << csvField(fields[i]);
    }
    out << "\r\n"; // RFC 4180
}

// Streams into a ReportFile, so that a large report is never held whole in memory.
class ReportFileBuffer : public std::streambuf {
public:
    explicit ReportFileBuffer(ReportFile &file)
        : m_file(file)
    {
        setp(m_buffer, m_buffer + sizeof m_buffer);
    }
    bool flushAll()
    {
        return sync() == 0;
    }

protected:
    int_type overflow(int_type c) override
    {
        if (sync() != 0)
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override
    {
        const auto size = static_cast<std::size_t>(pptr() - pbase());
        const bool written = m_file.write(pbase(), size);
        setp(m_buffer, m_buffer + sizeof m_buffer);
        return written ? 0 : -1;
    }

private:
    ReportFile &m_file;
    char m_buffer[64 * 1024];
};

} // namespace

void RunTotals::add(const DocumentResult &document)
{
    if (!document.notSearched.empty())
        return; // a copy of a document met before, or one past the limits: no new document
    ++documents;
    // A nested document that does not open (say it needs a password) fails no listed document;
    // the attachments it did not give are counted below all the same, and only there.
    if (!documentFailure(document).empty() && document.nestedIn.empty())
        ++documentsFailed;
    for (const AttachmentOutcome &outcome : document.attachments) {
        ++attachments;
        switch (outcome.kind) {
        case AttachmentOutcome::Kind::Renamed:
            ++renamed;
            ++written;
            bytesWritten += outcome.bytes;
            break;
        case AttachmentOutcome::Kind::Overwritten:
            ++overwritten;
            ++written;
            bytesWritten += outcome.bytes;
            break;
        case AttachmentOutcome::Kind::Written:
            ++written;
            bytesWritten += outcome.bytes;
            break;
        case AttachmentOutcome::Kind::Unchanged:
            ++unchanged;
            break;
        case AttachmentOutcome::Kind::Skipped:
        case AttachmentOutcome::Kind::NotChosen:
            ++skipped;
            break;
        case AttachmentOutcome::Kind::ChecksumMismatch:
            ++failed;
            bytesWritten += outcome.bytes; // kept on disk, so counted
            break;
        default:
            ++failed;
            break;
        }
    }
}

RunTotals totalsOf(const std::vector<DocumentResult> &documents)
{
    RunTotals totals;
    for (const DocumentResult &document : documents)
        totals.add(document);
    return totals;
}

std::string documentStatusWord(const DocumentResult &document)
{
    if (!document.notSearched.empty())
        return "not-searched";
    if (!document.processed)
        return "not-processed";
    if (!document.folderFailure.empty())
        return "folder-failed";
    return openStatusWord(document.openStatus);
}

struct RunReportStream::Json {
    explicit Json(std::ostream &out)
        : writer(out)
    {
    }
    JsonWriter writer;
};

RunReportStream::RunReportStream(std::ostream &out, ReportFormat format, const RunRecord &header)
    : m_out(out)
    , m_format(format)
{
    if (m_format == ReportFormat::Csv) {
        writeCsvRow(m_out,
            { "document",
                "document_folder",
                "attachment",
                "key",
                "size",
                "sha256",
                "status",
                "reason",
                "invoice_number",
                "invoice_date",
                "invoice_currency",
                "invoice_total" });
        return;
    }
    m_json = std::make_unique<Json>(m_out);
    JsonWriter &json = m_json->writer;
    json.beginObject();
    json.field("program", header.program);
    json.field("version", QUENLITH_DISPLAY_VERSION);
    json.field("command", "extract");
    json.field("outputFolder", header.outputFolder);
    if (!header.error.empty())
        json.field("error", header.error);
    json.key("documents");
    json.beginArray();
}

RunReportStream::~RunReportStream() = default;

void RunReportStream::add(const DocumentResult &document)
{
    if (m_format == ReportFormat::Csv) {
        const std::string folder = document.folderExists ? document.documentFolder : std::string();
        const InvoiceInfo &invoice = document.invoice;
        for (const AttachmentOutcome &outcome : document.attachments) {
            const bool onDisk = outcomeOnDisk(outcome.kind);
            // The invoice's columns on the row of the attachment that holds it.
            const InvoiceContent none;
            const InvoiceContent &c
                = invoice.present && invoice.index == outcome.index ? invoice.content : none;
            writeCsvRow(m_out,
                { document.documentPath,
                    folder,
                    outcome.storedName,
                    outcome.info.key,
                    onDisk ? std::to_string(outcome.bytes) : std::string(),
                    outcome.sha256,
                    outcomeWord(outcome.kind),
                    outcome.reason,
                    c.number,
                    c.issueDate,
                    c.currency,
                    c.grandTotal });
        }
        // A document that gave no attachment, failed besides them or was repaired has a row of
        // its own.
        const std::string failure = documentFailure(document);
        if (!failure.empty() || document.attachments.empty() || document.repaired)
            writeCsvRow(m_out,
                { document.documentPath,
                    folder,
                    "",
                    "",
                    "",
                    "",
                    documentStatusWord(document),
                    documentNote(document, failure),
                    "",
                    "",
                    "",
                    "" });
        return;
    }
    JsonWriter &json = m_json->writer;
    json.beginObject();
    json.field("path", document.documentPath);
    if (!document.nestedIn.empty()) {
        json.field("nestedIn", document.nestedIn);
        json.field("nesting", document.nesting);
    }
    json.key("documentFolder");
    if (document.folderExists)
        json.string(document.documentFolder);
    else
        json.null();
    json.field("status", documentStatusWord(document));
    json.fieldOrNull(
        "reason", document.notSearched.empty() ? documentFailure(document) : document.notSearched);
    json.field("attachmentCount", document.count);
    writeInvoiceField(json, document.invoice);
    json.fieldBool("repaired", document.repaired);
    json.fieldStrings("warnings", document.warnings);
    json.fieldStrings("notes", document.notes);
    json.key("attachments");
    json.beginArray();
    for (const AttachmentOutcome &outcome : document.attachments)
        writeAttachmentJson(json, outcome);
    json.endArray();
    json.endObject();
}

void RunReportStream::finish(
    const std::vector<SkippedFolder> &skippedFolders, const RunTotals &totals)
{
    if (m_format == ReportFormat::Csv)
        return;
    JsonWriter &json = m_json->writer;
    json.endArray();
    writeSkippedFolders(json, skippedFolders);
    json.key("summary");
    json.beginObject();
    json.field("documents", totals.documents);
    json.field("documentsFailed", totals.documentsFailed);
    json.field("attachments", totals.attachments);
    json.field("attachmentsWritten", totals.written);
    json.field("attachmentsRenamed", totals.renamed);
    json.field("attachmentsOverwritten", totals.overwritten);
    json.field("attachmentsUnchanged", totals.unchanged);
    json.field("attachmentsSkipped", totals.skipped);
    json.field("attachmentsFailed", totals.failed);
    json.field("bytesWritten", static_cast<std::int64_t>(totals.bytesWritten));
    json.field("skippedFolders", static_cast<std::int64_t>(skippedFolders.size()));
    json.endObject();
    json.endObject();
    m_out << '\n';
}

namespace {

void writeRun(std::ostream &out, const RunRecord &run, ReportFormat format)
{
    RunReportStream stream(out, format, run);
    for (const DocumentResult &document : run.documents)
        stream.add(document);
    stream.finish(run.skippedFolders, totalsOf(run.documents));
}

} // namespace

void writeRunJson(std::ostream &out, const RunRecord &run)
{
    writeRun(out, run, ReportFormat::Json);
}

void writeRunCsv(std::ostream &out, const RunRecord &run)
{
    writeRun(out, run, ReportFormat::Csv);
}

std::string csvField(const std::string &text)
{
    const std::string valid = validUtf8(text);
    std::string value;
    value.reserve(valid.size() + 1);
    // What a spreadsheet would take for a formula, or trims away before looking for one.
    if (!valid.empty() && std::string_view("=+-@\t\r\0", 7).find(valid[0]) != std::string::npos)
        value += '\'';
    for (const char c : valid) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
            static constexpr char hex[] = "0123456789abcdef";
            value += "\\x";
            value += hex[byte >> 4];
            value += hex[byte & 0xF];
        } else {
            value += c;
        }
    }
    // Spreadsheets in many languages split on ";".
    const bool quote = value.find_first_of(",;\"") != std::string::npos
        || (!value.empty() && (value.front() == ' ' || value.back() == ' '));
    if (!quote)
        return value;
    std::string quoted = "\"";
    for (const char c : value) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

struct RunReportFile::State {
    State()
        : buffer(file)
        , out(&buffer)
    {
    }
    ReportFile file;
    ReportFileBuffer buffer;
    std::ostream out;
    std::unique_ptr<RunReportStream> stream;
    std::string path;
};

RunReportFile::RunReportFile() = default;
RunReportFile::~RunReportFile() = default;

bool RunReportFile::open(
    const std::string &path, ReportFormat format, const RunRecord &header, std::string &error)
{
    error.clear();
    m_state = std::make_unique<State>();
    m_state->path = path;
    if (!m_state->file.open(path, error)) {
        m_state.reset();
        return false;
    }
    m_state->stream = std::make_unique<RunReportStream>(m_state->out, format, header);
    return true;
}

void RunReportFile::add(const DocumentResult &document)
{
    if (m_state)
        m_state->stream->add(document);
}

bool RunReportFile::commit(
    const std::vector<SkippedFolder> &skippedFolders, const RunTotals &totals, std::string &error)
{
    error.clear();
    if (!m_state) {
        error = "the report was not opened";
        return false;
    }
    m_state->stream->finish(skippedFolders, totals);
    m_state->out.flush();
    bool written = m_state->buffer.flushAll() && m_state->out;
    if (!written)
        error = "cannot write " + m_state->path + ": " + m_state->file.errorText();
    else
        written = m_state->file.commit(error);
    m_state.reset();
    return written;
}

bool saveRunReport(
    const std::string &path, const RunRecord &run, ReportFormat format, std::string &error)
{
    RunReportFile file;
    if (!file.open(path, format, run, error))
        return false;
    for (const DocumentResult &document : run.documents)
        file.add(document);
    return file.commit(run.skippedFolders, totalsOf(run.documents), error);
}

struct RunReportSpool::Part {
    ~Part()
    {
        stream.reset();
        file.close();
        std::error_code ignored;
        std::filesystem::remove(path, ignored); // where it could not go while open
    }
    std::filesystem::path path;
    std::fstream file;
    std::unique_ptr<RunReportStream> stream;
};

// Takes the documents add() hands over, in order, and writes them; add() waits only when the
// writer is this many documents behind, which bounds the memory held for it.
struct RunReportSpool::Writer {
    static constexpr std::size_t MaxBehind = 64;

    explicit Writer(RunReportSpool &spool)
        : thread([this, &spool] { run(spool); })
    {
    }
    ~Writer()
    {
        {
            const std::lock_guard lock(mutex);
            quit = true;
        }
        changed.notify_all();
        thread.join();
    }
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    void hand(DocumentResult document)
    {
        std::unique_lock lock(mutex);
        if (queue.size() >= MaxBehind) {
            callerWaits = true;
            changed.wait(lock, [this] { return queue.size() < MaxBehind; });
            callerWaits = false;
        }
        queue.push_back(std::move(document));
        const bool wake = writerWaits;
        lock.unlock();
        if (wake) // a wake-up is a system call: most documents come while the writer is busy
            changed.notify_all();
    }
    // Returns once every document handed over is written, with why writing one failed, if it did.
    std::string waitUntilWritten()
    {
        std::unique_lock lock(mutex);
        callerWaits = true;
        changed.wait(lock, [this] { return queue.empty() && !writing; });
        callerWaits = false;
        return failure;
    }

private:
    void run(RunReportSpool &spool)
    {
        std::unique_lock lock(mutex);
        for (;;) {
            writerWaits = true;
            changed.wait(lock, [this] { return quit || !queue.empty(); });
            writerWaits = false;
            if (queue.empty())
                return; // quit, with everything written
            const DocumentResult document = std::move(queue.front());
            queue.pop_front();
            writing = true;
            const bool wake = callerWaits; // for room in the queue
            lock.unlock();
            if (wake)
                changed.notify_all();
            std::string failed;
            try {
                spool.write(document);
            } catch (const std::exception &e) {
                failed = e.what(); // out of memory, most likely: nothing must leave the thread
            }
            lock.lock();
            if (failure.empty())
                failure = failed;
            writing = false;
            if (callerWaits)
                changed.notify_all();
        }
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<DocumentResult> queue;
    bool writing = false; // a document taken from the queue is being written
    bool writerWaits = false; // for a document
    bool callerWaits = false; // in hand() or waitUntilWritten()
    bool quit = false;
    std::string failure; // the first write that failed
    std::thread thread; // last: starts once the rest is ready
};

RunReportSpool::RunReportSpool() = default;

RunReportSpool::~RunReportSpool()
{
    m_writer.reset(); // before the files it writes to
}

bool RunReportSpool::open(const RunRecord &header, std::string &error)
{
    static std::atomic<unsigned> counter { 0 };
    std::error_code failure;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(failure);
    std::random_device random;
    for (int format = 0; format < 2 && !failure; ++format) {
        auto part = std::make_unique<Part>();
        // A name nobody can guess, so that no one can have put a file or link there first.
        const std::uint64_t unique
            = (static_cast<std::uint64_t>(random()) << 32) ^ random() ^ counter++;
        part->path = folder / ("quenlith-report-" + std::to_string(unique) + ".tmp");
        part->file.open(
            part->path, std::ios::in | std::ios::out | std::ios::trunc | std::ios::binary);
        if (!part->file) {
            failure = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
            break;
        }
        std::filesystem::remove(part->path, failure); // where it can: nothing left if killed
        failure.clear();
        part->stream = std::make_unique<RunReportStream>(
            part->file, format == 0 ? ReportFormat::Json : ReportFormat::Csv, header);
        m_parts[format] = std::move(part);
    }
    if (failure) {
        m_parts[0].reset();
        m_parts[1].reset();
        m_error = "the run's report could not be kept in the temporary folder "
            + utf8FromPath(folder) + ": " + failure.message();
        error = m_error;
        return false;
    }
    try {
        m_writer = std::make_unique<Writer>(*this);
    } catch (const std::system_error &) {
        // No thread to spare: add() writes the documents itself.
    }
    return true;
}

void RunReportSpool::add(DocumentResult document)
{
    m_totals.add(document);
    if (m_parts[0] == nullptr && m_parts[1] == nullptr)
        return;
    if (m_writer)
        m_writer->hand(std::move(document));
    else
        write(document);
}

void RunReportSpool::write(const DocumentResult &document)
{
    for (const auto &part : m_parts) {
        if (part)
            part->stream->add(document);
    }
}

const RunTotals &RunReportSpool::totals() const
{
    return m_totals;
}

bool RunReportSpool::save(const std::string &path, ReportFormat format, std::string &error)
{
    error.clear();
    // The writer no longer touches the files until the next add().
    const std::string writerFailure = m_writer ? m_writer->waitUntilWritten() : std::string();
    if (!writerFailure.empty()) {
        error = "the run's report could not be kept: " + writerFailure;
        return false;
    }
    if (!m_finished) {
        m_finished = true;
        for (const auto &part : m_parts) {
            if (part) {
                part->stream->finish(m_skippedFolders, m_totals);
                part->file.flush();
            }
        }
    }
    Part *const part = m_parts[format == ReportFormat::Json ? 0 : 1].get();
    if (part == nullptr || !part->file) {
        error = !m_error.empty() ? m_error : "the run's report could not be kept: write error";
        return false;
    }
    ReportFile out;
    if (!out.open(path, error))
        return false;
    part->file.clear();
    part->file.seekg(0);
    std::vector<char> chunk(std::size_t { 1 } << 16);
    bool written = true;
    while (written && part->file) {
        part->file.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        if (part->file.gcount() > 0)
            written = out.write(chunk.data(), static_cast<std::size_t>(part->file.gcount()));
    }
    const bool readBack = part->file.eof();
    part->file.clear();
    part->file.seekp(0, std::ios::end);
    if (!written) {
        error = "cannot write " + path + ": " + out.errorText();
        return false;
    }
    if (!readBack) {
        error = "the run's report could not be read back from the temporary folder";
        return false;
    }
    return out.commit(error);
}

} // namespace quenlith
