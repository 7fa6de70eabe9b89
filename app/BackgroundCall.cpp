#include "app/BackgroundCall.h"

#include "app/Platform.h"

#include <QElapsedTimer>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace quenlith {

namespace {

// What the window's thread and the helper thread of one call share; guarded by `mutex` except
// `stop`.
struct CallState {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    std::exception_ptr workError;
    const std::function<void()> *step = nullptr; // handed over by the helper, run by the window
    bool stepDone = false;
    std::exception_ptr stepError;
    bool refused = false; // the window's thread takes no more steps
    std::vector<std::function<void()>> posted; // by the helper, run by the window in order
    std::atomic<bool> stop { false };
    std::atomic<bool> finished { false }; // `done`, readable without the mutex
    // When the platform would next let events run, in steady_clock ticks.
    std::atomic<std::chrono::steady_clock::rep> eventsDueAt { 0 };
};

// Runs what the helper posted so far, in order, on the window's thread.
void runPosted(CallState &state)
{
    std::vector<std::function<void()>> steps;
    {
        const std::lock_guard lock(state.mutex);
        steps.swap(state.posted);
    }
    for (const auto &step : steps)
        step();
}

// Opening a small document takes well under a millisecond: a thread that waits that long awake
// for the other's answer saves being put to sleep and woken, which costs as much again.
constexpr std::chrono::microseconds SpinTime { 500 };

template <typename Ready> void spinFor(Ready ready)
{
    const auto end = std::chrono::steady_clock::now() + SpinTime;
    while (!ready() && std::chrono::steady_clock::now() < end)
        std::this_thread::yield();
}

thread_local CallState *t_call = nullptr; // the call this helper thread runs

// A thread that runs one job after another: a folder add makes a call per document, and starting
// a thread for each would cost more than opening a small document.
class HelperThread {
public:
    HelperThread()
        : m_thread([this] { loop(); })
    {
    }
    ~HelperThread()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    HelperThread(const HelperThread &) = delete;
    HelperThread &operator=(const HelperThread &) = delete;

    // Runs `job` once the job before it has returned.
    void start(std::function<void()> job)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_job = std::move(job);
            m_hasJob = true;
        }
        m_wake.notify_all();
    }

private:
    void loop()
    {
        for (;;) {
            spinFor([this] { return m_hasJob.load(); });
            std::function<void()> job;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_quit || m_job; });
                if (!m_job)
                    return;
                job = std::exchange(m_job, nullptr);
                m_hasJob = false;
            }
            job();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::function<void()> m_job;
    std::atomic<bool> m_hasJob { false }; // m_job is set
    bool m_quit = false;
    std::thread m_thread;
};

// Idle helper threads. A call made while another one waits (a command run by the events of a
// call) takes a thread of its own; a few are kept for the calls to come.
class HelperPool {
public:
    std::unique_ptr<HelperThread> take()
    {
        const std::lock_guard lock(m_mutex);
        if (m_idle.empty())
            return std::make_unique<HelperThread>();
        std::unique_ptr<HelperThread> helper = std::move(m_idle.back());
        m_idle.pop_back();
        return helper;
    }
    void give(std::unique_ptr<HelperThread> helper)
    {
        std::unique_lock lock(m_mutex);
        if (m_idle.size() < KeptIdle)
            m_idle.push_back(std::move(helper));
        lock.unlock(); // otherwise helper's thread is joined here, outside the lock
    }

    void clear()
    {
        std::vector<std::unique_ptr<HelperThread>> idle;
        {
            const std::lock_guard lock(m_mutex);
            idle.swap(m_idle);
        }
        // Joined here, outside the lock.
    }

private:
    static constexpr std::size_t KeptIdle = 2;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<HelperThread>> m_idle;
};

HelperPool &helperPool()
{
    static HelperPool pool;
    return pool;
}

// When the platform would next let events run, for the helper's windowEventsDue().
void publishEventsDue(CallState &state, Platform &platform)
{
    const auto due = std::chrono::steady_clock::now()
        + std::chrono::milliseconds(platform.millisecondsUntilEventsDue());
    state.eventsDueAt = due.time_since_epoch().count();
}

// Starts `work` on a helper thread taken from the pool; the helper marks the call done at its end.
std::unique_ptr<HelperThread> startWork(const std::shared_ptr<CallState> &state,
    const std::function<void()> &work,
    const std::function<void()> &beforeWork)
{
    std::unique_ptr<HelperThread> helper = helperPool().take();
    helper->start([state, &work, beforeWork] {
        t_call = state.get();
        std::exception_ptr error;
        try {
            if (beforeWork)
                beforeWork();
            work();
        } catch (...) {
            error = std::current_exception();
        }
        t_call = nullptr;
        {
            const std::lock_guard lock(state->mutex);
            state->done = true;
            state->workError = error;
        }
        state->finished = true;
        state->changed.notify_all();
    });
    return helper;
}

