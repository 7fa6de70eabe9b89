#include "app/RunController.h"

#include "app/BackgroundCall.h"
#include "app/Platform.h"
#include "app/RunSummary.h"
#include "app/WindowCommon.h"
#include "app/frmStep1.h"
#include "doclist/DocumentList.h"
#include "doclist/DocumentListView.h"
#include "extract/DocumentExtraction.h"
#include "extract/NestedExtraction.h"
#include "extract/pdf/PdfLibrary.h"
#include "extract/report/RunReport.h"
#include "util/DataSize.h"
#include "util/Error.h"
#include "util/modMain.h"
#include "util/registry.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <cmath>
#include <map>
#include <memory>
#include <new>
#include <utility>

namespace quenlith {

// Keeps the window current while one document is extracted, and stops the extraction when the
// window closes (abandoning a write in progress) or the run is cancelled (after the current write).
class RunController::ExtractionObserverImpl : public ExtractionObserver {
public:
    explicit ExtractionObserverImpl(RunController &run)
        : m_run(run)
    {
    }

    // The extraction runs on a helper thread: everything that touches the window is handed to
    // the window's thread. Only a pause waits for it, and only when events are due: a round trip
    // between the threads costs more than writing a small attachment, and the window's thread
    // lets events run meanwhile anyway.
    bool yieldPoint() override
    {
        if (BackgroundCall::windowEventsDue())
            BackgroundCall::onWindowThread([this] { m_run.m_platform.processEvents(); });
        return !m_run.m_window.isClosing() && !m_run.m_cancelRequested;
    }
    void attachmentLabel(const std::string &text) override
    {
        BackgroundCall::postToWindow([this, label = QString::fromStdString(text)] {
            m_run.m_window.LblImages->setText(label);
        });
    }
    void waitNotice(bool shown) override
    {
        BackgroundCall::postToWindow([this, shown] {
            if (shown)
                m_run.m_window.showWaitNotice();
            else
                m_run.m_window.FrameWait->hide();
        });
    }
    void attachmentDone(const AttachmentOutcome &outcome) override
    {
        BackgroundCall::postToWindow(
            [this, next = outcome.index + 1] { m_run.m_window.AttachmentIndex = next; });
    }
    bool writeProgress(std::uint64_t) override
    {
        return !m_run.m_window.isClosing();
    }

private:
    RunController &m_run;
};

// The state of the window while a run is in progress: the commands that could change the list or
// the current document are disabled, drops are refused and the Cancel command is offered. Leaving
// the scope restores all of it, whatever ended the run.
class RunController::RunGuard {
public:
    explicit RunGuard(RunController &run)
        : m_run(run)
        , m_window(run.m_window)
    {
        m_run.m_runInProgress = true;
        m_run.m_cancelRequested = false;
        for (QPushButton *button : commands())
            button->setEnabled(false);
        m_window.ListView1->setDropsAccepted(false);
        m_window.ChkNested->setEnabled(false); // the run reads it once per document
        m_window.cmdCancel->setEnabled(true);
        m_window.cmdCancel->show();
    }
    ~RunGuard()
    {
        hideCancel();
        for (QPushButton *button : commands())
            button->setEnabled(true);
        m_window.ListView1->setDropsAccepted(true);
        m_window.ChkNested->setEnabled(true);
        m_run.m_runInProgress = false;
        m_run.m_cancelRequested = false;
    }
    RunGuard(const RunGuard &) = delete;
    RunGuard &operator=(const RunGuard &) = delete;

    void hideCancel()
    {
        m_window.cmdCancel->hide();
    }

private:
    QList<QPushButton *> commands() const
    {
        return { m_window.CmdProcess, m_window.cmdAdd, m_window.CmdAddFolder, m_window.cmdClear1 };
    }

