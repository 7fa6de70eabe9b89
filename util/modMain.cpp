#include "util/modMain.h"

#include "util/FsPath.h"

#include <filesystem>
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

} // namespace quenlith
