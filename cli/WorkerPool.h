#pragma once

#include <cstddef>
#include <functional>

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

// The default number of workers: one per processor core, at least one.
unsigned defaultJobCount();

} // namespace quenlith::cli
