#pragma once

#include <QtGlobal>
#include <atomic>
#include <functional>

namespace quenlith {

class Platform;

// Runs one long call (opening a document, writing an attachment, scanning a folder) on a helper
// thread while the window's thread goes on letting pending events run, and returns when the call
// has ended, as if it had run in place. The caller's handler therefore keeps the one-command-at-
// a-time model: it runs to its end, and only its pauses let other commands run. What the call
// uses (a Document above all) belongs to the helper thread until run() returns; the window must
// keep every command that could touch it disabled meanwhile.
class BackgroundCall {
public:
    // Thrown on the helper thread by onWindowThread() when the window's thread has stopped taking
    // steps (an exception left its event processing); run() then rethrows that exception instead.
    struct Stopped { };

    explicit BackgroundCall(Platform &platform);

    // Runs `work` on a helper thread. Meanwhile this thread lets pending events run through the
    // platform every few milliseconds, runs the steps that `work` hands over (onWindowThread), and
    // calls `waiting` with the milliseconds the call has taken so far. An exception thrown by
    // `work` is rethrown here; so is one thrown by the event processing, after `work` has ended
    // (the stop flag is raised so that a write gives up early).
    void run(const std::function<void()> &work, const std::function<void(qint64)> &waiting = {});

    // From inside `work`: runs `step` on the window's thread and returns once it has run,
    // rethrowing its exception on the calling thread. Outside a background call it runs `step` in
    // place.
    static void onWindowThread(const std::function<void()> &step);

    // From inside `work`: has `step` run on the window's thread at its next look at the call, and
    // returns at once. Steps posted run in their order, each before any later onWindowThread step
    // and all before run() returns; for updates of the window that need no answer. Outside a
    // background call it runs `step` in place.
    static void postToWindow(std::function<void()> step);

    // From inside `work`: whether the window's platform would let events run now, so that a pause
    // is worth handing over with onWindowThread. Meanwhile the window's thread lets events run on
    // its own between its looks at the call. Outside a background call: true.
    static bool windowEventsDue();

    // Ends the helper threads kept for the next calls. The window calls it when it closes, so
    // that no thread outlives it into the program's exit, where libraries it used (OpenSSL) may
    // already have cleaned up.
    static void endIdleThreads();

    // Raised while the window's thread has given up on the call; work that can stop early reads it.
    static bool stopRequested();

    // Runs on the helper thread before every `work` (tests use it to make a call slow).
    void setBeforeWork(std::function<void()> beforeWork);
    // Handed to the platform's processEvents each time this thread lets events run.
    void setBeforeEvents(std::function<void()> beforeEvents);

    // How long the window's thread sleeps at most between two looks at the call.
    static constexpr int PollInterval = 10;

private:
    Platform &m_platform;
    std::function<void()> m_beforeWork;
    std::function<void()> m_beforeEvents;
};

} // namespace quenlith
