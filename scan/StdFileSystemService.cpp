#include "scan/StdFileSystemService.h"

#include "util/Error.h"
#include "util/FsPath.h"

#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <cerrno>
#include <sys/stat.h>
#endif

namespace quenlith {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void throwFolderError(const std::error_code &error)
{
    int number = ErrorNumber::FileSystem;
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted)
        number = ErrorNumber::PermissionDenied;
    else if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory)
        number = ErrorNumber::PathNotFound;
    throw Error(number, error.message());
}

enum class EntryKind { Folder, File };

// Folders are entries that are folders after following links; files are regular files after
// following links. Broken links, devices, pipes and sockets are neither: a pipe named "x.pdf"
// would block whoever opens it.
std::vector<std::string> entriesOfKind(const std::string &folder, EntryKind kind)
{
    std::error_code error;
    fs::directory_iterator it(pathFromUtf8(folder), error);
    if (error)
        throwFolderError(error);
    std::vector<std::string> names;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error)
            throwFolderError(error);
        // The entry's type comes from the listing itself where the platform gives it; only
        // links cost a stat.
        std::error_code typeError;
        const bool wanted = kind == EntryKind::Folder ? it->is_directory(typeError)
                                                      : it->is_regular_file(typeError);
        if (!typeError && wanted)
            names.push_back(utf8FromPath(it->path().filename()));
    }
    if (error)
        throwFolderError(error);
    return names;
}

} // namespace

bool StdFileSystemService::folderExists(const std::string &path)
{
    if (path.empty())
        return false;
    std::error_code error;
    return fs::is_directory(pathFromUtf8(path), error);
}

std::vector<std::string> StdFileSystemService::subFolderNames(const std::string &folder)
{
    return entriesOfKind(folder, EntryKind::Folder);
}

std::vector<std::string> StdFileSystemService::fileNames(const std::string &folder)
{
    return entriesOfKind(folder, EntryKind::File);
}

std::string StdFileSystemService::folderIdentity(const std::string &folder)
{
#ifdef _WIN32
    std::error_code error;
    const fs::path canonical = fs::canonical(pathFromUtf8(folder), error);
    if (error)
        throwFolderError(error);
    return utf8FromPath(canonical);
#else
    struct stat info { };
    if (::stat(folder.c_str(), &info) != 0)
        throwFolderError(std::error_code(errno, std::generic_category()));
    return std::to_string(static_cast<unsigned long long>(info.st_dev)) + ":"
        + std::to_string(static_cast<unsigned long long>(info.st_ino));
#endif
}

} // namespace quenlith
