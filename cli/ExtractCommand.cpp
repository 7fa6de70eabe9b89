#include "cli/ExtractCommand.h"

#include "cli/DocumentInputs.h"
#include "cli/Interruption.h"
#include "cli/JsonWriter.h"
#include "cli/ProgressDisplay.h"
#include "cli/ReportText.h"
#include "cli/Utf8Text.h"
#include "cli/WorkerPool.h"
#include "util/FsPath.h"
#include "util/modMain.h"
#include "util/registry.h"

#include <filesystem>
#include <memory>
#include <set>
#include <system_error>

namespace quenlith::cli {

namespace {

// Keeps the progress display current and collects each attachment's declared properties while
// the library still holds the document.
class WorkerObserver : public ExtractionObserver {
public:
    WorkerObserver(PdfLibrary &library, ProgressDisplay &progress, ExtractedDocument &document)
        : m_library(library)
        , m_progress(progress)
        , m_document(document)
    {
    }

    bool yieldPoint() override
    {
        return !interrupted();
    }

    void attachmentDone(const AttachmentOutcome &outcome) override
    {
        m_document.infos[outcome.index] = m_library.attachmentInfo(outcome.index);
        if (outcome.bytes > m_bytesShown)
            m_progress.addBytes(outcome.bytes - m_bytesShown);
        m_bytesShown = 0;
        m_progress.attachmentDone();
    }

