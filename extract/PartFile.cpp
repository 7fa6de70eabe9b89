#include "extract/PartFile.h"

#include "util/FsPath.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quenlith {

namespace {

std::atomic<bool> anonymousAllowed { true };

// Temporary files older than this belong to no write of this process.
const std::filesystem::file_time_type processStart = std::filesystem::file_time_type::clock::now();

// Held until the descriptor closes, so that a sweep of another run sees the file is in use.
void lockWhileOpen(int fd)
{
#ifndef _WIN32
    ::flock(fd, LOCK_EX | LOCK_NB);
#else
    (void)fd;
#endif
}

// ".<name>.quenlith-XXXXXX.part" with six small letters or digits, as createNamed makes them.
bool isPartName(const std::string &name)
{
    static const std::string infix = ".quenlith-";
    static const std::string suffix = ".part";
    const std::size_t tail = infix.size() + 6 + suffix.size();
    if (name.size() < 1 + tail || name[0] != '.')
        return false;
    const std::size_t at = name.size() - tail;
    if (name.compare(at, infix.size(), infix) != 0
        || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    for (std::size_t i = at + infix.size(); i < name.size() - suffix.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

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

// Opens the regular file at `path` for reading; null for anything else, a symlink included.
std::FILE *openRegularForReading(const std::filesystem::path &path)
{
#ifdef _WIN32
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error)))
        return nullptr;
    return _wfopen(path.c_str(), L"rb");
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    std::FILE *file = ::fdopen(fd, "rb");
    if (file == nullptr)
        ::close(fd);
    return file;
#endif
}

// Renames `from` onto `to` only when nothing is at `to`; errno-style result, EEXIST when
// something is. One atomic step where the file system can do it, so that a file appearing
// meanwhile, or one that differs only in case on a drive that ignores case, is never replaced.
int renameWithoutReplacing(const std::filesystem::path &from, const std::filesystem::path &to)
{
#ifdef _WIN32
    if (MoveFileExW(from.c_str(), to.c_str(), 0))
        return 0;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? EEXIST : EIO;
#else
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
#endif
    // A hard link fails when the name exists; the temporary name then goes.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    // Neither works here (some FUSE and network file systems): look first, then rename.
    struct stat info { };
    if (::lstat(to.c_str(), &info) == 0)
        return EEXIST;
    if (::rename(from.c_str(), to.c_str()) == 0)
        return 0;
    return errno != 0 ? errno : EIO;
#endif
}

bool sameBytes(std::FILE *a, std::FILE *b)
{
    static constexpr std::size_t chunk = 64 * 1024;
    std::unique_ptr<char[]> left(new char[chunk]);
    std::unique_ptr<char[]> right(new char[chunk]);
    for (;;) {
        const std::size_t n = std::fread(left.get(), 1, chunk, a);
        const std::size_t m = std::fread(right.get(), 1, chunk, b);
        if (n != m || std::memcmp(left.get(), right.get(), n) != 0)
            return false;
        if (n < chunk)
            return std::ferror(a) == 0 && std::ferror(b) == 0;
    }
}

} // namespace

PartFile::~PartFile()
{
    discard();
}

bool PartFile::create(const std::filesystem::path &target, bool compareWithTarget)
{
    discard();
    m_error = 0;
    m_target = target;
    if (compareWithTarget) {
        m_compared = openRegularForReading(target);
        m_matches = m_compared != nullptr;
    }
#if defined(O_TMPFILE) && !defined(_WIN32)
    if (anonymousAllowed && createAnonymous(target.parent_path()))
        return true;
#endif
    return createNamed(target, m_temp);
}

#if defined(O_TMPFILE) && !defined(_WIN32)
bool PartFile::createAnonymous(const std::filesystem::path &folder)
{
    // A file without a name until linkat gives it one: a killed run or a power cut leaves
    // nothing behind. Not every file system can (FAT, many network file systems): then false.
    const std::filesystem::path where = folder.empty() ? std::filesystem::path(".") : folder;
    const int fd = ::open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    const int kept = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    const std::filesystem::path link = "/proc/self/fd/" + std::to_string(kept);
    static const bool procMounted = ::access("/proc/self/fd", F_OK) == 0; // linkat needs it
    if (kept < 0 || !procMounted) {
        ::close(fd);
        if (kept >= 0)
            ::close(kept);
        return false;
    }
    m_file = ::fdopen(fd, "wb");
    if (m_file == nullptr) {
        ::close(fd);
        ::close(kept);
        return false;
    }
    std::setvbuf(m_file, nullptr, _IOFBF, 256 * 1024);
    lockWhileOpen(kept); // covers the hidden name it may get before its rename
    m_anonymousFd = kept;
    m_temp = link;
    return true;
}
#endif

