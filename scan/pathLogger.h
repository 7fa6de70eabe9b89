#pragma once

#include "scan/KeyedList.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quenlith {

class FileSystemService;

// A folder the walk could not read, with the reason in plain words.
struct SkippedFolder {
    std::string path;
    std::string reason;
};

// Walks a folder tree breadth-first and records every folder it visits and every file it finds
// in keyed lists. It filters nothing. Folder paths end in the platform separator; a full file name
// is its folder path followed by the file name. Symbolic links to folders are followed, but a
// folder already visited (by its real identity) is not entered twice, so the walk always ends.
// A folder that cannot be read is skipped and recorded in skippedFolders(); the walk goes on.
class pathLogger {
public:
    using StringList = KeyedList<std::string>;
    using IntList = KeyedList<int>;
    using YieldHook = std::function<void()>;

    // `yieldHook` runs at every point where a window would let pending events run; may be empty.
    explicit pathLogger(YieldHook yieldHook = {});
    ~pathLogger();

    void PathLogInit();
    void LogPath(const std::string &strPARENT);
    int Count() const;
    void Terminate();

    bool fullFileNamesOnly() const;
    void setFullFileNamesOnly(bool fullPath);

    // The logger's own lists (created when first asked for); they stay valid with their holders
    // after Terminate.
    std::shared_ptr<StringList> fileNames();
    std::shared_ptr<StringList> pathNames();
    std::shared_ptr<IntList> pathPointers();
    std::shared_ptr<StringList> fullFileNames();

    // Folders skipped by the last LogPath, in the order met.
    const std::vector<SkippedFolder> &skippedFolders() const;

    // Replaces the file-system service PathLogInit creates (tests use this).
    void setFileSystemFactory(std::function<std::unique_ptr<FileSystemService>()> factory);

private:
    static std::string AddTrailingBackslash(const std::string &path);
    void yield();
    static int incremented(int value);

    YieldHook m_yieldHook;
    std::function<std::unique_ptr<FileSystemService>()> m_fileSystemFactory;
    std::unique_ptr<FileSystemService> fileSystem;
    int fileCounter = 0;
    std::shared_ptr<StringList> m_fileNames;
    std::shared_ptr<IntList> m_pathPointers;
    std::shared_ptr<StringList> m_pathNames;
    std::shared_ptr<StringList> m_fullFileNames;
    bool m_fullFileNamesOnly = false;
    std::vector<SkippedFolder> m_skippedFolders;
};

} // namespace quenlith