    bool writeProgress(std::uint64_t bytesWritten) override
    {
        if (bytesWritten > m_bytesShown) {
            m_progress.addBytes(bytesWritten - m_bytesShown);
            m_bytesShown = bytesWritten;
        }
        return !interrupted();
    }

private:
    PdfLibrary &m_library;
    ProgressDisplay &m_progress;
    ExtractedDocument &m_document;
    std::uint64_t m_bytesShown = 0;
};

// The document folder relative to the output folder, made comparable ("a/./b/" and "a//b" are
// "a/b"); empty when it would be the output folder itself or lie outside it.
std::string comparableFolder(const std::string &outputPrefix, const std::string &folder)
{
    if (folder.compare(0, outputPrefix.size(), outputPrefix) != 0)
        return {};
    const std::filesystem::path relative
        = pathFromUtf8(folder.substr(outputPrefix.size())).lexically_normal();
    bool hasName = false;
    for (const std::filesystem::path &part : relative) {
        if (part == "..")
            return {};
        hasName = hasName || (!part.empty() && part != ".");
    }
    if (!hasName)
        return {};
    std::string text = utf8FromPath(relative);
    while (!text.empty() && isPathSeparator(text.back()))
        text.pop_back();
    return text;
}

// Gives every document its folder, in input order; a document whose folder would be unsafe or
// coincide with an earlier one's gets a failure instead.
void allocateFolders(const std::string &outputPrefix, std::vector<ExtractedDocument> &documents)
{
    DocumentFolderAllocator allocator;
    std::set<std::string> used;
    for (ExtractedDocument &document : documents) {
        const std::string folder = allocator.folderFor(outputPrefix, document.result.documentPath);
        document.result.documentFolder = folder;
        const std::string comparable = comparableFolder(outputPrefix, folder);
        if (comparable.empty())
            document.failure = "its file name gives no usable folder name";
        else if (!used.insert(comparable).second)
            document.failure = "its folder " + folder + " is already another document's";
    }
}

void extractOne(PdfLibrary &library,
    const std::string &password,
    ProgressDisplay &progress,
    ExtractedDocument &document)
{
    document.processed = true;
    const std::string &folder = document.result.documentFolder;
    std::error_code error;
    document.createdFolder = !std::filesystem::is_directory(pathFromUtf8(folder), error);
    if (!EnsureFolderPath(folder)) {
        document.failure = "cannot create the folder " + folder;
        return;
    }
    WorkerObserver observer(library, progress, document);
    document.result = extractDocumentAttachments(
        library, document.result.documentPath, folder, observer, password);
    document.result.documentFolder = folder;
}

bool documentSucceeded(const ExtractedDocument &document)
{
    return document.processed && document.failure.empty()
        && document.result.openStatus == static_cast<int>(OpenStatus::Opened)
        && !document.result.stopped;
}

// Why a document failed, in plain words; empty when it did not.
std::string documentFailure(const ExtractedDocument &document)
{
    if (!document.failure.empty())
        return document.failure;
    if (!document.processed)
        return "not extracted: interrupted";
    if (document.result.openStatus != static_cast<int>(OpenStatus::Opened))
        return document.result.openReason.empty() ? "cannot open" : document.result.openReason;
    if (document.result.stopped)
        return "stopped before every attachment was written: interrupted";
    return {};
}

std::string documentStatusWord(const ExtractedDocument &document)
{
    if (!document.failure.empty())
        return "folder-failed";
    if (!document.processed)
        return "not-processed";
    return openStatusWord(document.result.openStatus);
}

struct Totals {
    std::int64_t documentsFailed = 0;
    std::int64_t attachments = 0;
    std::int64_t attachmentsWritten = 0;
    std::int64_t attachmentsFailed = 0;
    std::uint64_t bytes = 0;
};

Totals totalsOf(const std::vector<ExtractedDocument> &documents)
{
    Totals totals;
    for (const ExtractedDocument &document : documents) {
        if (!documentSucceeded(document))
            ++totals.documentsFailed;
        for (const AttachmentOutcome &outcome : document.result.attachments) {
            ++totals.attachments;
            if (outcomeSucceeded(outcome.kind))
                ++totals.attachmentsWritten;
            else
                ++totals.attachmentsFailed;
            totals.bytes += outcome.bytes;
        }
    }
    return totals;
}

void writeText(const std::vector<ExtractedDocument> &documents,
    const std::vector<SkippedFolder> &skippedFolders,
    std::ostream &out)
{
    for (const ExtractedDocument &document : documents) {
        const std::string path = terminalText(document.result.documentPath);
        const std::string failure = documentFailure(document);
        if (!failure.empty() && document.result.attachments.empty()) {
            out << path << ": FAILED: " << terminalText(failure) << '\n';
            continue;
        }
        out << path << " -> " << terminalText(document.result.documentFolder) << '\n';
        for (const AttachmentOutcome &outcome : document.result.attachments) {
            out << "  " << terminalText(FileNameOfPath(outcome.outputPath));
            switch (outcome.kind) {
            case AttachmentOutcome::Kind::Written:
                out << "  (" << outcome.bytes << " bytes)";
                break;
            case AttachmentOutcome::Kind::Renamed:
                out << "  (" << outcome.bytes << " bytes; stored as \""
                    << terminalText(outcome.storedName) << "\")";
                break;
            default:
                out << "  FAILED: " << terminalText(outcome.reason);
            }
            out << '\n';
        }
        if (!failure.empty())
            out << "  FAILED: " << terminalText(failure) << '\n';
    }

    const Totals totals = totalsOf(documents);
    out << "Summary: " << countOf(documents.size(), "document", "documents") << " ("
        << totals.documentsFailed << " failed), "
        << countOf(static_cast<std::size_t>(totals.attachmentsWritten), "attachment", "attachments")
        << " written (" << totals.bytes << " bytes), " << totals.attachmentsFailed << " failed, "
        << countOf(skippedFolders.size(), "folder", "folders") << " skipped.\n";
    if (totals.documentsFailed > 0) {
        out << "Failed documents:\n";
        for (const ExtractedDocument &document : documents) {
            const std::string failure = documentFailure(document);
            if (!failure.empty())
                out << "  " << terminalText(document.result.documentPath) << ": "
                    << terminalText(failure) << '\n';
        }
    }
    if (totals.attachmentsFailed > 0) {
        out << "Failed attachments:\n";
        for (const ExtractedDocument &document : documents) {
            for (const AttachmentOutcome &outcome : document.result.attachments) {
                if (!outcomeSucceeded(outcome.kind))
                    out << "  " << terminalText(document.result.documentPath) << ": #"
                        << outcome.index << " " << terminalText(outcome.storedName) << ": "
                        << terminalText(outcome.reason) << '\n';
            }
        }
    }
    if (!skippedFolders.empty()) {
        out << "Skipped folders:\n";
        for (const SkippedFolder &skipped : skippedFolders)
            out << "  " << terminalText(skipped.path) << ": " << terminalText(skipped.reason)
                << '\n';
    }
}

void writeAttachmentJson(
    JsonWriter &json, const AttachmentOutcome &outcome, const AttachmentInfo &info)
{
    json.beginObject();
    writeAttachmentFields(json, outcome.index, outcome.storedName, info);
    json.field("outputPath", outcome.outputPath);
    json.field("status", outcomeWord(outcome.kind));
    json.fieldOrNull("reason", outcome.reason);
    json.field("bytesWritten", static_cast<std::int64_t>(outcome.bytes));
    json.key("checksum");
    if (outcomeSucceeded(outcome.kind))
        json.string(info.hasDeclaredChecksum ? "verified" : "none");
    else if (outcome.kind == AttachmentOutcome::Kind::ChecksumMismatch)
        json.string("mismatch");
    else
        json.null();
    json.endObject();
}

void writeJson(const std::string &outputPrefix,
    const std::vector<ExtractedDocument> &documents,
    const std::vector<SkippedFolder> &skippedFolders,
    std::ostream &out)
{
    JsonWriter json(out);
    json.beginObject();
    json.field("program", "quenlith-cli");
    json.field("version", QUENLITH_DISPLAY_VERSION);
    json.field("command", "extract");
    json.field("outputFolder", outputPrefix);
    json.key("documents");
    json.beginArray();
    for (const ExtractedDocument &document : documents) {
        json.beginObject();
        json.field("path", document.result.documentPath);
        json.field("documentFolder", document.result.documentFolder);
        json.field("status", documentStatusWord(document));
        json.fieldOrNull("reason", documentFailure(document));
        json.field("attachmentCount", document.result.count);
        json.key("attachments");
        json.beginArray();
        for (const AttachmentOutcome &outcome : document.result.attachments) {
            const auto info = document.infos.find(outcome.index);
            writeAttachmentJson(
                json, outcome, info == document.infos.end() ? AttachmentInfo {} : info->second);
        }
        json.endArray();
        json.endObject();
    }
    json.endArray();
    writeSkippedFolders(json, skippedFolders);
    const Totals totals = totalsOf(documents);
    json.key("summary");
    json.beginObject();
    json.field("documents", static_cast<std::int64_t>(documents.size()));
    json.field("documentsFailed", totals.documentsFailed);
    json.field("attachments", totals.attachments);
    json.field("attachmentsWritten", totals.attachmentsWritten);
    json.field("attachmentsFailed", totals.attachmentsFailed);
    json.field("bytesWritten", static_cast<std::int64_t>(totals.bytes));
    json.field("skippedFolders", static_cast<std::int64_t>(skippedFolders.size()));
    json.endObject();
    json.endObject();
}

} // namespace

int runExtract(const CommandLine &commandLine, std::ostream &out, std::ostream &err)
{
    const std::string outputFolder
        = commandLine.outputFolder.empty() ? std::string(".") : commandLine.outputFolder;
    if (!EnsureFolderPath(outputFolder)) {
        err << "quenlith-cli: cannot create the output folder " << terminalText(outputFolder)
            << '\n';
        return 1;
    }
    const std::string outputPrefix = withTrailingSeparator(outputFolder);

    DocumentInputs inputs = collectDocuments(commandLine.paths);
    std::vector<ExtractedDocument> documents(inputs.documents.size());
    for (std::size_t i = 0; i < documents.size(); ++i)
        documents[i].result.documentPath = inputs.documents[i];
    allocateFolders(outputPrefix, documents);

    const unsigned jobs = commandLine.jobs > 0 ? commandLine.jobs : defaultJobCount();
    std::vector<std::unique_ptr<PdfLibrary>> libraries(jobs);
    ProgressDisplay progress(ProgressDisplay::stderrIsTerminal(), documents.size());
    runOnWorkers(
        documents.size(),
        jobs,
        [&](unsigned worker, std::size_t item) {
            ExtractedDocument &document = documents[item];
            if (document.failure.empty() && !interrupted()) {
                if (!libraries[worker])
                    libraries[worker] = std::make_unique<PdfLibrary>();
                extractOne(*libraries[worker], commandLine.password, progress, document);
            } else if (!document.failure.empty()) {
                document.processed = true;
            }
            progress.documentDone();
        },
        [&] { progress.draw(); });
    progress.finish();

    // A folder made for a document that did not open would only confuse: remove it when it is
    // still empty. Done after the workers, so that no worker's folder can vanish under it.
    for (const ExtractedDocument &document : documents) {
        if (document.createdFolder
            && document.result.openStatus != static_cast<int>(OpenStatus::Opened)) {
            std::error_code error;
            std::filesystem::remove(pathFromUtf8(document.result.documentFolder), error);
        }
    }

    if (commandLine.json)
        writeJson(outputPrefix, documents, inputs.skippedFolders, out);
    else
        writeText(documents, inputs.skippedFolders, out);
    out.flush();

    if (interrupted())
        return interruptedExitStatus;
    const Totals totals = totalsOf(documents);
    return totals.documentsFailed == 0 && totals.attachmentsFailed == 0
            && inputs.skippedFolders.empty()
        ? 0
        : 1;
}

} // namespace quenlith::cli
