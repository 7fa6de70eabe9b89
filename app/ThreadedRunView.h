#pragma once

#include "extract/ExtractionRun.h"

#include <atomic>
#include <functional>

namespace quenlith {

class Platform;

// Hands what a run tells, from the helper thread of a BackgroundCall, to a RunView that lives on
// the window's thread: updates are posted without waiting, questions wait for their answer, and
// pauses let the window's events run only when they are due (a round trip between the threads
// costs more than writing a small attachment).
class ThreadedRunView : public RunView {
public:
    // `cancel` and `closing` are read on the helper thread. `beforeOpen`, when given, runs on the
    // helper thread before each document is opened (tests make opening slow with it).
    ThreadedRunView(RunView &target,
        Platform &platform,
        const std::atomic<bool> &cancel,
        const std::atomic<bool> &closing,
        std::function<void()> beforeOpen = {});

    bool goOn() override;
    bool keepWriting() override;
    void progress(double share) override;
    void documentStarted(const std::string &file, const std::string &folder) override;
    void attachmentCount(int index, int count) override;
    void bytesWritten(std::uint64_t written, std::uint64_t total, std::uint64_t perSecond) override;
    void opening(bool opening) override;
    PasswordReply askPassword(const std::string &file, bool lastWasWrong) override;
    void documentDone(const DocumentResult &result) override;

private:
    RunView &m_target;
    Platform &m_platform;
    const std::atomic<bool> &m_cancel;
    const std::atomic<bool> &m_closing;
    std::function<void()> m_beforeOpen;
};

} // namespace quenlith
