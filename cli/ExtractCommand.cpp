#include "cli/ExtractCommand.h"

#include "cli/DocumentInputs.h"
#include "cli/Interruption.h"
#include "cli/ProgressDisplay.h"
#include "cli/WorkerPool.h"
#include "extract/NestedExtraction.h"
#include "extract/output/PartFile.h"
#include "extract/report/ReportText.h"
#include "extract/report/RunReport.h"
#include "util/DataSize.h"
#include "util/FsPath.h"
#include "util/JsonWriter.h"
#include "util/Utf8Text.h"
#include "util/modMain.h"
#include "util/registry.h"

#include <algorithm>
#include <cstdio>
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

// Lines kept for the end of the run in an unnamed temporary file, so that a run of a million
// failed documents does not hold a million lines; in memory only when there is no such file.
class LineSpool {
public:
    LineSpool()
        : m_file(std::tmpfile())
    {
    }
    ~LineSpool()
    {
        if (m_file != nullptr)
            std::fclose(m_file);
    }
    LineSpool(const LineSpool &) = delete;
    LineSpool &operator=(const LineSpool &) = delete;

    void add(const std::string &line)
    {
        m_empty = false;
        if (m_file == nullptr || std::fputs((line + '\n').c_str(), m_file) < 0)
            m_kept.push_back(line);
    }

    // Writes `heading` and the lines, in the order given; nothing when there are none.
    void writeTo(std::ostream &out, const char *heading)
    {
        if (m_empty)
            return;
        out << heading << '\n';
        if (m_file != nullptr && std::fflush(m_file) == 0) {
            std::rewind(m_file);
            char chunk[4096];
            for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, m_file)) > 0;)
                out.write(chunk, static_cast<std::streamsize>(got));
        }
        for (const std::string &line : m_kept)
            out << line << '\n';
    }

private:
    std::FILE *m_file;
    std::vector<std::string> m_kept;
    bool m_empty = true;
};

