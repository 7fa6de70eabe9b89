#pragma once

#include <string>

namespace quenlith {

// Creates every missing folder of the path, from the root down; folders that exist are left
// alone. A trailing separator is optional. True when the whole path is a folder afterwards.
bool EnsureFolderPath(const std::string &folderPath);

} // namespace quenlith
