// The extraction run of the window: the command, and the window as the run's view.

#include "app/AttachmentActions.h"
#include "app/BackgroundCall.h"
#include "app/RunCompletion.h"
#include "app/ThreadedRunView.h"
#include "app/WindowCommon.h"
#include "app/frmStep1.h"
#include "doclist/AttachmentLine.h"
#include "doclist/DocumentList.h"
#include "doclist/DocumentListView.h"
#include "util/registry.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <cmath>

namespace quenlith {

// --- Extraction run -----------------------------------------------------------------------------

void frmStep1::CmdProcess_Click()
{
    const QString chosen = m_outputPicker.choose(m_platform, this);
    if (chosen.isEmpty())
        return;
    const QString OutputFolder = withSeparator(chosen);
    if (runCommand([&] { extractTicked(OutputFolder); }))
        openWithDesktop(OutputFolder,
            tr("The output folder could not be opened: the desktop has no program to open it "
               "with.\n%1"));
}

void frmStep1::extractTicked(const QString &outputFolder)
{
    // Before the first pause, so that a second click queued meanwhile finds the button disabled.
    setRunning(true);
    const auto notRunning = qScopeGuard([this] { setRunning(false); });
    resetProgress(); // nothing of the run before stays on show
    m_attachmentActions->runStarted();
    yieldEvents();
    auto run = std::make_unique<ExtractionRun>(m_documentList->tickedFiles(),
        outputFolder.toStdString(),
        RunOptions { ChkNested->isChecked(), m_documentList->partlyTicked() });
    ThreadedRunView view(*this, m_platform, m_cancelRequested, m_closing, m_beforeLongCall);
    RunEnd end;
    BackgroundCall background(m_platform);
    background.setBeforeEvents([this] { applyListSelection(); });
    background.run([&] { end = run->run(view); },
        [this](qint64) {
            // Only a slow open gets the notice: during a write the bar and label move.
            if (m_opening.isValid() && m_opening.elapsed() >= WaitNoticeDelay
                && !FrameWait->isVisible()) {
                setWaitText(m_openingDocument);
                FrameWait->show();
            }
        });
    opening(false);
    yieldEvents();
    cmdCancel->hide(); // the commands stay disabled while the completion message is open
    showRunCompletion(m_platform, this, outputFolder, end, *run);
    // Letting go of 100,000 documents' folders and report files takes longer than a moment.
    runLongCall([&] { run.reset(); });
}

void frmStep1::setRunning(bool running)
{
    m_runInProgress = running;
    m_cancelRequested = false;
    for (QPushButton *button : { CmdProcess, cmdAdd, CmdAddFolder, cmdClear1 })
        button->setEnabled(!running);
    ListView1->setDropsAccepted(!running);
    ChkNested->setEnabled(!running); // read once, when the run starts
    cmdCancel->setEnabled(running);
    cmdCancel->setVisible(running);
}

void frmStep1::resetProgress()
{
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    LblProgessCurrent->setText(tr("PDF File <pdf-file>"));
    attachmentCount(0, 0);
}

void frmStep1::cmdCancel_Click()
{
    if (m_runInProgress)
        m_cancelRequested = true;
}

bool frmStep1::goOn()
{
    return !m_closing && !m_cancelRequested;
}

bool frmStep1::keepWriting()
{
    return !m_closing;
}

void frmStep1::progress(double share)
{
    ProgressBar1->setValue(static_cast<int>(std::lround(share * 100)));
}

void frmStep1::documentStarted(const std::string &file, const std::string &folder)
{
    DocOutputFolder = QString::fromStdString(folder);
    m_openingDocument = QString::fromStdString(file);
    LblProgessCurrent->setText(
        tr("PDF File : %1").arg(QString::fromStdString(FileNameOfPath(file))));
}

void frmStep1::bytesWritten(std::uint64_t written, std::uint64_t total, std::uint64_t perSecond)
{
    LblImages->setText(perSecond == 0
            ? tr("%1 of %2").arg(dataSizeWords(written), dataSizeWords(total))
            : tr("%1 of %2, %3/s")
                  .arg(dataSizeWords(written), dataSizeWords(total), dataSizeWords(perSecond)));
}

void frmStep1::attachmentCount(int index, int count)
{
    LblImages->setText(tr("Extracted Attachment(s) %1 (of %2)").arg(index).arg(count));
}

void frmStep1::opening(bool opening)
{
    if (opening) {
        m_opening.start();
        return;
    }
    m_opening.invalidate();
    if (FrameWait->isVisible()) {
        FrameWait->hide();
        Label1->setText(waitText());
        Label1->setToolTip(QString());
    }
}

RunView::PasswordReply frmStep1::askPassword(const std::string &file, bool lastWasWrong)
{
    const Platform::PasswordAnswer answer
        = m_platform.askPassword(this, QString::fromStdString(FileNameOfPath(file)), lastWasWrong);
    return { answer.given, answer.password.toStdString(), answer.forAllRemaining };
}

void frmStep1::documentDone(const DocumentResult &result)
{
    if (result.openStatus == OpenStatus::Opened)
        AttachmentIndex = static_cast<int>(result.attachments.size()) + 1;
    m_documentList->showOutcomes(result.documentPath, result.attachments);
    m_attachmentActions->documentDone(result);
}

void frmStep1::ExtractPDFAttachments(const QString &myPDF, const QString &myPDFFolder)
{
    // One document as a run of its own would show it: labels, wait notice and index.
    struct Shown : ExtractionObserver {
        frmStep1 &window;
        explicit Shown(frmStep1 &w)
            : window(w)
        {
        }
        void attachmentCount(int index, int count) override
        {
            window.attachmentCount(index, count);
        }
        void waitNotice(bool shown) override
        {
            window.FrameWait->setVisible(shown);
        }
    } shown(*this);
    const DocumentResult result = extractDocumentAttachments(QFile::encodeName(myPDF).toStdString(),
        QFile::encodeName(myPDFFolder).toStdString(),
        shown);
    documentDone(result);
}

} // namespace quenlith
