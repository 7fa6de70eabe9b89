#pragma once

#include "doclist/DocumentListModel.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quenlith {

// Reads the summaries of a folder add's documents, in their order, on a thread of its own, a few
// documents ahead of the rows being inserted: the window's thread then inserts one row while the
// next document is read, instead of waiting for each in turn.
class DocumentReadAhead {
public:
    // Starts reading `files`. `beforeRead`, when given,
    // runs on the reading thread before each document (tests make reading slow with it).
    explicit DocumentReadAhead(
        std::vector<std::string> files, std::function<void()> beforeRead = {});
    // Stops reading, after the document being read.
    ~DocumentReadAhead();
    DocumentReadAhead(const DocumentReadAhead &) = delete;
    DocumentReadAhead &operator=(const DocumentReadAhead &) = delete;

    // The files given, in their order.
    const std::vector<std::string> &files() const;

    // Waits at most `timeout` for the summary of the next file to take to be read; false when it
    // still is not.
    bool waitForNext(std::chrono::milliseconds timeout);
    // The summary of the next file, in the order given; waits as waitForNext() does. An exception
    // that reading it threw is thrown here.
    DocumentSummary takeNext();

    // How many documents may be read ahead of the one taken last: enough to go on reading while
    // the window lays out and paints a list of 100,000 rows (a few milliseconds), few enough to
    // hold little memory (a summary holds counts, flags and an invoice's names).
    static constexpr std::size_t Ahead = 512;

private:
    struct Read {
        DocumentSummary summary;
        std::exception_ptr error;
    };
    void read();

    std::vector<std::string> m_files;
    std::function<void()> m_beforeRead;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Read> m_ready;
    std::size_t m_taken = 0;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace quenlith
