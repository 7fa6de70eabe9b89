#include "util/modMain.h"

#include "util/FsPath.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace quenlith {

bool EnsureFolderPath(const std::string &folderPath)
{
    if (folderPath.empty())
        return false;
    const std::filesystem::path path = pathFromUtf8(folderPath);
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return std::filesystem::is_directory(path, error);
}

bool folderIgnoresCase(const std::string &folderPath)
{
#if defined(_WIN32) || defined(__APPLE__)
    constexpr bool platformDefault = true;
#else
    constexpr bool platformDefault = false;
#endif
    const std::filesystem::path folder = pathFromUtf8(folderPath);
    std::random_device random;
    const std::string tag = std::to_string(random()) + std::to_string(random());
    const std::filesystem::path small = folder / (".quenlith-case-probe-" + tag);
    const std::filesystem::path capitals = folder / (".QUENLITH-CASE-PROBE-" + tag);
    std::error_code error;
    {
        std::ofstream marker(small, std::ios::binary);
        if (!marker)
            return platformDefault;
    }
    const bool ignoresCase = std::filesystem::exists(capitals, error);
    std::filesystem::remove(small, error);
    return ignoresCase;
}

bool createFolderPath(const std::string &folderPath, std::string &reason)
{
    reason.clear();
    if (folderPath.empty()) {
        reason = "no folder given";
        return false;
    }
    std::filesystem::path path = pathFromUtf8(folderPath);
    if (!path.has_filename())
        path = path.parent_path(); // the trailing separator
    std::error_code createError;
    // One call for the usual case, a new folder in an existing one: a folder just made is no
    // symbolic link.
    if (std::filesystem::create_directory(path, createError))
        return true;
    if (createError)
        std::filesystem::create_directories(path, createError);
    std::error_code statusError;
    const auto status = std::filesystem::symlink_status(path, statusError);
    if (std::filesystem::is_symlink(status)) {
        reason = "it is a symbolic link";
        return false;
    }
    if (std::filesystem::is_directory(status))
        return true;
    if (std::filesystem::exists(status))
        reason = "a file of that name is in the way";
    else
        reason = createError ? createError.message() : std::string("it could not be created");
    return false;
}

} // namespace quenlith