// The text report, written a document at a time; the lists of failures that end it are spooled.
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
            m_failedDocuments.add("  " + path + ": " + terminalText(failure));
        for (const AttachmentOutcome &outcome : document.attachments) {
            if (!outcomeSucceeded(outcome.kind))
                m_failedAttachments.add("  " + path + ": #" + std::to_string(outcome.index) + " "
                    + terminalText(outcome.storedName) + ": " + terminalText(outcome.reason));
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
        const bool noneChosen = std::all_of(document.attachments.begin(),
            document.attachments.end(),
            [](const AttachmentOutcome &outcome) {
                return outcome.kind == AttachmentOutcome::Kind::NotChosen;
            });
        if (noneChosen && !document.attachments.empty())
            m_out << path << ": no attachment chosen\n"; // and no folder made
        else
            m_out << path << " -> " << terminalText(document.documentFolder) << '\n';
        if (document.invoice.found())
            m_out << "  " << terminalText(invoiceText(document.invoice)) << '\n';
        for (const std::string &note : document.notes)
            m_out << "  note: " << terminalText(note) << '\n';
        // A few of qpdf's warnings: repairs and recovered data deserve a look.
        for (std::size_t i = 0; i < document.warnings.size() && i < shownWarnings; ++i)
            m_out << "  warning: " << terminalText(document.warnings[i]) << '\n';
        if (document.warningCount > shownWarnings)
            m_out << "  (" << document.warningCount - shownWarnings << " more warnings)\n";
        for (const AttachmentOutcome &outcome : document.attachments) {
            const bool notChosen = outcome.kind == AttachmentOutcome::Kind::NotChosen;
            m_out << "  "
                  << terminalText(
                         notChosen ? outcome.storedName : pathInDocumentFolder(document, outcome));
            switch (outcome.kind) {
            case AttachmentOutcome::Kind::Written:
                m_out << "  (" << dataSizeText(outcome.bytes) << ")";
                break;
            case AttachmentOutcome::Kind::Unchanged:
                m_out << "  (" << dataSizeText(outcome.bytes) << ", unchanged)";
                break;
            case AttachmentOutcome::Kind::Renamed:
            case AttachmentOutcome::Kind::Overwritten:
                m_out << "  (" << dataSizeText(outcome.bytes) << "; "
                      << terminalText(outcome.reason) << ")";
                break;
            case AttachmentOutcome::Kind::Skipped:
            case AttachmentOutcome::Kind::NotChosen:
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
              << " written (" << dataSizeText(totals.bytesWritten) << "), " << totals.unchanged
              << " unchanged, ";
        if (totals.renamed > 0)
            m_out << totals.renamed << " renamed, ";
        if (totals.overwritten > 0)
            m_out << totals.overwritten << " overwritten, ";
        if (totals.skipped > 0)
            m_out << totals.skipped << " skipped, ";
        m_out << totals.failed << " failed, " << countOf(skippedFolders.size(), "folder", "folders")
              << " skipped.\n";
        m_failedDocuments.writeTo(m_out, "Failed documents:");
        m_failedAttachments.writeTo(m_out, "Failed attachments:");
        if (!skippedFolders.empty())
            m_out << "Skipped folders:\n";
        for (const SkippedFolder &folder : skippedFolders)
            m_out << "  " << terminalText(folder.path) << ": " << terminalText(folder.reason)
                  << '\n';
    }

private:
    static constexpr std::size_t shownWarnings = 3;
    std::ostream &m_out;
    LineSpool m_failedDocuments;
    LineSpool m_failedAttachments;
};

// Walks the inputs and gives each document of the shard its folder (or flat prefix).
void planRun(const CommandLine &commandLine,
    const RecordSpool &paths,
    const std::string &outputFolder,
    bool foldCase,
    DocumentInputs &inputs,
    std::ostream &err)
{
    inputs.collect(paths, outputFolder);
    for (const std::string &skipped : inputs.droppedFolders())
        err << "quenlith-cli: not extracting the documents in " << terminalText(skipped)
            << ": it is the output folder\n";
    // The folders come from every input, before the shard is taken, so that they do not depend
    // on which shard a document fell into. The flat layout names files by a prefix per document
    // instead of a folder.
    DocumentNamer namer = commandLine.flatLayout ? DocumentNamer::flatPrefixes(foldCase)
                                                 : DocumentNamer::folders(outputFolder, foldCase);
    inputs.name(namer);
    inputs.keepShard(commandLine.shard, commandLine.shardCount);
}

// Says why the run cannot start, on `err` and, with --json, as the run's JSON on `out`.
int refuseRun(const CommandLine &commandLine,
    RunRecord header,
    const std::string &error,
    std::ostream &out,
    std::ostream &err)
{
    err << "quenlith-cli: " << terminalText(error) << '\n';
    if (commandLine.json) {
        header.error = error;
        writeRunJson(out, header);
    }
    return 1;
}

using Reports = std::vector<std::unique_ptr<RunReportFile>>;

// Opens the report files asked for; false, with the reason in `error`, when one cannot be.
bool openReports(
    const CommandLine &commandLine, const RunRecord &header, Reports &reports, std::string &error)
{
    for (const auto &[path, format] : { std::pair(commandLine.reportPath, ReportFormat::Json),
             std::pair(commandLine.reportCsvPath, ReportFormat::Csv) }) {
        if (path.empty())
            continue;
        reports.push_back(std::make_unique<RunReportFile>());
        if (!reports.back()->open(path, format, header, error))
            return false;
    }
    return true;
}

ExtractionOptions optionsFor(const CommandLine &commandLine, bool foldCase, bool reports)
{
    ExtractionOptions options;
    options.existing = commandLine.existing;
    options.foldCase = foldCase;
    options.maxAttachmentSize = commandLine.maxSize;
    options.maxDocumentSize = commandLine.maxDocumentSize;
    options.maxExpansionRatio = commandLine.maxRatio;
    options.unlisted = commandLine.unlisted;
    options.stop = &interruptionFlag();
    options.invoicesOnly = commandLine.invoicesOnly;
    options.invoiceNames = commandLine.invoiceNames;
    options.sha256 = reports || commandLine.nested; // nested loops are told by the bytes
    options.choice = attachmentChoice(commandLine);
    return options;
}

// Extracts one document, trying each password in turn while the document refuses them.
DocumentResult extractWithPasswords(const std::string &path,
    const std::string &folder,
    ExtractionObserver &observer,
    ExtractionOptions options,
    const std::vector<std::string> &passwords,
    const std::string &flatPrefix)
{
    std::size_t next = 0;
    options.password = passwords.empty() ? std::string() : passwords[next++];
    DocumentResult result = extractDocumentAttachments(path, folder, observer, options, flatPrefix);
    while (result.openStatus == OpenStatus::NeedsPassword && next < passwords.size()
        && !interrupted()) {
        options.password = passwords[next++];
        result = extractDocumentAttachments(path, folder, observer, options, flatPrefix);
    }
    return result;
}

// The text or JSON on standard output and the report files, fed a document at a time.
struct RunOutput {
    std::optional<RunReportStream> json;
    std::optional<TextReport> text;
    Reports reports;
    RunTotals totals;

    void add(const DocumentResult &document)
    {
        totals.add(document);
        if (json)
            json->add(document);
        else if (text)
            text->add(document);
        for (const auto &report : reports)
            report->add(document);
    }
};

// Runs the plan on `jobs` workers, handing each document to `output` in input order.
void extractAll(const CommandLine &commandLine,
    const DocumentInputs &plan,
    const std::string &outputFolder,
    const ExtractionOptions &options,
    RunOutput &output)
{
    const unsigned jobs = commandLine.jobs > 0 ? commandLine.jobs : defaultJobCount();
    ProgressDisplay progress(ProgressDisplay::stderrIsTerminal(), plan.size());
    // A listed document, then the documents nested in it, depth first.
    using Documents = std::vector<DocumentResult>;
    runInOrder<Documents>(
        plan.size(),
        jobs,
        [&](unsigned, std::size_t item) {
            Documents documents(1);
            DocumentResult &result = documents.front();
            result.documentPath = plan.document(item);
            const std::string name = plan.nameOf(item);
            result.documentFolder = commandLine.flatLayout ? outputFolder : name;
            if (!interrupted()) {
                WorkerObserver observer(progress);
                result = extractWithPasswords(result.documentPath,
                    result.documentFolder,
                    observer,
                    options,
                    commandLine.passwords,
                    commandLine.flatLayout ? name : std::string());
                if (commandLine.nested && !result.stopped) {
                    Documents nested = extractNestedDocuments(result, observer, options);
                    std::move(nested.begin(), nested.end(), std::back_inserter(documents));
                }
            }
            progress.documentDone();
            return std::optional<Documents>(std::move(documents));
        },
        [&](Documents &documents) {
            for (const DocumentResult &document : documents)
                output.add(document);
        },
        [&] { progress.draw(); });
    progress.finish();
}

} // namespace

