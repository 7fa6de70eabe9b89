#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quenlith::cli {

// Sorts (path, number) pairs by path, bytewise, then number, with at most about `memoryBytes`
// of them in memory: sorted runs wait in unnamed temporary files and are merged at the end. A
// temporary file that cannot be made or written throws std::runtime_error.
class PathSort {
public:
    explicit PathSort(std::size_t memoryBytes = std::size_t { 4 } << 20);

    void add(std::string path, std::uint64_t number);
    // Calls `take` with every pair in order; once, after the last add().
    void forEachSorted(const std::function<void(const std::string &, std::uint64_t)> &take);

private:
    using Entry = std::pair<std::string, std::uint64_t>;
    struct FileCloser {
        void operator()(std::FILE *file) const
        {
            std::fclose(file);
        }
    };
    using File = std::unique_ptr<std::FILE, FileCloser>;

    void spill();
    static bool readEntry(std::FILE *file, Entry &entry);

    std::size_t m_memoryBytes;
    std::size_t m_bytes = 0;
    std::vector<Entry> m_entries;
    std::vector<File> m_runs;
};

} // namespace quenlith::cli
