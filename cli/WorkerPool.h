#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace quenlith::cli {

// Runs task(worker, item) once for every item in [0, itemCount) on `jobs` threads (fewer when
// there are fewer items); worker is 0..jobs-1, so a task can keep per-thread state such as its
// own Document, since qpdf objects are never shared between threads. Items are handed out in
// ascending order through one atomic index. While the workers run, the calling thread calls
// `tick` about ten times a second (for a progress display). Returns when every item is done; an
// exception thrown by a task stops the handing out of items and is rethrown here.
void runOnWorkers(std::size_t itemCount,
    unsigned jobs,
    const std::function<void(unsigned worker, std::size_t item)> &task,
    const std::function<void()> &tick);

// runOnWorkers for tasks that give a result: `report` gets each result, one at a time and in
// item order, as soon as it and every item before it are done, on the worker thread that
// finished the last of them, so that results need not wait for the whole run and are let go
// once reported. A worker that runs far ahead of the first unreported item waits, so that memory
// does not grow with itemCount. `task` may leave an item without a result (std::nullopt);
// `report` is then not called for it.
template <class Result>
void runInOrder(std::size_t itemCount,
    unsigned jobs,
    const std::function<std::optional<Result>(unsigned worker, std::size_t item)> &task,
    const std::function<void(Result &result)> &report,
    const std::function<void()> &tick)
{
    std::mutex mutex;
    std::condition_variable advanced;
    std::map<std::size_t, std::optional<Result>> waiting; // done, not yet reported
    std::size_t next = 0; // the first item not reported
    bool reporting = false;
    bool failed = false;
    const std::size_t ahead = 4 * std::size_t { std::max(1u, jobs) } + 16;
    const auto reportInOrder = [&](std::size_t item, std::optional<Result> result) {
        std::unique_lock lock(mutex);
        advanced.wait(lock, [&] { return item < next + ahead || failed; });
        waiting.emplace(item, std::move(result));
        if (reporting)
            return; // the worker that reports takes this one too
        reporting = true;
        while (!waiting.empty() && waiting.begin()->first == next) {
            std::optional<Result> first = std::move(waiting.begin()->second);
            waiting.erase(waiting.begin());
            lock.unlock();
            if (first)
                report(*first);
            lock.lock();
            ++next;
            advanced.notify_all();
        }
        reporting = false;
    };
    runOnWorkers(
        itemCount,
        jobs,
        [&](unsigned worker, std::size_t item) {
            try {
                reportInOrder(item, task(worker, item));
            } catch (...) {
                const std::lock_guard lock(mutex);
                failed = true; // no worker waits for an item that never comes
                advanced.notify_all();
                throw;
            }
        },
        tick);
}

// The default number of workers: one per processor core, at least one.
unsigned defaultJobCount();

} // namespace quenlith::cli