bool PartFile::createNamed(const std::filesystem::path &target, std::filesystem::path &created)
{
    const std::string base = "." + shortenedName(target, 120) + ".quenlith-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = base + randomSuffix() + ".part";
        auto candidate = target.parent_path() / pathFromUtf8(name);
        errno = 0;
        if (&created != &m_temp) { // a name for the anonymous file's data
#ifndef _WIN32
            if (::linkat(AT_FDCWD, m_temp.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW)
                == 0) {
                created = std::move(candidate);
                return true;
            }
#endif
        } else {
            m_file = openExclusive(candidate);
            if (m_file != nullptr) {
                created = std::move(candidate);
#ifndef _WIN32
                lockWhileOpen(::fileno(m_file));
#endif
                std::setvbuf(m_file, nullptr, _IOFBF, 256 * 1024);
                return true;
            }
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
    if (m_matches)
        compareNext(data, size);
    errno = 0;
    if (std::fwrite(data, 1, size, m_file) != size) {
        if (m_error == 0)
            m_error = errno != 0 ? errno : EIO;
        return false;
    }
    return true;
}

void PartFile::compareNext(const void *data, std::size_t size)
{
    static constexpr std::size_t chunk = 64 * 1024;
    char buffer[chunk];
    const char *bytes = static_cast<const char *>(data);
    while (size > 0 && m_matches) {
        const std::size_t n = std::min(size, chunk);
        if (std::fread(buffer, 1, n, m_compared) != n || std::memcmp(buffer, bytes, n) != 0)
            stopComparing();
        bytes += n;
        size -= n;
    }
}

void PartFile::stopComparing()
{
    m_matches = false;
    if (m_compared != nullptr) {
        std::fclose(m_compared);
        m_compared = nullptr;
    }
}

bool PartFile::matchesTarget() const
{
    return m_matches && m_file == nullptr && m_error == 0;
}

bool PartFile::sameContentAs(const std::filesystem::path &other) const
{
    if (m_temp.empty() || m_file != nullptr)
        return false;
    std::error_code error;
    const auto ours = std::filesystem::file_size(m_temp, error);
    if (error)
        return false;
    std::FILE *theirs = openRegularForReading(other);
    if (theirs == nullptr)
        return false;
    bool same = false;
    const auto theirSize = std::filesystem::file_size(other, error);
    if (!error && theirSize == ours) {
        std::FILE *mine
            = m_anonymousFd >= 0 ? std::fopen(m_temp.c_str(), "rb") : openRegularForReading(m_temp);
        if (mine != nullptr) {
            same = sameBytes(mine, theirs);
            std::fclose(mine);
        }
    }
    std::fclose(theirs);
    return same;
}

bool PartFile::close()
{
    if (m_temp.empty()) {
        if (m_error == 0)
            m_error = EBADF;
        return false;
    }
    return closeFile();
}

bool PartFile::closeFile()
{
    if (m_compared != nullptr) {
        // The target must end where the new bytes end.
        if (m_matches && std::fgetc(m_compared) != EOF)
            m_matches = false;
        std::fclose(m_compared);
        m_compared = nullptr;
    }
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

bool PartFile::commit(Replace replace)
{
    return commitAs(m_target, replace);
}

bool PartFile::commitAs(const std::filesystem::path &target, Replace replace)
{
    if (m_error == EEXIST && m_file == nullptr && !m_temp.empty())
        m_error = 0; // an earlier commitAs found its name taken
    if (m_temp.empty()) {
        if (m_error == 0)
            m_error = EBADF;
        return false;
    }
    if (!closeFile()) {
        discard();
        return false;
    }
    if (m_anonymousFd >= 0)
        return commitAnonymous(target, replace);
    if (replace == Replace::Never) {
        const int error = renameWithoutReplacing(m_temp, target);
        if (error == EEXIST) {
            m_error = EEXIST; // the temporary file stays for another name
            return false;
        }
        if (error != 0) {
            m_error = error;
            discard();
            return false;
        }
    } else {
        std::error_code ec;
        std::filesystem::rename(m_temp, target, ec);
        if (ec) {
            m_error = ec.value() != 0 ? ec.value() : EIO;
            discard();
            return false;
        }
    }
    m_target = target;
    m_temp.clear();
    return true;
}

bool PartFile::commitAnonymous(const std::filesystem::path &target, Replace replace)
{
#ifdef _WIN32
    (void)target;
    (void)replace;
    return false;
#else
    if (replace == Replace::Never) {
        // linkat never replaces: EEXIST when the name is taken, in one step.
        if (::linkat(AT_FDCWD, m_temp.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            m_error = errno != 0 ? errno : EIO;
            if (m_error != EEXIST)
                discard();
            return false;
        }
    } else {
        // A hidden name first, then the rename over the target, which is atomic.
        std::filesystem::path named;
        if (!createNamed(target, named)) {
            if (m_error == 0)
                m_error = errno != 0 ? errno : EIO;
            discard();
            return false;
        }
        std::error_code ec;
        std::filesystem::rename(named, target, ec);
        if (ec) {
            m_error = ec.value() != 0 ? ec.value() : EIO;
            std::filesystem::remove(named, ec);
            discard();
            return false;
        }
    }
    ::close(m_anonymousFd);
    m_anonymousFd = -1;
    m_target = target;
    m_temp.clear();
    return true;
#endif
}

void PartFile::discard()
{
    stopComparing();
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (m_anonymousFd >= 0) {
#ifndef _WIN32
        ::close(m_anonymousFd); // the data goes with its last descriptor
#endif
        m_anonymousFd = -1;
        m_temp.clear();
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

void PartFile::removeStaleParts(const std::filesystem::path &folder)
{
    std::error_code error;
    std::filesystem::directory_iterator entries(folder, error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        const std::filesystem::path &path = entries->path();
        if (!isPartName(utf8FromPath(path.filename())))
            continue;
        std::error_code entryError;
        if (!entries->is_regular_file(entryError) || entries->is_symlink(entryError)
            || entries->last_write_time(entryError) >= processStart || entryError)
            continue;
#ifndef _WIN32
        // A write in progress holds the lock; taking it here means no one does.
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened {
        }, named {};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0
            && ::lstat(path.c_str(), &named) == 0 && opened.st_ino == named.st_ino
            && opened.st_dev == named.st_dev)
            ::unlink(path.c_str());
        ::close(fd);
#else
        std::filesystem::remove(path, entryError); // Windows refuses while the file is open
#endif
    }
}

void PartFile::allowAnonymous(bool allowed)
{
    anonymousAllowed = allowed;
}

} // namespace quenlith
