#include "extract/output/OutputFolder.h"

#include "util/FsPath.h"
#include "util/registry.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quenlith {

namespace {

enum class Attempt { Folder, Clash, Failed };

struct AttemptResult {
    Attempt kind = Attempt::Failed;
    std::string why; // for a clash: what is in the way; for a failure: the error
    FolderHandle handle; // for a folder: opened
    bool created = false; // for a folder: made now
};

std::string errorText(int error)
{
    return std::error_code(error, std::generic_category()).message();
}

#ifndef _WIN32
// A folder made or found at `name` in the open folder `parent`, reached without following a
// symbolic link, so that nothing written below it can land elsewhere.
AttemptResult tryFolder(int parent, const std::string &name)
{
    const bool created = ::mkdirat(parent, name.c_str(), 0777) == 0;
    if (!created && errno != EEXIST)
        return { Attempt::Failed, errorText(errno), {}, false };
    const int fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0)
        return { Attempt::Folder, {}, FolderHandle(fd), created };
    const int openError = errno;
    struct stat info { };
    if (::fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(info.st_mode))
            return { Attempt::Clash, "is a symbolic link", {}, false };
        if (!S_ISDIR(info.st_mode))
            return { Attempt::Clash, "is a file", {}, false };
    }
    return { Attempt::Failed, errorText(openError), {}, false };
}
#else
AttemptResult tryFolder(const std::filesystem::path &parent, const std::string &name)
{
    const std::filesystem::path path = parent / pathFromUtf8(name);
    std::error_code error;
    const bool created = std::filesystem::create_directory(path, error);
    std::error_code statusError;
    const auto status = std::filesystem::symlink_status(path, statusError);
    if (std::filesystem::is_symlink(status))
        return { Attempt::Clash, "is a symbolic link", {}, false };
    if (std::filesystem::is_directory(status))
        return { Attempt::Folder, {}, {}, created };
    if (std::filesystem::exists(status))
        return { Attempt::Clash, "is a file", {}, false };
    return {
        Attempt::Failed, error ? error.message() : std::string("it could not be created"), {}, false
    };
}
#endif

// The first of `name`, "name (2)", "name (3)", ... that `attempt` finds or makes a folder and
// `taken` does not refuse.
template <typename TryFolder>
SubFolderChoice firstFreeFolder(const std::string &name,
    const std::function<bool(const std::string &)> &taken,
    const TryFolder &attempt)
{
    SubFolderChoice choice;
    for (int number = 1; number <= 1000; ++number) {
        const std::string candidate
            = number == 1 ? name : name + " (" + std::to_string(number) + ")";
        if (taken && taken(candidate)) {
            if (number == 1)
                choice.clash = "is taken by another file or folder of this document";
            continue;
        }
        AttemptResult result = attempt(candidate);
        if (result.kind == Attempt::Folder) {
            choice.name = candidate;
            choice.handle = std::move(result.handle);
            choice.created = result.created;
            return choice;
        }
        if (result.kind == Attempt::Failed) {
            choice.failure = result.why;
            return choice;
        }
        if (number == 1)
            choice.clash = result.why;
    }
    choice.failure = "every numbered name is taken";
    return choice;
}

} // namespace

FolderHandle::~FolderHandle()
{
    reset();
}

FolderHandle::FolderHandle(FolderHandle &&other) noexcept
    : m_fd(other.m_fd)
{
    other.m_fd = -1;
}

