#include "extract/output/PartFile.h"

#include "util/FsPath.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <chrono>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#endif

namespace quenlith {

namespace {

std::atomic<bool> anonymousAllowed { true };

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

// A new hidden name for the target, as removeStaleParts recognises them.
std::string hiddenName(const std::filesystem::path &target)
{
    return "." + shortenedName(target, 120) + ".quenlith-" + randomSuffix() + ".part";
}

int lastError()
{
    return errno != 0 ? errno : EIO;
}

// The file operations below one folder. Where the system has descriptors for folders, every
// name is looked up in the open folder `fd` and a link in its place is never followed;
// elsewhere `folder` / name is used.
#ifndef _WIN32
using Name = const char *;

const char *nameOf(const std::string &name)
{
    return name.c_str();
}

int openRead(int fd, const std::filesystem::path &, Name name)
{
    return ::openat(fd, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
}

int createExclusive(int fd, const std::filesystem::path &, Name name)
{
    return ::openat(fd, name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

int removeAt(int fd, const std::filesystem::path &, Name name)
{
    return ::unlinkat(fd, name, 0) == 0 ? 0 : lastError();
}

int renameAt(int fd, const std::filesystem::path &, Name from, Name to)
{
    return ::renameat(fd, from, fd, to) == 0 ? 0 : lastError();
}

// Renames `from` onto `to` only when nothing is at `to`; errno-style result, EEXIST when
// something is. One atomic step where the file system can do it, so that a file appearing
// meanwhile is never replaced.
int renameWithoutReplacing(int fd, const std::filesystem::path &, Name from, Name to)
{
#ifdef RENAME_NOREPLACE
    if (::renameat2(fd, from, fd, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
#endif
    // A hard link fails when the name exists; the temporary name then goes.
    if (::linkat(fd, from, fd, to, 0) == 0) {
        ::unlinkat(fd, from, 0);
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    // Neither works here (some FUSE and network file systems): look first, then rename.
    struct stat info { };
    if (::fstatat(fd, to, &info, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    return renameAt(fd, {}, from, to);
}

bool readAt(int fd, std::uint64_t offset, char *buffer, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::pread(fd, buffer, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        buffer += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

std::size_t readSome(int fd, char *buffer, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

ssize_t writeSome(int fd, const char *data, std::size_t size)
{
    return ::write(fd, data, size);
}

void closeFd(int fd)
{
    ::close(fd);
}

// Whether linkat(fd, "", ...) works here: it needs CAP_DAC_READ_SEARCH on many kernels; else
// the data is linked through /proc. -1 while not known.
std::atomic<int> emptyPathLinks { -1 };

bool procMounted()
{
    static const bool mounted = ::access("/proc/self/fd", F_OK) == 0;
    return mounted;
}

// Gives the anonymous file `fd` the name `name` in `folderFd`; never replaces (EEXIST).
int linkAnonymous(int fd, int folderFd, const char *name)
{
#ifdef AT_EMPTY_PATH
    if (emptyPathLinks != 0) {
        if (::linkat(fd, "", folderFd, name, AT_EMPTY_PATH) == 0) {
            emptyPathLinks = 1;
            return 0;
        }
        if (errno != ENOENT && errno != EPERM)
            return lastError();
    }
#endif
    char link[32];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    if (::linkat(AT_FDCWD, link, folderFd, name, AT_SYMLINK_FOLLOW) != 0)
        return lastError();
    if (emptyPathLinks == -1)
        emptyPathLinks = 0;
    return 0;
}

// Temporary files last modified before this belong to no write of this process.
const struct timespec processStart = [] {
    struct timespec now { };
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now;
}();

bool before(const struct timespec &a, const struct timespec &b)
{
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}
#else
using Name = const std::filesystem::path &;

std::filesystem::path nameOf(const std::string &name)
{
    return pathFromUtf8(name);
}

int openRead(int, const std::filesystem::path &folder, Name name)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(folder / name, error)))
        return -1;
    return ::_wopen((folder / name).c_str(), _O_RDONLY | _O_BINARY);
}

int createExclusive(int, const std::filesystem::path &folder, Name name)
{
    return ::_wopen(
        (folder / name).c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}

int removeAt(int, const std::filesystem::path &folder, Name name)
{
    std::error_code error;
    std::filesystem::remove(folder / name, error);
    return error ? EIO : 0;
}

int renameAt(int, const std::filesystem::path &folder, Name from, Name to)
{
    std::error_code error;
    std::filesystem::rename(folder / from, folder / to, error);
    return error ? (error.value() != 0 ? error.value() : EIO) : 0;
}

int renameWithoutReplacing(int, const std::filesystem::path &folder, Name from, Name to)
{
    if (MoveFileExW((folder / from).c_str(), (folder / to).c_str(), 0))
        return 0;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? EEXIST : EIO;
}

bool readAt(int fd, std::uint64_t offset, char *buffer, std::size_t size)
{
    if (::_lseeki64(fd, static_cast<__int64>(offset), SEEK_SET) < 0)
        return false;
    while (size > 0) {
        const int n
            = ::_read(fd, buffer, static_cast<unsigned>(std::min<std::size_t>(size, 1 << 30)));
        if (n <= 0)
            return false;
        buffer += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::size_t readSome(int fd, char *buffer, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const int n = ::_read(fd, buffer + done, static_cast<unsigned>(size - done));
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

long long writeSome(int fd, const char *data, std::size_t size)
{
    return ::_write(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, 1 << 30)));
}

void closeFd(int fd)
{
    ::_close(fd);
}
#endif

std::uint64_t sizeOf(int fd)
{
#ifdef _WIN32
    struct _stat64 info { };
    return ::_fstat64(fd, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
#else
    struct stat info { };
    return ::fstat(fd, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
#endif
}

// Opens the regular file `name` for reading; -1 for anything else, a symlink included.
int openRegular(int folderFd, const std::filesystem::path &folder, Name name)
{
    const int fd = openRead(folderFd, folder, name);
#ifndef _WIN32
    struct stat info { };
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd);
        return -1;
    }
#endif
    return fd;
}

} // namespace

PartFile::~PartFile()
{
    discard();
}

bool PartFile::create(const std::filesystem::path &target, bool compareWithTarget, int folderFd)
{
    discard();
    m_error = 0;
    m_target = target;
    m_folder = target.parent_path();
    if (m_folder.empty())
        m_folder = ".";
#ifndef _WIN32
    m_folderFd = folderFd;
    if (m_folderFd < 0) {
        m_folderFd = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_folderFd < 0) {
            fail(lastError());
            return false;
        }
        m_ownsFolder = true;
    }
#else
    (void)folderFd;
#endif
    const std::string name = utf8FromPath(target.filename());
    if (compareWithTarget) {
        m_comparedFd = openRegular(m_folderFd, m_folder, nameOf(name));
        m_matches = m_comparedFd >= 0;
        m_comparedSize = m_matches ? sizeOf(m_comparedFd) : 0;
        m_comparedBytes = 0;
    }
    if (!createAnonymous() && !createNamed()) {
        closeFolder();
        return false;
    }
    m_writing = true;
    return true;
}

bool PartFile::createAnonymous()
{
#if defined(O_TMPFILE) && !defined(_WIN32)
    // A file without a name until linkat gives it one: a killed run or a power cut leaves
    // nothing behind. Not every file system can (FAT, many network file systems): then false.
    if (!anonymousAllowed || (emptyPathLinks != 1 && !procMounted()))
        return false;
    m_fd = ::openat(m_folderFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    m_anonymous = m_fd >= 0;
    return m_anonymous;
#else
    return false;
#endif
}

bool PartFile::createNamed()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = hiddenName(m_target);
        errno = 0;
        m_fd = createExclusive(m_folderFd, m_folder, nameOf(name));
        if (m_fd >= 0) {
            m_tempName = std::move(name);
#ifndef _WIN32
            ::flock(m_fd, LOCK_EX | LOCK_NB); // held until closed: a sweep spares the file
#endif
            return true;
        }
        if (errno != EEXIST) {
            fail(lastError());
            return false;
        }
    }
    fail(EEXIST);
    return false;
}

bool PartFile::linkHidden()
{
#ifndef _WIN32
    // The lock covers the hidden name until the rename: a sweep of another run spares it.
    ::flock(m_fd, LOCK_EX | LOCK_NB);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = hiddenName(m_target);
        const int error = linkAnonymous(m_fd, m_folderFd, name.c_str());
        if (error == 0) {
            m_tempName = std::move(name);
            return true;
        }
        if (error != EEXIST) {
            fail(error);
            return false;
        }
    }
#endif
    fail(EEXIST);
    return false;
}

void PartFile::fail(int error)
{
    if (m_error == 0)
        m_error = error != 0 ? error : EIO;
}

bool PartFile::write(const void *data, std::size_t size)
{
    if (!m_writing) {
        fail(EBADF);
        return false;
    }
    if (m_error != 0)
        return false;
    if (size == 0)
        return true;
    if (m_matches)
        compareNext(data, size);
    const char *bytes = static_cast<const char *>(data);
    if (m_buffered + size > bufferSize) {
        if (!flushBuffer())
            return false;
        if (size >= bufferSize)
            return writeAll(bytes, size); // large blocks go straight to the file
    }
    if (!m_buffer)
        m_buffer.reset(new char[bufferSize]);
    std::memcpy(m_buffer.get() + m_buffered, bytes, size);
    m_buffered += size;
    return true;
}

bool PartFile::flushBuffer()
{
    const std::size_t size = m_buffered;
    m_buffered = 0;
    return size == 0 || writeAll(m_buffer.get(), size);
}

bool PartFile::writeAll(const char *data, std::size_t size)
{
    if (m_error != 0)
        return false;
    while (size > 0) {
        errno = 0;
        const auto n = writeSome(m_fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            fail(n == 0 ? ENOSPC : lastError());
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void PartFile::setModificationTime(std::int64_t seconds, long nanoseconds)
{
    m_hasTime = true;
    m_seconds = seconds;
    m_nanoseconds = nanoseconds;
}

void PartFile::compareNext(const void *data, std::size_t size)
{
    static constexpr std::size_t chunk = 64 * 1024;
    char buffer[chunk];
    const char *bytes = static_cast<const char *>(data);
    if (m_comparedBytes + size > m_comparedSize) {
        stopComparing(); // longer than the target
        return;
    }
    while (size > 0 && m_matches) {
        const std::size_t n = std::min(size, chunk);
        if (readSome(m_comparedFd, buffer, n) != n || std::memcmp(buffer, bytes, n) != 0)
            stopComparing();
        bytes += n;
        size -= n;
        m_comparedBytes += n;
    }
}

void PartFile::stopComparing()
{
    m_matches = false;
    if (m_comparedFd >= 0) {
        closeFd(m_comparedFd);
        m_comparedFd = -1;
    }
}

bool PartFile::matchesTarget() const
{
    return m_matches && !m_writing && m_error == 0;
}

bool PartFile::sameContentAs(const std::filesystem::path &other) const
{
    if (m_writing || (m_fd < 0 && m_tempName.empty()))
        return false;
    const int theirs = openRegular(m_folderFd, m_folder, nameOf(utf8FromPath(other.filename())));
    if (theirs < 0)
        return false;
    const int mine = m_fd >= 0 ? m_fd : openRegular(m_folderFd, m_folder, nameOf(m_tempName));
    bool same = false;
    if (mine >= 0) {
        const std::uint64_t size = sizeOf(mine);
        same = size == sizeOf(theirs);
        static constexpr std::size_t chunk = 64 * 1024;
        std::unique_ptr<char[]> left(new char[chunk]);
        std::unique_ptr<char[]> right(new char[chunk]);
        for (std::uint64_t at = 0; same && at < size; at += chunk) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk, size - at));
            same = readAt(mine, at, left.get(), n) && readAt(theirs, at, right.get(), n)
                && std::memcmp(left.get(), right.get(), n) == 0;
        }
        if (mine != m_fd)
            closeFd(mine);
    }
    closeFd(theirs);
    return same;
}

bool PartFile::close()
{
    if (m_fd < 0 && m_tempName.empty()) {
        fail(EBADF);
        return false;
    }
    return finishWriting();
}

bool PartFile::finishWriting()
{
    if (m_comparedFd >= 0) {
        // The target must end where the new bytes end.
        if (m_matches && m_comparedBytes != m_comparedSize)
            m_matches = false;
        closeFd(m_comparedFd);
        m_comparedFd = -1;
    }
    if (!m_writing)
        return m_error == 0;
    m_writing = false;
    flushBuffer();
    m_buffer.reset();
#ifndef _WIN32
    // Set on the descriptor before the file gets its name; an unchanged rerun's copy goes.
    if (m_hasTime && !m_matches && m_error == 0) {
        const struct timespec times[2] = { { static_cast<time_t>(m_seconds), m_nanoseconds },
            { static_cast<time_t>(m_seconds), m_nanoseconds } };
        ::futimens(m_fd, times);
    }
#endif
    if (!m_anonymous) {
        errno = 0;
#ifdef _WIN32
        const bool closed = ::_close(m_fd) == 0;
#else
        // A copy of the descriptor keeps the lock until the file has its name or is gone: the
        // attachment's old modification time, set above, would otherwise let another process's
        // sweep take the file for a killed run's.
        m_lockFd = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
        const bool closed = ::close(m_fd) == 0;
#endif
        m_fd = -1;
        if (!closed)
            fail(lastError());
    }
    return m_error == 0;
}

bool PartFile::commit(Replace replace)
{
    return commitAs(m_target, replace);
}

bool PartFile::commitAs(const std::filesystem::path &target, Replace replace)
{
    if (m_error == EEXIST && !m_writing && (m_fd >= 0 || !m_tempName.empty()))
        m_error = 0; // an earlier commitAs found its name taken
    if (m_fd < 0 && m_tempName.empty()) {
        fail(EBADF);
        return false;
    }
    if (!finishWriting()) {
        discard();
        return false;
    }
    const std::string name = utf8FromPath(target.filename());
    if (m_anonymous && m_tempName.empty()) {
        if (!commitAnonymous(name, replace))
            return false;
    } else {
        const int error = replace == Replace::Never
            ? renameWithoutReplacing(m_folderFd, m_folder, nameOf(m_tempName), nameOf(name))
            : renameAt(m_folderFd, m_folder, nameOf(m_tempName), nameOf(name));
        if (error == EEXIST && replace == Replace::Never) {
            m_error = EEXIST; // the temporary file stays for another name
            return false;
        }
        if (error != 0) {
            m_error = error;
            discard();
            return false;
        }
    }
#ifdef _WIN32
    if (m_hasTime) {
        using namespace std::chrono;
        const sys_time<nanoseconds> when { seconds(m_seconds) + nanoseconds(m_nanoseconds) };
        std::error_code ignored;
        std::filesystem::last_write_time(
            m_folder / pathFromUtf8(name), file_clock::from_sys(when), ignored);
    }
#endif
    if (m_fd >= 0)
        closeFd(m_fd);
    m_fd = -1;
    releaseLock();
    m_anonymous = false;
    m_tempName.clear();
    m_target = m_folder / pathFromUtf8(name);
    closeFolder();
    return true;
}

bool PartFile::commitAnonymous(const std::string &name, Replace replace)
{
#ifdef _WIN32
    (void)name;
    (void)replace;
    fail(ENOTSUP);
    return false;
#else
    if (replace == Replace::Never) {
        // linkat never replaces: EEXIST when the name is taken, in one step.
        const int error = linkAnonymous(m_fd, m_folderFd, name.c_str());
        if (error != 0) {
            m_error = error;
            if (error != EEXIST)
                discard();
            return false;
        }
        return true;
    }
    // A hidden name first, then the rename over the target, which is atomic.
    if (!linkHidden()) {
        discard();
        return false;
    }
    if (::renameat(m_folderFd, m_tempName.c_str(), m_folderFd, name.c_str()) != 0) {
        m_error = lastError();
        discard();
        return false;
    }
    m_tempName.clear();
    return true;
#endif
}

void PartFile::discard()
{
    stopComparing();
    m_writing = false;
    m_buffered = 0;
    m_buffer.reset();
    if (m_fd >= 0) {
        closeFd(m_fd); // an anonymous file's data goes with its last descriptor
        m_fd = -1;
    }
    if (!m_tempName.empty()) {
        removeAt(m_folderFd, m_folder, nameOf(m_tempName));
        m_tempName.clear();
    }
    releaseLock();
    m_anonymous = false;
    m_hasTime = false;
    closeFolder();
}

void PartFile::releaseLock()
{
    if (m_lockFd >= 0)
        closeFd(m_lockFd);
    m_lockFd = -1;
}

void PartFile::closeFolder()
{
#ifndef _WIN32
    if (m_ownsFolder && m_folderFd >= 0)
        ::close(m_folderFd);
#endif
    m_folderFd = -1;
    m_ownsFolder = false;
}

int PartFile::errorNumber() const
{
    return m_error;
}

std::string PartFile::errorText() const
{
    return std::error_code(m_error, std::generic_category()).message();
}

bool PartFile::targetExists(const std::filesystem::path &target, int folderFd)
{
#ifndef _WIN32
    if (folderFd >= 0) {
        struct stat info { };
        return ::fstatat(folderFd, target.filename().c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    }
#else
    (void)folderFd;
#endif
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(target, error));
}

void PartFile::removeStaleParts(const std::filesystem::path &folder)
{
#ifndef _WIN32
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        removeStaleParts(fd);
        ::close(fd);
    }
#else
    // Files last modified before this belong to no write of this process.
    static const auto processStart = std::filesystem::file_time_type::clock::now();
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
        std::filesystem::remove(path, entryError); // Windows refuses while the file is open
    }
#endif
}

void PartFile::removeStaleParts(int folderFd)
{
#ifndef _WIN32
    const int listed = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0); // closedir closes its own
    DIR *entries = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (entries == nullptr) {
        if (listed >= 0)
            ::close(listed);
        return;
    }
    ::rewinddir(entries); // the copy shares its position with `folderFd`
    while (const struct dirent *entry = ::readdir(entries)) {
        const char *name = entry->d_name;
        if (!isPartName(name))
            continue;
        struct stat named { };
        if (::fstatat(folderFd, name, &named, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(named.st_mode)
            || !before(named.st_mtim, processStart))
            continue;
        // A write in progress holds the lock; taking it here means no one does.
        const int fd = ::openat(folderFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened { };
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0
            && ::fstatat(folderFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0
            && opened.st_ino == named.st_ino && opened.st_dev == named.st_dev)
            ::unlinkat(folderFd, name, 0);
        ::close(fd);
    }
    ::closedir(entries);
#else
    (void)folderFd;
#endif
}

void PartFile::allowAnonymous(bool allowed)
{
    anonymousAllowed = allowed;
}

} // namespace quenlith
