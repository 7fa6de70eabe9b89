#include "util/RecordSpool.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace quenlith {

namespace {

constexpr std::size_t cacheBytes = 64 * 1024;

[[noreturn]] void fail(const char *what)
{
    throw std::runtime_error(std::string("cannot keep the list of documents in a temporary file: ")
        + what + ": " + std::strerror(errno));
}

} // namespace

RecordSpool::RecordSpool(std::size_t memoryBytes)
    : m_memoryBytes(memoryBytes)
{
}

RecordSpool::~RecordSpool()
{
    if (m_file != nullptr)
        std::fclose(m_file);
}

void RecordSpool::spill()
{
    m_file = std::tmpfile();
    if (m_file == nullptr)
        fail("cannot make it");
    if (std::fwrite(m_memory.data(), 1, m_memory.size(), m_file) != m_memory.size())
        fail("cannot write it");
    std::string().swap(m_memory);
}

// Records are a 4-byte length in the machine's order followed by the bytes.
std::uint64_t RecordSpool::add(std::string_view record)
{
    const auto length = static_cast<std::uint32_t>(record.size());
    const std::lock_guard lock(m_mutex);
    const std::uint64_t position = m_size;
    m_size += sizeof length + length;
    if (m_file == nullptr && m_size <= m_memoryBytes) {
        m_memory.append(reinterpret_cast<const char *>(&length), sizeof length);
        m_memory.append(record.data(), length);
        return position;
    }
    if (m_file == nullptr)
        spill();
    if (!m_writing && std::fseek(m_file, 0, SEEK_END) != 0)
        fail("cannot write it");
    m_writing = true;
    if (std::fwrite(&length, sizeof length, 1, m_file) != 1
        || std::fwrite(record.data(), 1, length, m_file) != length)
        fail("cannot write it");
    return position;
}

void RecordSpool::read(std::uint64_t position, void *into, std::size_t size) const
{
    if (m_file == nullptr) {
        std::memcpy(into, m_memory.data() + position, size);
        return;
    }
    // Records are read mostly in the order written: a block read ahead serves the next ones.
    if (position < m_cacheStart || position + size > m_cacheStart + m_cache.size()) {
        m_writing = false;
        m_cache.resize(std::max(size, cacheBytes));
        m_cacheStart = position;
        if (std::fseek(m_file, static_cast<long>(position), SEEK_SET) != 0)
            fail("cannot read it");
        m_cache.resize(std::fread(m_cache.data(), 1, m_cache.size(), m_file));
        if (m_cache.size() < size)
            fail("cannot read it");
    }
    std::memcpy(into, m_cache.data() + (position - m_cacheStart), size);
}

std::string RecordSpool::at(std::uint64_t position) const
{
    const std::lock_guard lock(m_mutex);
    std::uint32_t length = 0;
    read(position, &length, sizeof length);
    std::string record(length, '\0');
    read(position + sizeof length, record.data(), length);
    return record;
}

void RecordSpool::forEach(const std::function<bool(std::uint64_t, const std::string &)> &take) const
{
    std::uint64_t size = 0;
    {
        const std::lock_guard lock(m_mutex);
        size = m_size;
    }
    // One record at a time: the file's own buffer makes the reads sequential.
    for (std::uint64_t position = 0; position < size;) {
        const std::string record = at(position);
        if (!take(position, record))
            return;
        position += sizeof(std::uint32_t) + record.size();
    }
}

bool RecordSpool::empty() const
{
    const std::lock_guard lock(m_mutex);
    return m_size == 0;
}

} // namespace quenlith