    RunController &m_run;
    frmStep1 &m_window;
};

RunController::RunController(frmStep1 &window, Platform &platform, DocumentList &documentList)
    : m_window(window)
    , m_platform(platform)
    , m_documentList(documentList)
{
}

RunController::~RunController() = default;

bool RunController::isRunInProgress() const
{
    return m_runInProgress;
}

void RunController::cancel()
{
    if (m_runInProgress)
        m_cancelRequested = true;
}

QString RunController::outputPickerStart() const
{
    if (!m_lastOutputFolder.isEmpty())
        return m_lastOutputFolder;
    for (int i = 1; i <= m_documentList.rowCount(); ++i) {
        if (m_documentList.isTicked(i))
            return QFileInfo(m_documentList.documentPath(i)).absolutePath();
    }
    return {};
}

bool RunController::isInsideSourceFolder(const QString &folder) const
{
    const Qt::CaseSensitivity sensitivity
        = folderIgnoresCase(folder.toStdString()) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const QString inside = withSeparator(QDir::cleanPath(folder));
    for (const QString &source : m_window.m_sourceFolders) {
        if (inside.startsWith(withSeparator(QDir::cleanPath(source)), sensitivity))
            return true;
    }
    return false;
}

bool RunController::confirmOutputInsideSource()
{
    Platform::Message question;
    question.text = QStringLiteral(
        "The output folder is inside a folder you added documents from; extracted PDF files "
        "would be found there the next time the folder is added. Extract there anyway?");
    question.title = WindowTitle;
    question.icon = Platform::Icon::Question;
    question.buttons = Platform::Buttons::YesNo;
    question.defaultButton = Platform::Answer::No;
    return m_platform.messageBox(&m_window, question) == Platform::Answer::Yes;
}

void RunController::run()
{
    const QString chosen = m_platform.browseForFolder(
        &m_window, QStringLiteral("Choose Folder to Save..."), outputPickerStart());
    if (chosen.isEmpty())
        return;
    const QString OutputFolder = withSeparator(chosen);
    m_lastOutputFolder = chosen;
    if (isInsideSourceFolder(OutputFolder) && !confirmOutputInsideSource())
        return;
    if (!m_window.runCommand([&] { extractTicked(OutputFolder); }))
        return;
    m_window.openWithDesktop(OutputFolder, QStringLiteral("output folder"));
}

// What one run gathers as it goes, document by document.
struct RunController::RunState {
    QString outputFolder;
    std::map<std::string, std::string> folderOf; // a ticked document's file -> its folder
    RunSummary summary;
    // The report goes to temporary files as the run goes: 100,000 documents' outcomes are too
    // much to keep in memory for a report that may not be wanted. A failure shows when saving.
    std::unique_ptr<RunReportSpool> spool = std::make_unique<RunReportSpool>();
    int done = 0;
    // Asked for once, when the first document needs it; kept for this run only.
    std::string passwordForAll;
    bool askForPasswords = true;
};

namespace {

void summariseFailedAttachments(
    RunSummary &summary, const QString &path, const DocumentResult &result)
{
    for (const AttachmentOutcome &outcome : result.attachments) {
        if (!outcomeSucceeded(outcome.kind))
            summary.attachmentFailed(path,
                QString::fromStdString(outcome.storedName),
                QString::fromStdString(outcome.reason));
    }
}

} // namespace

void RunController::extractTicked(const QString &outputFolder)
{
    // The guard comes before the first pause, so that a second click queued meanwhile finds the
    // button disabled instead of starting a nested run.
    RunGuard guard(*this);
    // Nothing of the run before stays on show.
    m_window.ProgressBar1->setRange(0, 100);
    m_window.ProgressBar1->setValue(0);
    m_window.LblProgessCurrent->clear();
    m_window.LblImages->setText(QStringLiteral("Extracted Attachment(s) 0 (of 0)"));
    m_window.yieldEvents();
    RunState run;
    run.outputFolder = outputFolder;
    std::vector<std::string> tickedPaths = tickedFiles();
    openOutput(run, tickedPaths);
    const int ticked = static_cast<int>(tickedPaths.size());
    RunRecord header;
    header.program = "quenlith";
    header.outputFolder = outputFolder.toStdString();
    std::string spoolError;
    run.spool->open(header, spoolError);
    const int rows = m_documentList.rowCount();
    bool cancelled = false;
    for (int i = 1; i <= rows && !cancelled; ++i) {
        m_window.yieldEvents();
        if (m_documentList.isTicked(i))
            extractRow(run, i);
        m_window.yieldEvents();
        const int current = std::max(m_documentList.rowCount(), 1);
        m_window.ProgressBar1->setValue(static_cast<int>(std::lround(i * 100.0 / current)));
        cancelled = m_cancelRequested;
    }
    guard.hideCancel();
    // The commands stay disabled while the completion message is open.
    showCompletion(outputFolder, run.summary, *run.spool, cancelled, run.done, ticked);
    // Letting go of 100,000 documents' folders and report files takes longer than a moment.
    m_window.runLongCall([&] {
        run.spool.reset();
        m_outputFolder.reset();
        run.folderOf = {};
        tickedPaths = {};
    });
}

std::vector<std::string> RunController::tickedFiles()
{
    std::vector<std::string> files;
    for (int i = 1; i <= m_documentList.rowCount(); ++i) {
        if (m_documentList.isTicked(i))
            files.push_back(m_documentList.documentFile(i));
        if (i % 1024 == 0)
            m_window.yieldEvents(); // 100,000 rows take longer than a moment
    }
    return files;
}

void RunController::openOutput(RunState &run, const std::vector<std::string> &tickedPaths)
{
    // The folders depend only on the set of documents, as on the command line. Sorting 100,000
    // paths and settling their clashes takes longer than a moment, and the output folder may be
    // on a slow share: off the window's thread.
    const std::string outputFolder = run.outputFolder.toStdString();
    m_window.runLongCall([&] {
        EnsureFolderPath(outputFolder);
        m_outputIgnoresCase = folderIgnoresCase(outputFolder);
        m_outputFolder = std::make_unique<OpenedFolder>(OpenedFolder::open(outputFolder));
        const std::vector<std::string> assigned
            = assignDocumentFolders(outputFolder, tickedPaths, m_outputIgnoresCase);
        for (std::size_t k = 0; k < tickedPaths.size(); ++k)
            run.folderOf.emplace(tickedPaths[k], assigned[k]);
    });
}

void RunController::extractRow(RunState &run, int row)
{
    const QString path = m_documentList.documentPath(row);
    const std::string file = m_documentList.documentFile(row);
    const QString name = QString::fromStdString(FileNameOfPath(file));
    m_window.yieldEvents();
    const auto known = run.folderOf.find(file);
    m_window.DocOutputFolder = QString::fromStdString(known != run.folderOf.end()
            ? known->second
            : documentFolderFor(run.outputFolder.toStdString(), file));
    m_window.yieldEvents();
    m_window.LblProgessCurrent->setText(QStringLiteral("PDF File : ") + name);
    std::vector<DocumentResult> nested;
    DocumentResult result
        = extractDocument(file, m_window.DocOutputFolder, &nested, run.passwordForAll);
    if (result.openStatus == static_cast<int>(OpenStatus::NeedsPassword) && run.askForPasswords) {
        const Platform::PasswordAnswer answer = m_platform.askPassword(&m_window, name);
        run.askForPasswords = !answer.forAllRemaining;
        if (answer.given) {
            const std::string password = answer.password.toStdString();
            if (answer.forAllRemaining)
                run.passwordForAll = password;
            result = extractDocument(file, m_window.DocOutputFolder, &nested, password);
        }
    }
    m_documentList.showOutcomes(row, result.attachments);
    if (!result.folderFailure.empty())
        run.summary.folderNotCreated(m_window.DocOutputFolder);
    else if (result.openStatus != static_cast<int>(OpenStatus::Opened)
        || !result.openReason.empty())
        run.summary.documentNotOpened(path, QString::fromStdString(result.openReason));
    summariseFailedAttachments(run.summary, path, result);
    if (!result.stopped)
        ++run.done;
    run.spool->add(std::move(result));
    for (DocumentResult &inner : nested) {
        const QString innerPath = QString::fromStdString(inner.documentPath);
        const std::string failure = documentFailure(inner);
        if (!failure.empty())
            run.summary.documentNotOpened(innerPath, QString::fromStdString(failure));
        summariseFailedAttachments(run.summary, innerPath, inner);
        run.spool->add(std::move(inner));
    }
}

void RunController::showCompletion(const QString &outputFolder,
    const RunSummary &summary,
    RunReportSpool &record,
    bool cancelled,
    int done,
    int ticked)
{
    QString headline = QStringLiteral("PDF Attachments Extraction - Completed !");
    if (cancelled)
        headline = QStringLiteral(
            "PDF Attachments Extraction - Cancelled !\n%1 of %2 documents were done.")
                       .arg(done)
                       .arg(ticked);
    const RunTotals &totals = record.totals();
    if (totals.unchanged > 0)
        headline += QStringLiteral("\n%1 attachment(s) were already there unchanged.")
                        .arg(totals.unchanged);
    if (totals.renamed > 0)
        headline += QStringLiteral(
            "\n%1 attachment(s) were written under a new name, because a file of the same "
            "name was there.")
                        .arg(totals.renamed);
    // Where the files went and how many, so that the message stands on its own.
    // Concatenated, not arg()-chained: a folder name may hold "%2".
    QString counts = QStringLiteral("Output folder: ") + QDir::toNativeSeparators(outputFolder)
        + QLatin1Char('\n')
        + counted(totals.documents, QStringLiteral("document"), QStringLiteral("documents"))
        + QStringLiteral(" processed");
    if (totals.documentsFailed > 0)
        counts += QStringLiteral(" (%1 failed)").arg(totals.documentsFailed);
    counts += QStringLiteral(", ")
        + counted(totals.written, QStringLiteral("attachment"), QStringLiteral("attachments"))
        + QStringLiteral(" written (") + QString::fromStdString(dataSizeText(totals.bytesWritten))
        + QLatin1Char(')');
    if (totals.failed > 0)
        counts += QStringLiteral(", %1 failed").arg(totals.failed);
    headline += QStringLiteral("\n\n") + counts + QLatin1Char('.');
    Platform::Message box;
    box.text = summary.text(headline);
    box.title = WindowTitle;
    box.icon = summary.hasFailures() ? Platform::Icon::Warning : Platform::Icon::Information;
    box.details = summary.details();
    box.extraButton = QStringLiteral("Save Report...");
    if (m_platform.messageBox(&m_window, box) == Platform::Answer::Extra)
        saveReport(record);
}

void RunController::saveReport(RunReportSpool &record)
{
    const QString json = QStringLiteral("JSON report (*.json)");
    const QString csv = QStringLiteral("CSV report (*.csv)");
    QString chosenFilter;
    QString path = m_platform.saveFile(
        &m_window, QStringLiteral("Save Report"), json + QStringLiteral(";;") + csv, chosenFilter);
    if (path.isEmpty())
        return;
    const bool asCsv = chosenFilter == csv
        || (chosenFilter.isEmpty() && path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive));
    const QString extension = asCsv ? QStringLiteral(".csv") : QStringLiteral(".json");
    if (QFileInfo(path).suffix().isEmpty())
        path += extension;
    std::string error;
    if (!record.save(path.toStdString(), asCsv ? ReportFormat::Csv : ReportFormat::Json, error))
        m_window.showError(
            QStringLiteral("The report could not be saved: ") + QString::fromStdString(error));
}

DocumentResult RunController::extractDocument(const std::string &file,
    const QString &myPDFFolder,
    std::vector<DocumentResult> *nested,
    const std::string &password)
{
    m_window.LblImages->setText(QStringLiteral("Extracted Attachment(s) 0 (of 0)"));
    ExtractionObserverImpl observer(*this);
    ExtractionOptions options; // keeps every file already there
    options.sha256 = true; // for the report the completion message offers
    options.foldCase = m_outputIgnoresCase;
    options.password = password;
    options.outputFolder = m_outputFolder.get();
    DocumentResult result;
    const bool nestedWanted = m_window.ChkNested->isChecked();
    m_window.runLongCall(
        [&] {
            result = extractDocumentAttachments(file, myPDFFolder.toStdString(), observer, options);
            if (nested != nullptr && nestedWanted && !result.stopped)
                *nested = extractNestedDocuments(result, observer, options);
        },
        QString::fromStdString(file));
    m_window.FrameWait->hide();
    if (result.openStatus == static_cast<int>(OpenStatus::Opened))
        m_window.AttachmentIndex = static_cast<int>(result.attachments.size()) + 1;
    return result;
}

} // namespace quenlith
