#include "cli/ExtractCommand.h"

#include "cli/DocumentInputs.h"
#include "cli/Interruption.h"
#include "cli/ProgressDisplay.h"
#include "cli/WorkerPool.h"
#include "extract/NestedExtraction.h"
#include "extract/output/PartFile.h"
#include "extract/report/ReportText.h"
#include "extract/report/RunReport.h"
#include "util/FsPath.h"
#include "util/JsonWriter.h"
#include "util/Utf8Text.h"
#include "util/modMain.h"
#include "util/registry.h"

#include <iterator>
#include <memory>
#include <optional>
#include <utility>

namespace quenlith::cli {

namespace {

// Keeps the progress display current.
class WorkerObserver : public ExtractionObserver {
public:
    explicit WorkerObserver(ProgressDisplay &progress)
        : m_progress(progress)
    {
    }

    bool yieldPoint() override
    {
        return !interrupted();
    }

    void attachmentDone(const AttachmentOutcome &outcome) override
    {
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
    ProgressDisplay &m_progress;
    std::uint64_t m_bytesShown = 0;
};

// The text report, written a document at a time; the lists of failures that end it keep only
// their lines.
class TextReport {
public:
    explicit TextReport(std::ostream &out)
        : m_out(out)
    {
    }

    void add(const DocumentResult &document)
    {
        const std::string path = terminalText(document.documentPath);
        const std::string failure = documentFailure(document);
        if (!failure.empty())
            m_failedDocuments.push_back("  " + path + ": " + terminalText(failure));
        for (const AttachmentOutcome &outcome : document.attachments) {
            if (!outcomeSucceeded(outcome.kind))
                m_failedAttachments.push_back("  " + path + ": #" + std::to_string(outcome.index)
                    + " " + terminalText(outcome.storedName) + ": " + terminalText(outcome.reason));
        }
        if (!failure.empty() && document.attachments.empty()) {
            m_out << path << ": FAILED: " << terminalText(failure) << '\n';
            return;
        }
        if (!document.notSearched.empty()) {
            m_out << path << ": " << terminalText(document.notSearched) << '\n';
            return;
        }
        if (document.noInvoice) {
            m_out << path << ": no invoice\n";
            return;
        }
        m_out << path << " -> " << terminalText(document.documentFolder) << '\n';
        if (document.invoice.declared)
            m_out << "  " << terminalText(invoiceText(document.invoice)) << '\n';
        for (const std::string &note : document.notes)
            m_out << "  note: " << terminalText(note) << '\n';
        // A few of qpdf's warnings: repairs and recovered data deserve a look.
        for (std::size_t i = 0; i < document.warnings.size() && i < shownWarnings; ++i)
            m_out << "  warning: " << terminalText(document.warnings[i]) << '\n';
        if (document.warningCount > shownWarnings)
            m_out << "  (" << document.warningCount - shownWarnings << " more warnings)\n";
        for (const AttachmentOutcome &outcome : document.attachments) {
            m_out << "  " << terminalText(pathInDocumentFolder(document, outcome));
            switch (outcome.kind) {
            case AttachmentOutcome::Kind::Written:
                m_out << "  (" << outcome.bytes << " bytes)";
                break;
            case AttachmentOutcome::Kind::Unchanged:
                m_out << "  (" << outcome.bytes << " bytes, unchanged)";
                break;
            case AttachmentOutcome::Kind::Renamed:
            case AttachmentOutcome::Kind::Overwritten:
                m_out << "  (" << outcome.bytes << " bytes; " << terminalText(outcome.reason)
                      << ")";
                break;
            case AttachmentOutcome::Kind::Skipped:
                m_out << "  (" << terminalText(outcome.reason) << ")";
                break;
            default:
                m_out << "  FAILED: " << terminalText(outcome.reason);
            }
            m_out << '\n';
        }
        if (!failure.empty())
            m_out << "  FAILED: " << terminalText(failure) << '\n';
    }

