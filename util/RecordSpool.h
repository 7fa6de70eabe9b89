#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace quenlith {

// Strings kept for later, in memory up to `memoryBytes` in all and past that in an unnamed
// temporary file, so that a list of a million paths costs no memory of its size. Each record is
// read back by the position add() gave for it. Thread-safe. A temporary file that cannot be made
// or written throws std::runtime_error, whose text says so in plain words.
class RecordSpool {
public:
    explicit RecordSpool(std::size_t memoryBytes = std::size_t { 1 } << 20);
    ~RecordSpool();
    RecordSpool(const RecordSpool &) = delete;
    RecordSpool &operator=(const RecordSpool &) = delete;

    std::uint64_t add(std::string_view record);
    std::string at(std::uint64_t position) const;
    // Calls `take` with each record and its position, in the order added, until it returns false.
    void forEach(const std::function<bool(std::uint64_t, const std::string &)> &take) const;
    bool empty() const;

private:
    void read(std::uint64_t position, void *into, std::size_t size) const;
    void spill();

    mutable std::mutex m_mutex;
    std::size_t m_memoryBytes;
    std::string m_memory; // the records until they pass m_memoryBytes
    std::FILE *m_file = nullptr; // from then on
    mutable bool m_writing = true; // the file's position is its end
    mutable std::string m_cache; // bytes of the file read last, from m_cacheStart
    mutable std::uint64_t m_cacheStart = 0;
    std::uint64_t m_size = 0;
};

} // namespace quenlith
