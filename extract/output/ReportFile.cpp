#include "extract/output/ReportFile.h"

#include "util/FsPath.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quenlith {

namespace {

#ifdef _WIN32
int writeSome(int fd, const char *data, std::size_t size)
{
    return ::_write(fd, data, static_cast<unsigned>(size));
}

int closeFd(int fd)
{
    return ::_close(fd);
}
#else
long writeSome(int fd, const char *data, std::size_t size)
{
    return ::write(fd, data, size);
}

int closeFd(int fd)
{
    return ::close(fd);
}
#endif

// Paths that name devices and descriptors whatever their link points at: a rename there would
// replace the link (/dev/stdout) or fail.
bool isDevicePath(const std::string &path)
{
#ifdef _WIN32
    (void)path;
    return false;
#else
    return path.rfind("/dev/", 0) == 0 || path.rfind("/proc/", 0) == 0;
#endif
}

} // namespace

ReportFile::Target ReportFile::classify(const std::string &path)
{
    if (path == "-")
        return Target::Stream;
#ifdef _WIN32
    std::error_code error;
    const auto status = std::filesystem::status(pathFromUtf8(path), error);
    if (error || !std::filesystem::exists(status))
        return Target::Missing;
    if (std::filesystem::is_directory(status))
        return Target::Folder;
    return std::filesystem::is_regular_file(status) ? Target::Regular : Target::Other;
#else
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0)
        return isDevicePath(path) ? Target::Other : Target::Missing;
    if (S_ISDIR(info.st_mode))
        return Target::Folder;
    if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode))
        return Target::Stream;
    if (S_ISREG(info.st_mode))
        return isDevicePath(path) ? Target::Stream : Target::Regular;
    return Target::Other;
#endif
}

std::string ReportFile::refusal(const std::string &path)
{
    switch (classify(path)) {
    case Target::Folder:
        return "it is a folder";
    case Target::Other:
        return "it is neither a regular file, a FIFO nor a character device";
    default:
        return {};
    }
}

ReportFile::~ReportFile()
{
    if (m_fd >= 0 && m_fd != 1)
        closeFd(m_fd);
}

bool ReportFile::open(const std::string &path, std::string &error)
{
    m_path = path;
    error.clear();
    const Target target = classify(path);
    if (const std::string refused = refusal(path); !refused.empty()) {
        error = "cannot write the report to " + path + ": " + refused;
        return false;
    }
    if (target == Target::Stream) {
#ifdef _WIN32
        m_fd = 1;
#else
        // Appending: standard output behind /dev/stdout may be a file others wrote into.
        m_fd = path == "-" ? 1 : ::open(path.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC);
#endif
        if (m_fd < 0) {
            m_error = errno;
            error = "cannot create " + path + ": " + errorText();
            return false;
        }
        return true;
    }
    const auto file = pathFromUtf8(path);
    if (!file.has_filename() || !m_file.create(file)) {
        error = "cannot create " + path + ": "
            + (file.has_filename() ? m_file.errorText() : std::string("the path names no file"));
        return false;
    }
    return true;
}

bool ReportFile::write(const char *data, std::size_t size)
{
    if (m_fd < 0)
        return m_file.write(data, size);
    while (size > 0 && m_error == 0) {
        const auto written = writeSome(m_fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            m_error = written < 0 ? errno : EIO;
            break;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return m_error == 0;
}

bool ReportFile::commit(std::string &error)
{
    error.clear();
    bool written = m_error == 0;
    if (m_fd < 0) {
        written = m_file.commit();
    } else if (m_fd != 1) {
        // A device reports a failed write as late as its close (NFS, a full FIFO reader).
        if (closeFd(m_fd) != 0 && written) {
            m_error = errno;
            written = false;
        }
        m_fd = -1;
    }
    if (!written)
        error = "cannot write " + m_path + ": " + errorText();
    return written;
}

std::string ReportFile::errorText() const
{
    if (m_error == 0)
        return m_file.errorText();
    return std::strerror(m_error != 0 ? m_error : EIO);
}

} // namespace quenlith
