#include "cli/ListCommand.h"

#include "cli/DocumentInputs.h"
#include "cli/Interruption.h"
#include "cli/ProgressDisplay.h"
#include "cli/WorkerPool.h"
#include "extract/ReportText.h"
#include "util/JsonWriter.h"
#include "util/Utf8Text.h"

#include <memory>

namespace quenlith::cli {

namespace {

void listOne(PdfLibrary &library, const std::string &password, ListedDocument &document)
{
    int status = library.OpenDocument(document.path, {});
    if (status == static_cast<int>(OpenStatus::NeedsPassword) && !password.empty())
        status = library.OpenDocument(document.path, password);
    document.openStatus = status;
    if (status != static_cast<int>(OpenStatus::Opened)) {
        document.reason = library.lastError();
        return;
    }
    // The unlisted ones too: a hidden payload must not go unseen.
    const int count = library.AttachmentCount() + library.unlistedCount();
    document.attachments.reserve(static_cast<std::size_t>(count));
    for (int index = 1; index <= count; ++index)
        document.attachments.push_back(library.attachmentInfo(index));
}

bool opened(const ListedDocument &document)
{
    return document.openStatus == static_cast<int>(OpenStatus::Opened);
}

void writeText(const std::vector<ListedDocument> &documents,
    const std::vector<SkippedFolder> &skippedFolders,
    std::ostream &out)
{
    std::size_t attachmentTotal = 0;
    std::size_t failed = 0;
    for (const ListedDocument &document : documents) {
        const std::string path = terminalText(document.path);
        if (document.openStatus == 0) {
            out << path << ": not listed: interrupted\n";
            ++failed;
            continue;
        }
        if (!opened(document)) {
            out << path << ": cannot open: " << terminalText(document.reason) << '\n';
            ++failed;
            continue;
        }
        out << path << ": " << countOf(document.attachments.size(), "attachment", "attachments")
            << '\n';
        attachmentTotal += document.attachments.size();
        for (const AttachmentInfo &info : document.attachments) {
            const std::string date = isoDate(info.modTime);
            out << "  " << terminalText(info.name) << "  (" << info.origin;
            if (info.page > 0)
                out << " on page " << info.page;
            else if (info.origin == "af")
                out << " of the " << info.afOwner;
            out << ", " << (info.declaredSize >= 0 ? std::to_string(info.declaredSize) : "?")
                << " bytes, " << (date.empty() ? "no date" : "modified " + date) << ")\n";
        }
    }
    out << "Listed " << countOf(documents.size(), "document", "documents") << " with "
        << countOf(attachmentTotal, "attachment", "attachments");
    if (failed > 0)
        out << "; " << countOf(failed, "document", "documents") << " could not be opened";
    out << ".\n";
    if (!skippedFolders.empty()) {
        out << "Skipped folders:\n";
        for (const SkippedFolder &skipped : skippedFolders)
            out << "  " << terminalText(skipped.path) << ": " << terminalText(skipped.reason)
                << '\n';
    }
}

void writeJson(const std::vector<ListedDocument> &documents,
    const std::vector<SkippedFolder> &skippedFolders,
    std::ostream &out)
{
    JsonWriter json(out);
    std::int64_t attachmentTotal = 0;
    std::int64_t failed = 0;
    json.beginObject();
    json.field("program", "quenlith-cli");
    json.field("version", QUENLITH_DISPLAY_VERSION);
    json.field("command", "list");
    json.key("documents");
    json.beginArray();
    for (const ListedDocument &document : documents) {
        json.beginObject();
        json.field("path", document.path);
        json.field("status",
            document.openStatus == 0 ? "not-processed" : openStatusWord(document.openStatus));
        json.fieldOrNull("reason", document.openStatus == 0 ? "interrupted" : document.reason);
        json.field("attachmentCount", static_cast<std::int64_t>(document.attachments.size()));
        json.key("attachments");
        json.beginArray();
        int index = 0;
        for (const AttachmentInfo &info : document.attachments) {
            json.beginObject();
            writeAttachmentFields(json, ++index, info.name, info);
            json.endObject();
        }
        json.endArray();
        json.endObject();
        attachmentTotal += static_cast<std::int64_t>(document.attachments.size());
        failed += opened(document) ? 0 : 1;
    }
    json.endArray();
    writeSkippedFolders(json, skippedFolders);
    json.key("summary");
    json.beginObject();
    json.field("documents", static_cast<std::int64_t>(documents.size()));
    json.field("documentsFailed", failed);
    json.field("attachments", attachmentTotal);
    json.field("skippedFolders", static_cast<std::int64_t>(skippedFolders.size()));
    json.endObject();
    json.endObject();
}

} // namespace

int runList(const CommandLine &commandLine, std::ostream &out)
{
    DocumentInputs inputs = collectDocuments(commandLine.paths);
    if (commandLine.shardCount > 1)
        std::erase_if(inputs.documents, [&](const std::string &path) {
            return !inShard(path, commandLine.shard, commandLine.shardCount);
        });
    std::vector<ListedDocument> documents(inputs.documents.size());
    for (std::size_t i = 0; i < documents.size(); ++i)
        documents[i].path = inputs.documents[i];

    const unsigned jobs = commandLine.jobs > 0 ? commandLine.jobs : defaultJobCount();
    std::vector<std::unique_ptr<PdfLibrary>> libraries(jobs);
    ProgressDisplay progress(ProgressDisplay::stderrIsTerminal(), documents.size());
    runOnWorkers(
        documents.size(),
        jobs,
        [&](unsigned worker, std::size_t item) {
            if (interrupted())
                return;
            if (!libraries[worker])
                libraries[worker] = std::make_unique<PdfLibrary>();
            listOne(*libraries[worker], commandLine.password, documents[item]);
            for (std::size_t i = 0; i < documents[item].attachments.size(); ++i)
                progress.attachmentDone();
            progress.documentDone();
        },
        [&] { progress.draw(); });
    progress.finish();

    if (commandLine.json)
        writeJson(documents, inputs.skippedFolders, out);
    else
        writeText(documents, inputs.skippedFolders, out);
    out.flush();

    if (interrupted())
        return interruptedExitStatus;
    bool allOpened = true;
    for (const ListedDocument &document : documents)
        allOpened = allOpened && opened(document);
    return allOpened && inputs.skippedFolders.empty() ? 0 : 1;
}

} // namespace quenlith::cli
