#include "app/ThreadedRunView.h"

#include "app/BackgroundCall.h"
#include "app/Platform.h"

namespace quenlith {

ThreadedRunView::ThreadedRunView(RunView &target,
    Platform &platform,
    const std::atomic<bool> &cancel,
    const std::atomic<bool> &closing,
    std::function<void()> beforeOpen)
    : m_target(target)
    , m_platform(platform)
    , m_cancel(cancel)
    , m_closing(closing)
    , m_beforeOpen(std::move(beforeOpen))
{
}

bool ThreadedRunView::goOn()
{
    if (BackgroundCall::windowEventsDue())
        BackgroundCall::onWindowThread([this] { m_platform.processEvents(); });
    return !m_cancel && !m_closing;
}

bool ThreadedRunView::keepWriting()
{
    return !m_closing;
}

void ThreadedRunView::progress(double share)
{
    BackgroundCall::postToWindow([this, share] { m_target.progress(share); });
}

void ThreadedRunView::documentStarted(const std::string &file, const std::string &folder)
{
    BackgroundCall::postToWindow([this, file, folder] { m_target.documentStarted(file, folder); });
}

void ThreadedRunView::bytesWritten(
    std::uint64_t written, std::uint64_t total, std::uint64_t perSecond)
{
    BackgroundCall::postToWindow(
        [this, written, total, perSecond] { m_target.bytesWritten(written, total, perSecond); });
}

void ThreadedRunView::attachmentCount(int index, int count)
{
    BackgroundCall::postToWindow([this, index, count] { m_target.attachmentCount(index, count); });
}

void ThreadedRunView::opening(bool opening)
{
    BackgroundCall::postToWindow([this, opening] { m_target.opening(opening); });
    if (opening && m_beforeOpen)
        m_beforeOpen();
}

RunView::PasswordReply ThreadedRunView::askPassword(const std::string &file, bool lastWasWrong)
{
    PasswordReply reply;
    BackgroundCall::onWindowThread([&] { reply = m_target.askPassword(file, lastWasWrong); });
    return reply;
}

void ThreadedRunView::documentDone(const DocumentResult &result)
{
    // The list needs only the outcomes; a whole result would cost a copy of its warnings too.
    BackgroundCall::postToWindow([this,
                                     file = result.documentPath,
                                     outcomes = result.attachments,
                                     opened = result.openStatus] {
        DocumentResult shown;
        shown.documentPath = file;
        shown.openStatus = opened;
        shown.attachments = outcomes;
        m_target.documentDone(shown);
    });
}

} // namespace quenlith
