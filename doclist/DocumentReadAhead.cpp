#include "doclist/DocumentReadAhead.h"

#include <utility>

namespace quenlith {

DocumentReadAhead::DocumentReadAhead(
    std::vector<std::string> files, std::function<void()> beforeRead)
    : m_files(std::move(files))
    , m_beforeRead(std::move(beforeRead))
    , m_thread([this] { read(); })
{
}

DocumentReadAhead::~DocumentReadAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void DocumentReadAhead::read()
{
    for (std::size_t next = 0; next < m_files.size(); ++next) {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stop || m_ready.size() < Ahead; });
            if (m_stop)
                return;
        }
        Read read;
        try {
            if (m_beforeRead)
                m_beforeRead();
            read.summary = DocumentSummary::read(m_files[next]);
        } catch (...) {
            read.error = std::current_exception(); // out of memory, above all
        }
        {
            const std::lock_guard lock(m_mutex);
            m_ready.push_back(std::move(read));
        }
        m_changed.notify_all();
    }
}

const std::vector<std::string> &DocumentReadAhead::files() const
{
    return m_files; // never changed after the constructor: any thread may read it
}

bool DocumentReadAhead::waitForNext(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(
        lock, timeout, [&] { return !m_ready.empty() || m_taken >= m_files.size(); });
}

DocumentSummary DocumentReadAhead::takeNext()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return !m_ready.empty() || m_taken >= m_files.size(); });
    if (m_ready.empty())
        return {};
    Read read = std::move(m_ready.front());
    m_ready.pop_front();
    ++m_taken;
    lock.unlock();
    m_changed.notify_all();
    // As if the document had been read here: the add stops with the error.
    if (read.error)
        std::rethrow_exception(read.error);
    return std::move(read.summary);
}

} // namespace quenlith
