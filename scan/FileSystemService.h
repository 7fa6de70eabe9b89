#pragma once

#include <string>
#include <vector>

namespace quenlith {

// The four things the folder walk needs of a file system. Names are final path components,
// UTF-8, in the order the platform lists them. Listing failures throw quenlith::Error.
class FileSystemService {
public:
    virtual ~FileSystemService() = default;
    virtual bool folderExists(const std::string &path) = 0;
    virtual std::vector<std::string> subFolderNames(const std::string &folder) = 0;
    virtual std::vector<std::string> fileNames(const std::string &folder) = 0;
    // An identity of the real folder (device and inode, or the canonical path), equal for two
    // paths that reach the same folder through links. Throws quenlith::Error when unreadable.
    virtual std::string folderIdentity(const std::string &folder) = 0;
};

} // namespace quenlith
