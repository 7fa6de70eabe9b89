// Calls that can take long, off the window's thread, and the wait notice that names them.

#include "app/BackgroundCall.h"
#include "app/WindowCommon.h"
#include "app/frmStep1.h"
#include "doclist/DocumentReadAhead.h"
#include "util/registry.h"

#include <QElapsedTimer>
#include <QFontMetrics>
#include <QLabel>
#include <QScopeGuard>

namespace quenlith {

// --- Long library calls --------------------------------------------------------------------------

void frmStep1::setBeforeLongCall(std::function<void()> beforeLongCall)
{
    m_beforeLongCall = std::move(beforeLongCall);
}

void frmStep1::waitForDocument(DocumentReadAhead &readAhead, const std::string &document)
{
    // Here, not on a helper thread: a third thread waiting awake would take a core from the one
    // that reads.
    if (readAhead.waitForNext(std::chrono::milliseconds(0)))
        return;
    bool noticeShown = false;
    const auto restore = qScopeGuard([this, &noticeShown] {
        if (!noticeShown)
            return;
        Label1->setText(waitText());
        Label1->setToolTip(QString());
        FrameWait->hide();
    });
    QElapsedTimer waited;
    waited.start();
    while (!readAhead.waitForNext(std::chrono::milliseconds(BackgroundCall::PollInterval))) {
        if (waited.elapsed() >= WaitNoticeDelay && !FrameWait->isVisible()) {
            setWaitText(QString::fromStdString(document));
            FrameWait->show();
            noticeShown = true;
        }
        yieldEvents();
    }
}

void frmStep1::setWaitText(const QString &document)
{
    // The notice names the document, so that a slow one can be told from a hung program.
    const QString name = QString::fromStdString(FileNameOfPath(document.toStdString()));
    if (name.isEmpty()) {
        Label1->setText(waitText());
    } else {
        // A long name is shortened in its middle so that the notice fits its frame; the whole
        // name is in the tooltip.
        const QString frame = tr("Please wait... Reading %1...");
        const QFontMetrics metrics(Label1->font());
        const int room = Label1->contentsRect().width()
            - metrics.horizontalAdvance(QString(frame).remove(QStringLiteral("%1"))) - 4;
        Label1->setText(frame.arg(metrics.elidedText(name, Qt::ElideMiddle, std::max(room, 0))));
    }
    Label1->setToolTip(name);
}

void frmStep1::showWaitNotice()
{
    if (m_waitTextPending) {
        m_waitTextPending = false;
        setWaitText(m_waitDocument);
    }
    FrameWait->show();
}

void frmStep1::runLongCall(const std::function<void()> &call, const QString &document)
{
    const bool waitShown = FrameWait->isVisible();
    const QString outerDocument = std::exchange(m_waitDocument, document);
    const bool outerPending = std::exchange(m_waitTextPending, true);
    if (waitShown)
        showWaitNotice(); // already on show: it names this document at once
    const auto restoreText = qScopeGuard([this, outerDocument, outerPending] {
        const bool named = !m_waitTextPending;
        if (named) {
            Label1->setText(waitText());
            Label1->setToolTip(QString());
        }
        m_waitDocument = outerDocument;
        // The label no longer names the document of a call around this one.
        m_waitTextPending = outerPending || named;
    });
    BackgroundCall background(m_platform);
    background.setBeforeWork(m_beforeLongCall);
    background.setBeforeEvents([this] { applyListSelection(); });
    background.run(call, [&](qint64 milliseconds) {
        // Longer than a moment: say that the program is at work, not hung.
        if (milliseconds >= WaitNoticeDelay && !FrameWait->isVisible())
            showWaitNotice();
    });
    if (!waitShown)
        FrameWait->hide();
}

} // namespace quenlith
