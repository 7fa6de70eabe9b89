#pragma once

#include <string>

namespace quenlith {

// Creates every missing folder of the path, from the root down; folders that exist are left
// alone. A trailing separator is optional. True when the whole path is a folder afterwards.
bool EnsureFolderPath(const std::string &folderPath);

// The same for a folder that files are to be written into: false, with the reason in plain
// words in `reason`, when it cannot be created or when its last component is a symbolic link
// (which could lead the files outside the folder the user chose).
bool createFolderPath(const std::string &folderPath, std::string &reason);

// Whether the file system of the existing folder `folderPath` ignores case (FAT, exFAT, most
// SMB shares, and by default macOS and Windows volumes), found by creating a marker file in
// small letters and looking for it in capitals. When the probe cannot be made, the usual
// behaviour of the platform.
bool folderIgnoresCase(const std::string &folderPath);

} // namespace quenlith