// Runs a step the helper handed over and hands its outcome back.
void runStep(CallState &state, Platform &platform, const std::function<void()> &step)
{
    std::exception_ptr stepError;
    try {
        runPosted(state);
        step();
    } catch (...) {
        stepError = std::current_exception();
    }
    publishEventsDue(state, platform);
    {
        const std::lock_guard lock(state.mutex);
        state.stepError = stepError;
        state.stepDone = true;
    }
    state.changed.notify_all();
}

// The step the helper waits for, or null; waits a poll interval at most. Sets `done` once the
// work has ended.
const std::function<void()> *nextStep(CallState &state, bool &done)
{
    std::unique_lock lock(state.mutex);
    state.changed.wait_for(lock, std::chrono::milliseconds(BackgroundCall::PollInterval), [&] {
        return state.done || (state.step != nullptr && !state.stepDone);
    });
    done = state.done;
    if (!done && state.step != nullptr && !state.stepDone)
        return state.step;
    return nullptr;
}

// Lets events run every poll interval and runs the steps the helper hands over, until the work
// has ended (null) or the event processing threw (what it threw).
std::exception_ptr serveUntilDone(CallState &state,
    Platform &platform,
    const std::function<void()> &beforeEvents,
    const std::function<void(qint64)> &waiting)
{
    QElapsedTimer elapsed;
    elapsed.start();
    QElapsedTimer sinceEvents; // since this loop last let events run
    sinceEvents.start();
    spinFor([&] { return state.finished.load(); });
    for (;;) {
        bool done = false;
        if (const std::function<void()> *step = nextStep(state, done)) {
            runStep(state, platform, *step);
            // Steps can follow each other faster than the poll interval (a fast write reports
            // its progress every few megabytes): events still get their turn.
            if (sinceEvents.elapsed() < BackgroundCall::PollInterval)
                continue;
        } else if (done) {
            return nullptr;
        }
        try {
            runPosted(state);
            sinceEvents.start();
            platform.processEvents(beforeEvents);
            publishEventsDue(state, platform);
            if (waiting)
                waiting(elapsed.elapsed());
        } catch (...) {
            return std::current_exception();
        }
    }
}

// Raises the stop flag and takes no more steps.
void refuseSteps(CallState &state)
{
    state.stop = true;
    {
        const std::lock_guard lock(state.mutex);
        state.refused = true;
    }
    state.changed.notify_all();
}

} // namespace

BackgroundCall::BackgroundCall(Platform &platform)
    : m_platform(platform)
{
}

void BackgroundCall::setBeforeWork(std::function<void()> beforeWork)
{
    m_beforeWork = std::move(beforeWork);
}

void BackgroundCall::setBeforeEvents(std::function<void()> beforeEvents)
{
    m_beforeEvents = std::move(beforeEvents);
}

void BackgroundCall::run(
    const std::function<void()> &work, const std::function<void(qint64)> &waiting)
{
    auto state = std::make_shared<CallState>();
    publishEventsDue(*state, m_platform);
    std::unique_ptr<HelperThread> helper = startWork(state, work, m_beforeWork);
    const std::exception_ptr eventError
        = serveUntilDone(*state, m_platform, m_beforeEvents, waiting);
    if (eventError)
        refuseSteps(*state);
    {
        // The job only notifies after `done`; `work` is not touched again.
        std::unique_lock lock(state->mutex);
        state->changed.wait(lock, [&] { return state->done; });
    }
    helperPool().give(std::move(helper));
    if (eventError)
        std::rethrow_exception(eventError);
    runPosted(*state);
    if (state->workError)
        std::rethrow_exception(state->workError);
}

void BackgroundCall::onWindowThread(const std::function<void()> &step)
{
    CallState *state = t_call;
    if (state == nullptr) {
        step();
        return;
    }
    std::unique_lock lock(state->mutex);
    if (state->refused)
        throw Stopped();
    state->step = &step;
    state->stepDone = false;
    state->changed.notify_all();
    state->changed.wait(lock, [state] { return state->stepDone || state->refused; });
    state->step = nullptr;
    if (!state->stepDone)
        throw Stopped();
    if (state->stepError) {
        const std::exception_ptr error = std::exchange(state->stepError, nullptr);
        std::rethrow_exception(error);
    }
}

void BackgroundCall::postToWindow(std::function<void()> step)
{
    CallState *state = t_call;
    if (state == nullptr) {
        step();
        return;
    }
    const std::lock_guard lock(state->mutex);
    if (!state->refused)
        state->posted.push_back(std::move(step));
}

bool BackgroundCall::windowEventsDue()
{
    return t_call == nullptr
        || std::chrono::steady_clock::now().time_since_epoch().count() >= t_call->eventsDueAt;
}

void BackgroundCall::endIdleThreads()
{
    helperPool().clear();
}

bool BackgroundCall::stopRequested()
{
    return t_call != nullptr && t_call->stop;
}

} // namespace quenlith
