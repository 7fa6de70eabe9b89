#include "extract/RunReport.h"

#include "extract/PartFile.h"
#include "extract/ReportText.h"
#include "util/FsPath.h"
#include "util/JsonWriter.h"
#include "util/Utf8Text.h"

#include <streambuf>

namespace quenlith {

namespace {

void writeAttachmentJson(JsonWriter &json, const AttachmentOutcome &outcome)
{
    json.beginObject();
    writeAttachmentFields(json, outcome.index, outcome.storedName, outcome.info);
    json.field("outputPath", outcome.outputPath);
    json.field("status", outcomeWord(outcome.kind));
    json.fieldOrNull("reason", outcome.reason);
    json.field("bytesWritten", static_cast<std::int64_t>(outcome.bytes));
    json.fieldOrNull("sha256", outcome.sha256);
    json.key("checksum");
    if (outcome.kind == AttachmentOutcome::Kind::Skipped)
        json.null();
    else if (outcomeSucceeded(outcome.kind))
        json.string(outcome.info.hasDeclaredChecksum ? "verified" : "none");
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

void writeCsvRow(std::ostream &out, const std::vector<std::string> &fields)
{
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out << ',';
        out << csvField(fields[i]);
    }
    out << "\r\n"; // RFC 4180
}

// Streams into a PartFile, so that a large report is never held whole in memory.
class PartFileBuffer : public std::streambuf {
public:
    explicit PartFileBuffer(PartFile &file)
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
    PartFile &m_file;
    char m_buffer[64 * 1024];
};

} // namespace

RunTotals totalsOf(const std::vector<DocumentResult> &documents)
{
    RunTotals totals;
    for (const DocumentResult &document : documents) {
        if (!documentSucceeded(document))
            ++totals.documentsFailed;
        for (const AttachmentOutcome &outcome : document.attachments) {
            ++totals.attachments;
            switch (outcome.kind) {
            case AttachmentOutcome::Kind::Renamed:
                ++totals.renamed;
                ++totals.written;
                totals.bytesWritten += outcome.bytes;
                break;
            case AttachmentOutcome::Kind::Overwritten:
                ++totals.overwritten;
                ++totals.written;
                totals.bytesWritten += outcome.bytes;
                break;
            case AttachmentOutcome::Kind::Written:
                ++totals.written;
                totals.bytesWritten += outcome.bytes;
                break;
            case AttachmentOutcome::Kind::Unchanged:
                ++totals.unchanged;
                break;
            case AttachmentOutcome::Kind::Skipped:
                ++totals.skipped;
                break;
            case AttachmentOutcome::Kind::ChecksumMismatch:
                ++totals.failed;
                totals.bytesWritten += outcome.bytes; // kept on disk, so counted
                break;
            default:
                ++totals.failed;
                break;
            }
        }
    }
    return totals;
}

std::string documentStatusWord(const DocumentResult &document)
{
    if (!document.processed)
        return "not-processed";
    if (!document.folderFailure.empty())
        return "folder-failed";
    return openStatusWord(document.openStatus);
}

void writeRunJson(std::ostream &out, const RunRecord &run)
{
    JsonWriter json(out);
    json.beginObject();
    json.field("program", run.program);
    json.field("version", QUENLITH_DISPLAY_VERSION);
    json.field("command", "extract");
    json.field("outputFolder", run.outputFolder);
    if (!run.error.empty())
        json.field("error", run.error);
    json.key("documents");
    json.beginArray();
    for (const DocumentResult &document : run.documents) {
        json.beginObject();
        json.field("path", document.documentPath);
        json.key("documentFolder");
        if (document.folderExists)
            json.string(document.documentFolder);
        else
            json.null();
        json.field("status", documentStatusWord(document));
        json.fieldOrNull("reason", documentFailure(document));
        json.field("attachmentCount", document.count);
        json.key("attachments");
        json.beginArray();
        for (const AttachmentOutcome &outcome : document.attachments)
            writeAttachmentJson(json, outcome);
        json.endArray();
        json.endObject();
    }
    json.endArray();
    writeSkippedFolders(json, run.skippedFolders);
    const RunTotals totals = totalsOf(run.documents);
    json.key("summary");
    json.beginObject();
    json.field("documents", static_cast<std::int64_t>(run.documents.size()));
    json.field("documentsFailed", totals.documentsFailed);
    json.field("attachments", totals.attachments);
    json.field("attachmentsWritten", totals.written);
    json.field("attachmentsRenamed", totals.renamed);
    json.field("attachmentsOverwritten", totals.overwritten);
    json.field("attachmentsUnchanged", totals.unchanged);
    json.field("attachmentsSkipped", totals.skipped);
    json.field("attachmentsFailed", totals.failed);
    json.field("bytesWritten", static_cast<std::int64_t>(totals.bytesWritten));
    json.field("skippedFolders", static_cast<std::int64_t>(run.skippedFolders.size()));
    json.endObject();
    json.endObject();
    out << '\n';
}

std::string csvField(const std::string &text)
{
    std::string value = validUtf8(text);
    if (!value.empty()
        && (value[0] == '=' || value[0] == '+' || value[0] == '-' || value[0] == '@'
            || value[0] == '\t'))
        value.insert(0, 1, '\'');
    const bool quote = value.find_first_of(",\"\r\n") != std::string::npos
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

void writeRunCsv(std::ostream &out, const RunRecord &run)
{
    writeCsvRow(out,
        { "document",
            "document_folder",
            "attachment",
            "key",
            "size",
            "sha256",
            "status",
            "reason" });
    for (const DocumentResult &document : run.documents) {
        const std::string folder = document.folderExists ? document.documentFolder : std::string();
        for (const AttachmentOutcome &outcome : document.attachments) {
            writeCsvRow(out,
                { document.documentPath,
                    folder,
                    outcome.storedName,
                    outcome.info.key,
                    outcomeSucceeded(outcome.kind)
                            && outcome.kind != AttachmentOutcome::Kind::Skipped
                        ? std::to_string(outcome.bytes)
                        : std::string(),
                    outcome.sha256,
                    outcomeWord(outcome.kind),
                    outcome.reason });
        }
        const std::string failure = documentFailure(document);
        if (!failure.empty() && document.attachments.empty())
            writeCsvRow(out,
                { document.documentPath,
                    folder,
                    "",
                    "",
                    "",
                    "",
                    documentStatusWord(document),
                    failure });
    }
}

bool saveRunReport(
    const std::string &path, const RunRecord &run, ReportFormat format, std::string &error)
{
    error.clear();
    const auto target = pathFromUtf8(path);
    PartFile file;
    if (!target.has_filename() || !file.create(target)) {
        error = "cannot create " + path + ": "
            + (target.has_filename() ? file.errorText() : std::string("the path names no file"));
        return false;
    }
    PartFileBuffer buffer(file);
    std::ostream out(&buffer);
    if (format == ReportFormat::Json)
        writeRunJson(out, run);
    else
        writeRunCsv(out, run);
    out.flush();
    if (!out || !buffer.flushAll() || !file.commit()) {
        error = "cannot write " + path + ": " + file.errorText();
        return false;
    }
    return true;
}

} // namespace quenlith