int runExtract(
    const CommandLine &commandLine, const RecordSpool &paths, std::ostream &out, std::ostream &err)
{
    const std::string outputFolder
        = commandLine.outputFolder.empty() ? std::string(".") : commandLine.outputFolder;
    RunRecord header;
    header.program = "quenlith-cli";
    header.outputFolder = withTrailingSeparator(outputFolder);
    if (!EnsureFolderPath(outputFolder)) {
        std::string reason;
        createFolderPath(outputFolder, reason);
        return refuseRun(commandLine,
            header,
            "cannot create the output folder " + outputFolder + ": " + reason,
            out,
            err);
    }
    const bool foldCase = folderIgnoresCase(header.outputFolder);
    DocumentInputs plan;
    planRun(commandLine, paths, header.outputFolder, foldCase, plan, err);
    // Once for the run: the flat layout's documents share the output folder.
    if (commandLine.flatLayout)
        PartFile::removeStaleParts(pathFromUtf8(header.outputFolder));

    // Each document is reported, in input order, as soon as it and those before it are done,
    // and then let go: the run's memory does not grow with the number of documents.
    RunOutput output;
    std::string error;
    // Nothing is extracted without the record that was asked for.
    if (!openReports(commandLine, header, output.reports, error))
        return refuseRun(commandLine, header, error, out, err);
    if (commandLine.json)
        output.json.emplace(out, ReportFormat::Json, header);
    else if (commandLine.reportPath != "-" && commandLine.reportCsvPath != "-")
        output.text.emplace(out); // a report on standard output takes the text's place

    ExtractionOptions options = optionsFor(commandLine, foldCase, !output.reports.empty());
    const OpenedFolder openedOutputFolder = OpenedFolder::open(header.outputFolder);
    options.outputFolder = &openedOutputFolder;
    extractAll(commandLine, plan, header.outputFolder, options, output);

    if (output.json)
        output.json->finish(plan.skippedFolders(), output.totals);
    else if (output.text)
        output.text->finish(plan.skippedFolders(), output.totals);
    out.flush();
    bool reportsSaved = true;
    for (const auto &report : output.reports) {
        if (!report->commit(plan.skippedFolders(), output.totals, error)) {
            err << "quenlith-cli: " << terminalText(error) << '\n';
            reportsSaved = false;
        }
    }
    if (interrupted())
        return interruptedExitStatus;
    const RunTotals &totals = output.totals;
    return totals.documentsFailed == 0 && totals.failed == 0 && plan.skippedFolders().empty()
            && reportsSaved
        ? 0
        : 1;
}

} // namespace quenlith::cli
