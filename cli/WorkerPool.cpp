#include "cli/WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace quenlith::cli {

unsigned defaultJobCount()
{
    return std::max(1u, std::thread::hardware_concurrency());
}

void runOnWorkers(std::size_t itemCount,
    unsigned jobs,
    const std::function<void(unsigned worker, std::size_t item)> &task,
    const std::function<void()> &tick)
{
    if (itemCount == 0)
        return;
    const unsigned threadCount
        = static_cast<unsigned>(std::min<std::size_t>(std::max(1u, jobs), itemCount));
    std::atomic<std::size_t> next { 0 };
    std::mutex mutex;
    std::condition_variable finished;
    unsigned running = threadCount;
    std::exception_ptr failure;

    std::vector<std::thread> threads;
    threads.reserve(threadCount);
    for (unsigned worker = 0; worker < threadCount; ++worker) {
        threads.emplace_back([&, worker] {
            try {
                for (std::size_t item = next++; item < itemCount; item = next++)
                    task(worker, item);
            } catch (...) {
                const std::lock_guard lock(mutex);
                if (!failure)
                    failure = std::current_exception();
                next = itemCount; // the other workers stop after their current item
            }
            const std::lock_guard lock(mutex);
            --running;
            finished.notify_all();
        });
    }
    {
        std::unique_lock lock(mutex);
        while (running > 0) {
            finished.wait_for(lock, std::chrono::milliseconds(100), [&] { return running == 0; });
            lock.unlock();
            if (tick)
                tick();
            lock.lock();
        }
    }
    for (std::thread &thread : threads)
        thread.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace quenlith::cli
