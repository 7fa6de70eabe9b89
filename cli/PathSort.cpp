#include "cli/PathSort.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <queue>
#include <stdexcept>

namespace quenlith::cli {

namespace {

[[noreturn]] void fail(const char *what)
{
    throw std::runtime_error(std::string("cannot sort the list of documents in a temporary file: ")
        + what + ": " + std::strerror(errno));
}

} // namespace

PathSort::PathSort(std::size_t memoryBytes)
    : m_memoryBytes(memoryBytes)
{
}

void PathSort::add(std::string path, std::uint64_t number)
{
    m_bytes += sizeof(Entry) + path.capacity();
    m_entries.emplace_back(std::move(path), number);
    if (m_bytes > m_memoryBytes)
        spill();
}

// A run is a sequence of a 4-byte path length, the path and the 8-byte number.
void PathSort::spill()
{
    std::sort(m_entries.begin(), m_entries.end());
    File run(std::tmpfile());
    if (!run)
        fail("cannot make it");
    for (const auto &[path, number] : m_entries) {
        const auto length = static_cast<std::uint32_t>(path.size());
        if (std::fwrite(&length, sizeof length, 1, run.get()) != 1
            || std::fwrite(path.data(), 1, length, run.get()) != length
            || std::fwrite(&number, sizeof number, 1, run.get()) != 1)
            fail("cannot write it");
    }
    if (std::fflush(run.get()) != 0)
        fail("cannot write it");
    std::rewind(run.get());
    m_runs.push_back(std::move(run));
    std::vector<Entry>().swap(m_entries);
    m_bytes = 0;
}

bool PathSort::readEntry(std::FILE *file, Entry &entry)
{
    std::uint32_t length = 0;
    if (std::fread(&length, sizeof length, 1, file) != 1)
        return false;
    entry.first.resize(length);
    if (std::fread(entry.first.data(), 1, length, file) != length
        || std::fread(&entry.second, sizeof entry.second, 1, file) != 1)
        fail("cannot read it");
    return true;
}

void PathSort::forEachSorted(const std::function<void(const std::string &, std::uint64_t)> &take)
{
    if (m_runs.empty()) {
        std::sort(m_entries.begin(), m_entries.end());
        for (const auto &[path, number] : m_entries)
            take(path, number);
        return;
    }
    if (!m_entries.empty())
        spill();
    // The smallest head of all runs first.
    std::vector<Entry> heads(m_runs.size());
    const auto later = [&](std::size_t a, std::size_t b) { return heads[b] < heads[a]; };
    std::priority_queue<std::size_t, std::vector<std::size_t>, decltype(later)> queue(later);
    for (std::size_t run = 0; run < m_runs.size(); ++run) {
        if (readEntry(m_runs[run].get(), heads[run]))
            queue.push(run);
    }
    while (!queue.empty()) {
        const std::size_t run = queue.top();
        queue.pop();
        take(heads[run].first, heads[run].second);
        if (readEntry(m_runs[run].get(), heads[run]))
            queue.push(run);
    }
    m_runs.clear();
}

} // namespace quenlith::cli
