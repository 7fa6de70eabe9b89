#include "extract/PartFile.h"

#include "util/FsPath.h"

#include <cerrno>
#include <random>
#include <system_error>

namespace quenlith {

namespace {

// The target's name cut to at most `limit` bytes without splitting a UTF-8 sequence, so that
// the temporary name stays within the file system's limit on name length.
std::string shortenedName(const std::filesystem::path &target, std::size_t limit)
{
    std::string name = utf8FromPath(target.filename());
    if (name.size() <= limit)
        return name;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
        --end;
    return name.substr(0, end);
}

std::string randomSuffix()
{
    static constexpr char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 generator { std::random_device {}() };
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(alphabet) - 2);
    std::string suffix(6, 'x');
    for (auto &c : suffix)
        c = alphabet[pick(generator)];
    return suffix;
}

std::FILE *openExclusive(const std::filesystem::path &path)
{
    // "x": fail when the file exists (C11), so that no other file is ever overwritten.
#ifdef _WIN32
    return _wfopen(path.c_str(), L"wbx");
#else
    return std::fopen(path.c_str(), "wbx");
#endif
}

} // namespace

PartFile::~PartFile()
{
    discard();
}

bool PartFile::create(const std::filesystem::path &target)
{
    discard();
    m_error = 0;
    m_target = target;
    const std::string base = "." + shortenedName(target, 120) + ".quenlith-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = base + randomSuffix() + ".part";
        auto candidate = target.parent_path() / pathFromUtf8(name);
        errno = 0;
        m_file = openExclusive(candidate);
        if (m_file != nullptr) {
            m_temp = std::move(candidate);
            std::setvbuf(m_file, nullptr, _IOFBF, 256 * 1024);
            return true;
        }
        if (errno != EEXIST) {
            m_error = errno != 0 ? errno : EIO;
            return false;
        }
    }
    m_error = EEXIST;
    return false;
}

bool PartFile::write(const void *data, std::size_t size)
{
    if (m_file == nullptr) {
        if (m_error == 0)
            m_error = EBADF;
        return false;
    }
    if (size == 0)
        return true;
    errno = 0;
    if (std::fwrite(data, 1, size, m_file) != size) {
        if (m_error == 0)
            m_error = errno != 0 ? errno : EIO;
        return false;
    }
    return true;
}

bool PartFile::closeFile()
{
    if (m_file == nullptr)
        return m_error == 0;
    errno = 0;
    const bool flushed = std::fflush(m_file) == 0;
    const int flushError = errno;
    errno = 0;
    const bool closed = std::fclose(m_file) == 0;
    const int closeError = errno;
    m_file = nullptr;
    if (m_error == 0 && !flushed)
        m_error = flushError != 0 ? flushError : EIO;
    if (m_error == 0 && !closed)
        m_error = closeError != 0 ? closeError : EIO;
    return m_error == 0;
}

bool PartFile::commit()
{
    if (m_temp.empty()) {
        if (m_error == 0)
            m_error = EBADF;
        return false;
    }
    if (!closeFile()) {
        discard();
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(m_temp, m_target, ec);
    if (ec) {
        m_error = ec.value() != 0 ? ec.value() : EIO;
        discard();
        return false;
    }
    m_temp.clear();
    return true;
}

void PartFile::discard()
{
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!m_temp.empty()) {
        std::error_code ignored;
        std::filesystem::remove(m_temp, ignored);
        m_temp.clear();
    }
}

int PartFile::errorNumber() const
{
    return m_error;
}

std::string PartFile::errorText() const
{
    return std::error_code(m_error, std::generic_category()).message();
}

const std::filesystem::path &PartFile::tempPath() const
{
    return m_temp;
}

} // namespace quenlith