    void finish(const std::vector<SkippedFolder> &skippedFolders, const RunTotals &totals)
    {
        m_out << "Summary: "
              << countOf(static_cast<std::size_t>(totals.documents), "document", "documents")
              << " (" << totals.documentsFailed << " failed), "
              << countOf(static_cast<std::size_t>(totals.written), "attachment", "attachments")
              << " written (" << totals.bytesWritten << " bytes), " << totals.unchanged
              << " unchanged, ";
        if (totals.renamed > 0)
            m_out << totals.renamed << " renamed, ";
        if (totals.overwritten > 0)
            m_out << totals.overwritten << " overwritten, ";
        if (totals.skipped > 0)
            m_out << totals.skipped << " skipped, ";
        m_out << totals.failed << " failed, " << countOf(skippedFolders.size(), "folder", "folders")
              << " skipped.\n";
        const auto list = [&](const char *heading, const std::vector<std::string> &lines) {
            if (lines.empty())
                return;
            m_out << heading << '\n';
            for (const std::string &line : lines)
                m_out << line << '\n';
        };
        list("Failed documents:", m_failedDocuments);
        list("Failed attachments:", m_failedAttachments);
        std::vector<std::string> skipped;
        for (const SkippedFolder &folder : skippedFolders)
            skipped.push_back(
                "  " + terminalText(folder.path) + ": " + terminalText(folder.reason));
        list("Skipped folders:", skipped);
    }

private:
    static constexpr std::size_t shownWarnings = 3;
    std::ostream &m_out;
    std::vector<std::string> m_failedDocuments;
    std::vector<std::string> m_failedAttachments;
};

} // namespace

int runExtract(const CommandLine &commandLine, std::ostream &out, std::ostream &err)
{
    const std::string outputFolder
        = commandLine.outputFolder.empty() ? std::string(".") : commandLine.outputFolder;
    RunRecord header;
    header.program = "quenlith-cli";
    header.outputFolder = withTrailingSeparator(outputFolder);
    if (!EnsureFolderPath(outputFolder)) {
        std::string reason;
        createFolderPath(outputFolder, reason);
        header.error = "cannot create the output folder " + outputFolder + ": " + reason;
        err << "quenlith-cli: " << terminalText(header.error) << '\n';
        if (commandLine.json)
            writeRunJson(out, header);
        return 1;
    }

    // The folders come from every input, before the shard is taken, so that they do not depend
    // on which shard a document fell into.
    DocumentInputs inputs = collectDocuments(commandLine.paths);
    for (const std::string &skipped :
        dropOutputFolder(commandLine.paths, header.outputFolder, inputs.documents))
        err << "quenlith-cli: not extracting the documents in " << terminalText(skipped)
            << ": it is the output folder\n";
    const bool foldCase = folderIgnoresCase(header.outputFolder);
    // The flat layout names files by a prefix per document instead of a folder.
    std::vector<std::string> folders = commandLine.flatLayout
        ? assignFlatPrefixes(inputs.documents, foldCase)
        : assignDocumentFolders(header.outputFolder, inputs.documents, foldCase);
    std::vector<std::string> paths;
    std::vector<std::string> documentFolders;
    std::vector<std::string> flatPrefixes;
    for (std::size_t i = 0; i < inputs.documents.size(); ++i) {
        if (!inShard(inputs.documents[i], commandLine.shard, commandLine.shardCount))
            continue;
        paths.push_back(std::move(inputs.documents[i]));
        if (commandLine.flatLayout) {
            documentFolders.push_back(header.outputFolder);
            flatPrefixes.push_back(std::move(folders[i]));
        } else {
            documentFolders.push_back(std::move(folders[i]));
        }
    }
    inputs.documents = {};
    folders = {};
    // Once for the run: the flat layout's documents share the output folder.
    if (commandLine.flatLayout)
        PartFile::removeStaleParts(pathFromUtf8(header.outputFolder));

    std::vector<std::unique_ptr<RunReportFile>> reports;
    for (const auto &[path, format] : { std::pair(commandLine.reportPath, ReportFormat::Json),
             std::pair(commandLine.reportCsvPath, ReportFormat::Csv) }) {
        if (path.empty())
            continue;
        reports.push_back(std::make_unique<RunReportFile>());
        std::string error;
        if (!reports.back()->open(path, format, header, error)) {
            // Nothing is extracted without the record that was asked for.
            err << "quenlith-cli: " << terminalText(error) << '\n';
            if (commandLine.json) {
                header.error = error;
                writeRunJson(out, header);
            }
            return 1;
        }
    }

    // Each document is reported, in input order, as soon as it and those before it are done,
    // and then let go: the run's memory does not grow with the number of documents.
    std::optional<RunReportStream> json;
    std::optional<TextReport> text;
    if (commandLine.json)
        json.emplace(out, ReportFormat::Json, header);
    else
        text.emplace(out);
    RunTotals totals;

    ExtractionOptions options;
    options.existing = commandLine.existing;
    options.password = commandLine.password;
    options.foldCase = foldCase;
    options.maxAttachmentSize = commandLine.maxSize;
    options.maxDocumentSize = commandLine.maxDocumentSize;
    options.maxExpansionRatio = commandLine.maxRatio;
    options.unlisted = commandLine.unlisted;
    options.invoicesOnly = commandLine.invoicesOnly;
    options.sha256 = !reports.empty();
    const OpenedFolder openedOutputFolder = OpenedFolder::open(header.outputFolder);
    options.outputFolder = &openedOutputFolder;
    const unsigned jobs = commandLine.jobs > 0 ? commandLine.jobs : defaultJobCount();
    ProgressDisplay progress(ProgressDisplay::stderrIsTerminal(), paths.size());
    if (commandLine.nested)
        options.sha256 = true; // loops are told by the bytes
    // A listed document, then the documents nested in it, depth first.
    using Documents = std::vector<DocumentResult>;
    runInOrder<Documents>(
        paths.size(),
        jobs,
        [&](unsigned, std::size_t item) {
            Documents documents(1);
            DocumentResult &result = documents.front();
            result.documentPath = paths[item];
            result.documentFolder = documentFolders[item];
            if (!interrupted()) {
                WorkerObserver observer(progress);
                result = extractDocumentAttachments(result.documentPath,
                    result.documentFolder,
                    observer,
                    options,
                    commandLine.flatLayout ? flatPrefixes[item] : std::string());
                if (commandLine.nested && !result.stopped) {
                    Documents nested = extractNestedDocuments(result, observer, options);
                    std::move(nested.begin(), nested.end(), std::back_inserter(documents));
                }
            }
            progress.documentDone();
            return std::optional<Documents>(std::move(documents));
        },
        [&](Documents &documents) {
            for (const DocumentResult &document : documents) {
                totals.add(document);
                if (json)
                    json->add(document);
                else
                    text->add(document);
                for (const auto &report : reports)
                    report->add(document);
            }
        },
        [&] { progress.draw(); });
    progress.finish();

    if (json)
        json->finish(inputs.skippedFolders, totals);
    else
        text->finish(inputs.skippedFolders, totals);
    out.flush();
    bool reportsSaved = true;
    for (const auto &report : reports) {
        std::string error;
        if (!report->commit(inputs.skippedFolders, totals, error)) {
            err << "quenlith-cli: " << terminalText(error) << '\n';
            reportsSaved = false;
        }
    }

    if (interrupted())
        return interruptedExitStatus;
    return totals.documentsFailed == 0 && totals.failed == 0 && inputs.skippedFolders.empty()
            && reportsSaved
        ? 0
        : 1;
}

} // namespace quenlith::cli
