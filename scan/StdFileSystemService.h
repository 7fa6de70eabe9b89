#pragma once

#include "scan/FileSystemService.h"

namespace quenlith {

// The file-system service on std::filesystem.
class StdFileSystemService : public FileSystemService {
public:
    bool folderExists(const std::string &path) override;
    std::vector<std::string> subFolderNames(const std::string &folder) override;
    std::vector<std::string> fileNames(const std::string &folder) override;
    std::string folderIdentity(const std::string &folder) override;
};

} // namespace quenlith