FolderHandle &FolderHandle::operator=(FolderHandle &&other) noexcept
{
    if (this != &other) {
        reset();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

void FolderHandle::reset()
{
#ifndef _WIN32
    if (m_fd >= 0)
        ::close(m_fd);
#endif
    m_fd = -1;
}

FolderHandle FolderHandle::open(const std::string &path)
{
#ifndef _WIN32
    return FolderHandle(::open(pathFromUtf8(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
#else
    (void)path;
    return {};
#endif
}

FolderHandle FolderHandle::duplicate() const
{
#ifndef _WIN32
    return FolderHandle(m_fd >= 0 ? ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0) : -1);
#else
    return {};
#endif
}

FolderHandle FolderHandle::openBelow(int folder, const std::vector<std::string> &levels)
{
#ifndef _WIN32
    FolderHandle at;
    for (const std::string &level : levels) {
        const int next = ::openat(at.fd() >= 0 ? at.fd() : folder,
            level.c_str(),
            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0)
            return {};
        at = FolderHandle(next);
    }
    return levels.empty() ? FolderHandle(::fcntl(folder, F_DUPFD_CLOEXEC, 0)) : std::move(at);
#else
    (void)folder;
    (void)levels;
    return {};
#endif
}

SubFolderChoice openSubFolder(const std::string &parentFolder,
    int parentFd,
    const std::string &name,
    const std::function<bool(const std::string &)> &taken)
{
#ifndef _WIN32
    (void)parentFolder;
    if (parentFd < 0) {
        SubFolderChoice choice;
        choice.failure = errorText(EBADF);
        return choice;
    }
    return firstFreeFolder(name, taken, [parentFd](const std::string &candidate) {
        return tryFolder(parentFd, candidate);
    });
#else
    (void)parentFd;
    const std::filesystem::path parent = pathFromUtf8(parentFolder);
    return firstFreeFolder(name, taken, [&parent](const std::string &candidate) {
        return tryFolder(parent, candidate);
    });
#endif
}

namespace {

std::filesystem::path withoutTrailingSeparator(std::filesystem::path path)
{
    return path.has_filename() ? path : path.parent_path();
}

} // namespace

bool OpenedFolder::holds(const std::string &folder) const
{
    return withoutTrailingSeparator(pathFromUtf8(folder)).parent_path()
        == withoutTrailingSeparator(pathFromUtf8(path));
}

DocumentFolderChoice openDocumentFolder(
    const std::string &documentFolder, const OpenedFolder *parent)
{
    DocumentFolderChoice choice;
    std::filesystem::path path = pathFromUtf8(documentFolder);
    if (!path.has_filename())
        path = path.parent_path(); // the trailing separator
    const std::string name = utf8FromPath(path.filename());
    if (name.empty() || name == "." || name == "..") {
        choice.failure = "cannot create the folder " + documentFolder + ": it has no name";
        return choice;
    }
    std::filesystem::path parentPath = path.parent_path();
    if (parentPath.empty())
        parentPath = ".";
    std::error_code error;
#ifndef _WIN32
    FolderHandle opened;
    int parentFd = -1;
    if (parent != nullptr && parent->handle.fd() >= 0 && parent->holds(documentFolder)) {
        parentFd = parent->handle.fd();
    } else {
        opened = FolderHandle::open(utf8FromPath(parentPath));
        if (opened.fd() < 0 && errno == ENOENT) {
            std::filesystem::create_directories(parentPath, error);
            opened = FolderHandle::open(utf8FromPath(parentPath));
        }
        parentFd = opened.fd();
    }
    if (parentFd < 0) {
        choice.failure = "cannot create the folder " + documentFolder + ": " + errorText(errno);
        return choice;
    }
    const auto attempt
        = [parentFd](const std::string &candidate) { return tryFolder(parentFd, candidate); };
#else
    (void)parent;
    if (!std::filesystem::is_directory(parentPath, error))
        std::filesystem::create_directories(parentPath, error);
    const auto attempt
        = [&parentPath](const std::string &candidate) { return tryFolder(parentPath, candidate); };
#endif
    // The given text up to the folder's own name, so that the folder reads as it was given.
    std::string given = documentFolder;
    while (!given.empty() && (given.back() == '/' || given.back() == preferredSeparator()))
        given.pop_back();
    const std::string prefix = given.substr(0, given.size() - name.size());
    std::string firstClash;
    for (int number = 1; number <= 1000; ++number) {
        const std::string candidate
            = number == 1 ? name : name + " (" + std::to_string(number) + ")";
        AttemptResult result = attempt(candidate);
        if (result.kind == Attempt::Folder) {
            choice.folder = prefix + candidate + preferredSeparator();
            choice.handle = std::move(result.handle);
            choice.created = result.created;
            if (number > 1)
                choice.note = "written into " + candidate + " because " + firstClash;
            break;
        }
        if (result.kind == Attempt::Failed) {
            choice.failure = "cannot create the folder " + prefix + candidate + ": " + result.why;
            break;
        }
        if (firstClash.empty())
            firstClash = name + " " + result.why;
    }
    if (choice.folder.empty() && choice.failure.empty())
        choice.failure
            = "cannot create the folder " + documentFolder + ": every numbered name is taken";
    return choice;
}

} // namespace quenlith
