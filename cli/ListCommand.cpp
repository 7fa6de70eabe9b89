#include "cli/ListCommand.h"

#include "cli/DocumentInputs.h"
#include "cli/Interruption.h"
#include "cli/ProgressDisplay.h"
#include "cli/WorkerPool.h"
#include "extract/report/ReportText.h"
#include "util/DataSize.h"
#include "util/JsonWriter.h"
#include "util/Utf8Text.h"

#include <memory>
#include <optional>
#include <variant>

namespace quenlith::cli {

namespace {

// Opens the document with the empty password, then each of `passwords` in turn while it refuses.
// A document whose listing an interruption cut short stays not looked at (OpenStatus::NotOpened).
// Only the attachments of `choice` are kept.
void listOne(const std::vector<std::string> &passwords,
    const AttachmentChoice &choice,
    ListedDocument &document)
{
    OpenLimits limits;
    limits.stop = &interruptionFlag();
    auto opened = Document::open(document.path, {}, limits);
    for (std::size_t i = 0; i < passwords.size(); ++i) {
        const auto *failure = std::get_if<OpenFailure>(&opened);
        if (failure == nullptr || failure->reason != OpenFailure::Reason::NeedsPassword)
            break;
        opened = Document::open(document.path, passwords[i], limits);
    }
    if (const auto *failure = std::get_if<OpenFailure>(&opened)) {
        if (failure->reason == OpenFailure::Reason::Stopped)
            return;
        document.openStatus = openStatusOf(failure->reason);
        document.reason = failure->text;
        return;
    }
    document.openStatus = OpenStatus::Opened;
    const Document &pdf = std::get<Document>(opened);
    // The unlisted ones too: a hidden payload must not go unseen.
    document.attachments = pdf.attachments();
    document.attachments.insert(
        document.attachments.end(), pdf.unlisted().begin(), pdf.unlisted().end());
    std::erase_if(document.attachments, [&choice](const Attachment &attachment) {
        return !choice.reasonLeftOut(attachment).empty();
    });
    document.invoice = pdf.invoice();
    if (interrupted() && !pdf.listingComplete()) {
        document.openStatus
            = OpenStatus::NotOpened; // not looked at in full: reported as interrupted
        document.attachments.clear();
        return;
    }
    document.repaired = pdf.repaired();
    document.listingComplete = pdf.listingComplete();
    if (!document.listingComplete)
        document.reason = incompleteListingReason;
    document.warnings = pdf.warnings();
    if (document.warnings.size() > DocumentResult::maxWarnings)
        document.warnings.resize(DocumentResult::maxWarnings);
}

bool opened(const ListedDocument &document)
{
    return document.openStatus == OpenStatus::Opened;
}

bool listedInFull(const ListedDocument &document)
{
    return opened(document) && document.listingComplete;
}

// Writes the text or JSON list a document at a time, in input order, keeping only the totals.
class ListReport {
public:
    ListReport(std::ostream &out, bool json)
        : m_out(out)
    {
        if (!json)
            return;
        m_json.emplace(out);
        m_json->beginObject();
        m_json->field("program", "quenlith-cli");
        m_json->field("version", QUENLITH_DISPLAY_VERSION);
        m_json->field("command", "list");
        m_json->key("documents");
        m_json->beginArray();
    }

    void add(const ListedDocument &document)
    {
        ++m_documents;
        m_failed += listedInFull(document) ? 0 : 1;
        m_attachments += document.attachments.size();
        if (m_json)
            addJson(document);
        else
            addText(document);
    }

    void finish(const std::vector<SkippedFolder> &skippedFolders)
    {
        if (m_json) {
            JsonWriter &json = *m_json;
            json.endArray();
            writeSkippedFolders(json, skippedFolders);
            json.key("summary");
            json.beginObject();
            json.field("documents", static_cast<std::int64_t>(m_documents));
            json.field("documentsFailed", static_cast<std::int64_t>(m_failed));
            json.field("attachments", static_cast<std::int64_t>(m_attachments));
            json.field("skippedFolders", static_cast<std::int64_t>(skippedFolders.size()));
            json.endObject();
            json.endObject();
            return;
        }
        m_out << "Listed " << countOf(m_documents, "document", "documents") << " with "
              << countOf(m_attachments, "attachment", "attachments");
        if (m_failed > 0)
            m_out << "; " << countOf(m_failed, "document", "documents")
                  << " could not be opened or listed";
        m_out << ".\n";
        if (!skippedFolders.empty()) {
            m_out << "Skipped folders:\n";
            for (const SkippedFolder &skipped : skippedFolders)
                m_out << "  " << terminalText(skipped.path) << ": " << terminalText(skipped.reason)
                      << '\n';
        }
    }

