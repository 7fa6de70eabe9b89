#include "cli/ExtractCommand.h"

#include "cli/DocumentInputs.h"
#include "cli/Interruption.h"
#include "cli/ProgressDisplay.h"
#include "cli/WorkerPool.h"
#include "extract/ReportText.h"
#include "extract/RunReport.h"
#include "util/JsonWriter.h"
#include "util/Utf8Text.h"
#include "util/modMain.h"
#include "util/registry.h"

#include <memory>

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

void writeText(const RunRecord &run, std::ostream &out)
{
    for (const DocumentResult &document : run.documents) {
        const std::string path = terminalText(document.documentPath);
        const std::string failure = documentFailure(document);
        if (!failure.empty() && document.attachments.empty()) {
            out << path << ": FAILED: " << terminalText(failure) << '\n';
            continue;
        }
        out << path << " -> " << terminalText(document.documentFolder) << '\n';
        for (const AttachmentOutcome &outcome : document.attachments) {
            out << "  " << terminalText(FileNameOfPath(outcome.outputPath));
            switch (outcome.kind) {
            case AttachmentOutcome::Kind::Written:
                out << "  (" << outcome.bytes << " bytes)";
                break;
            case AttachmentOutcome::Kind::Unchanged:
                out << "  (" << outcome.bytes << " bytes, unchanged)";
                break;
            case AttachmentOutcome::Kind::Renamed:
            case AttachmentOutcome::Kind::Overwritten:
                out << "  (" << outcome.bytes << " bytes; " << terminalText(outcome.reason) << ")";
                break;
            case AttachmentOutcome::Kind::Skipped:
                out << "  (" << terminalText(outcome.reason) << ")";
                break;
            default:
                out << "  FAILED: " << terminalText(outcome.reason);
            }
            out << '\n';
        }
        if (!failure.empty())
            out << "  FAILED: " << terminalText(failure) << '\n';
    }

    const RunTotals totals = totalsOf(run.documents);
    out << "Summary: " << countOf(run.documents.size(), "document", "documents") << " ("
        << totals.documentsFailed << " failed), "
        << countOf(static_cast<std::size_t>(totals.written), "attachment", "attachments")
        << " written (" << totals.bytesWritten << " bytes), " << totals.unchanged << " unchanged, ";
    if (totals.renamed > 0)
        out << totals.renamed << " renamed, ";
    if (totals.overwritten > 0)
        out << totals.overwritten << " overwritten, ";
    if (totals.skipped > 0)
        out << totals.skipped << " skipped, ";
    out << totals.failed << " failed, " << countOf(run.skippedFolders.size(), "folder", "folders")
        << " skipped.\n";
    if (totals.documentsFailed > 0) {
        out << "Failed documents:\n";
        for (const DocumentResult &document : run.documents) {
            const std::string failure = documentFailure(document);
            if (!failure.empty())
                out << "  " << terminalText(document.documentPath) << ": " << terminalText(failure)
                    << '\n';
        }
    }
    if (totals.failed > 0) {
        out << "Failed attachments:\n";
        for (const DocumentResult &document : run.documents) {
            for (const AttachmentOutcome &outcome : document.attachments) {
                if (!outcomeSucceeded(outcome.kind))
                    out << "  " << terminalText(document.documentPath) << ": #" << outcome.index
                        << " " << terminalText(outcome.storedName) << ": "
                        << terminalText(outcome.reason) << '\n';
            }
        }
    }
    if (!run.skippedFolders.empty()) {
        out << "Skipped folders:\n";
        for (const SkippedFolder &skipped : run.skippedFolders)
            out << "  " << terminalText(skipped.path) << ": " << terminalText(skipped.reason)
                << '\n';
    }
}

} // namespace

int runExtract(const CommandLine &commandLine, std::ostream &out, std::ostream &err)
{
    const std::string outputFolder
        = commandLine.outputFolder.empty() ? std::string(".") : commandLine.outputFolder;
    RunRecord run;
    run.program = "quenlith-cli";
    run.outputFolder = withTrailingSeparator(outputFolder);
    std::string reason;
    if (!EnsureFolderPath(outputFolder)) {
        createFolderPath(outputFolder, reason);
        run.error = "cannot create the output folder " + outputFolder + ": " + reason;
        err << "quenlith-cli: " << terminalText(run.error) << '\n';
        if (commandLine.json)
            writeRunJson(out, run);
        return 1;
    }

    DocumentInputs inputs = collectDocuments(commandLine.paths);
    run.skippedFolders = std::move(inputs.skippedFolders);
    const bool foldCase = folderIgnoresCase(run.outputFolder);
    const std::vector<std::string> folders
        = assignDocumentFolders(run.outputFolder, inputs.documents, foldCase);
    run.documents.resize(inputs.documents.size());
    for (std::size_t i = 0; i < run.documents.size(); ++i) {
        run.documents[i].documentPath = inputs.documents[i];
        run.documents[i].documentFolder = folders[i];
    }

    ExtractionOptions options;
    options.existing = commandLine.existing;
    options.password = commandLine.password;
    options.foldCase = foldCase;
    options.sha256 = !commandLine.reportPath.empty() || !commandLine.reportCsvPath.empty();
    const unsigned jobs = commandLine.jobs > 0 ? commandLine.jobs : defaultJobCount();
    std::vector<std::unique_ptr<PdfLibrary>> libraries(jobs);
    ProgressDisplay progress(ProgressDisplay::stderrIsTerminal(), run.documents.size());
    runOnWorkers(
        run.documents.size(),
        jobs,
        [&](unsigned worker, std::size_t item) {
            DocumentResult &document = run.documents[item];
            if (!interrupted()) {
                if (!libraries[worker])
                    libraries[worker] = std::make_unique<PdfLibrary>();
                WorkerObserver observer(progress);
                document = extractDocumentAttachments(*libraries[worker],
                    document.documentPath,
                    document.documentFolder,
                    observer,
                    options);
            }
            progress.documentDone();
        },
        [&] { progress.draw(); });
    progress.finish();

    if (commandLine.json)
        writeRunJson(out, run);
    else
        writeText(run, out);
    out.flush();

    bool reportsSaved = true;
    const auto save = [&](const std::string &path, ReportFormat format) {
        std::string error;
        if (!path.empty() && !saveRunReport(path, run, format, error)) {
            err << "quenlith-cli: " << terminalText(error) << '\n';
            reportsSaved = false;
        }
    };
    save(commandLine.reportPath, ReportFormat::Json);
    save(commandLine.reportCsvPath, ReportFormat::Csv);

    if (interrupted())
        return interruptedExitStatus;
    const RunTotals totals = totalsOf(run.documents);
    return totals.documentsFailed == 0 && totals.failed == 0 && run.skippedFolders.empty()
            && reportsSaved
        ? 0
        : 1;
}

} // namespace quenlith::cli
