#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace quenlith::cli {

// Runs task(worker, item) once for every item in [0, itemCount) on `jobs` threads (fewer when
// there are fewer items); worker is 0..jobs-1, so a task can keep per-thread state such as its
// own PdfLibrary, since qpdf objects are never shared between threads. Items are handed out in
// ascending order through one atomic index. While the workers run, the calling thread calls
// `tick` about ten times a second (for a progress display). Returns when every item is done; an
// exception thrown by a task stops the handing out of items and is rethrown here.
void runOnWorkers(std::size_t itemCount,
    unsigned jobs,
    const std::function<void(unsigned worker, std::size_t item)> &task,
    const std::function<void()> &tick);

// runOnWorkers for tasks that give a result: `report` gets each result on the calling thread, in
// item order, as soon as it and every item before it are done, so that results need not wait
// for the whole run and are let go once reported. `task` may leave an item without a result
// (std::nullopt); `report` is then not called for it.
template <class Result>
void runInOrder(std::size_t itemCount,
    unsigned jobs,
    const std::function<std::optional<Result>(unsigned worker, std::size_t item)> &task,
    const std::function<void(Result &result)> &report,
    const std::function<void()> &tick)
{
    std::mutex mutex;
    std::vector<std::optional<Result>> results(itemCount);
    std::vector<char> finished(itemCount, 0);
    std::size_t next = 0;
    const auto reportFinished = [&] {
        for (;;) {
            std::optional<Result> result;
            {
                const std::lock_guard lock(mutex);
                if (next == itemCount || !finished[next])
                    return;
                result = std::move(results[next]);
                results[next].reset();
                ++next;
            }
            if (result)
                report(*result);
        }
    };
    runOnWorkers(
        itemCount,
        jobs,
        [&](unsigned worker, std::size_t item) {
            std::optional<Result> result = task(worker, item);
            const std::lock_guard lock(mutex);
            results[item] = std::move(result);
            finished[item] = 1;
        },
        [&] {
            if (tick)
                tick();
            reportFinished();
        });
    reportFinished();
}

// The default number of workers: one per processor core, at least one.
unsigned defaultJobCount();

} // namespace quenlith::cli