    std::size_t failed() const
    {
        return m_failed;
    }

private:
    void addText(const ListedDocument &document)
    {
        const std::string path = terminalText(document.path);
        if (document.openStatus == OpenStatus::NotOpened) {
            m_out << path << ": not listed: interrupted\n";
            return;
        }
        if (!opened(document)) {
            m_out << path << ": cannot open: " << terminalText(document.reason) << '\n';
            return;
        }
        m_out << path << ": " << countOf(document.attachments.size(), "attachment", "attachments")
              << '\n';
        // A repaired document's list may lack attachments that the damage took.
        if (document.repaired)
            m_out << "  repaired: "
                  << terminalText(document.warnings.empty() ? "attachments may be missing"
                                                            : document.warnings.front())
                  << '\n';
        if (!document.listingComplete)
            m_out << "  warning: " << terminalText(document.reason) << '\n';
        if (document.invoice.found())
            m_out << "  " << terminalText(invoiceText(document.invoice)) << '\n';
        for (const Attachment &info : document.attachments) {
            const std::string date = isoDate(info.modTime);
            m_out << "  " << terminalText(info.name) << "  (" << originWord(info.origin);
            if (info.page > 0)
                m_out << " on page " << info.page;
            else if (info.origin == Attachment::Origin::AssociatedFile)
                m_out << " of the " << info.afOwner;
            else if (!info.folderPath.empty())
                m_out << " folder " << terminalText(info.folder);
            if (!info.platform.empty())
                m_out << ", " << info.platform << " variant";
            m_out << ", "
                  << (info.declaredSize >= 0
                             ? dataSizeText(static_cast<std::uint64_t>(info.declaredSize))
                             : std::string("? bytes"))
                  << ", " << (date.empty() ? "no date" : "modified " + date) << ")\n";
        }
    }

    void addJson(const ListedDocument &document)
    {
        JsonWriter &json = *m_json;
        json.beginObject();
        json.field("path", document.path);
        json.field("status",
            document.openStatus == OpenStatus::NotOpened ? "not-processed"
                                                         : openStatusWord(document.openStatus));
        json.fieldOrNull("reason",
            document.openStatus == OpenStatus::NotOpened ? "interrupted" : document.reason);
        json.field("attachmentCount", static_cast<std::int64_t>(document.attachments.size()));
        writeInvoiceField(json, document.invoice);
        json.fieldBool("repaired", document.repaired);
        json.fieldStrings("warnings", document.warnings);
        json.key("attachments");
        json.beginArray();
        for (const Attachment &info : document.attachments) {
            json.beginObject();
            writeAttachmentFields(json, info.position, info.name, info);
            json.endObject();
        }
        json.endArray();
        json.endObject();
    }

    std::ostream &m_out;
    std::optional<JsonWriter> m_json;
    std::size_t m_documents = 0;
    std::size_t m_failed = 0;
    std::size_t m_attachments = 0;
};

} // namespace

int runList(const CommandLine &commandLine, const RecordSpool &paths, std::ostream &out)
{
    DocumentInputs inputs;
    inputs.collect(paths);
    inputs.keepShard(commandLine.shard, commandLine.shardCount);
    // Each document is printed as soon as it and those before it are done, then let go.
    ListReport report(out, commandLine.json);
    const AttachmentChoice choice = attachmentChoice(commandLine);
    const unsigned jobs = commandLine.jobs > 0 ? commandLine.jobs : defaultJobCount();
    ProgressDisplay progress(ProgressDisplay::stderrIsTerminal(), inputs.size());
    runInOrder<ListedDocument>(
        inputs.size(),
        jobs,
        [&](unsigned, std::size_t item) {
            ListedDocument document;
            document.path = inputs.document(item);
            if (!interrupted()) {
                listOne(commandLine.passwords, choice, document);
                for (std::size_t i = 0; i < document.attachments.size(); ++i)
                    progress.attachmentDone();
                progress.documentDone();
            }
            return std::optional<ListedDocument>(std::move(document));
        },
        [&](ListedDocument &document) { report.add(document); },
        [&] { progress.draw(); });
    progress.finish();
    report.finish(inputs.skippedFolders());
    out.flush();

    if (interrupted())
        return interruptedExitStatus;
    return report.failed() == 0 && inputs.skippedFolders().empty() ? 0 : 1;
}

} // namespace quenlith::cli
