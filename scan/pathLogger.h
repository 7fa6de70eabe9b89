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
// Such a subfolder keeps the pathNames entry it got when its parent listed it (its name was
// seen) and simply adds no subfolders and no files. Files are regular files after following
// links; broken links, pipes, sockets and devices are not recorded.
//
// Calling order: PathLogInit, optionally setFullFileNamesOnly, LogPath once, read the lists and
// Count, Terminate. A second LogPath without PathLogInit fails with Error(DuplicateKey) at its
// first append; LogPath before any PathLogInit (or after Terminate) throws Error(91).
// Counters are 32-bit; passing 2,147,483,647 throws Error(Overflow).
class pathLogger {
public:
    using StringList = KeyedList<std::string>;
    using IntList = KeyedList<int>;
    using YieldHook = std::function<void()>;

    // `yieldHook` runs at every point where a window would let pending events run; may be empty.
    explicit pathLogger(YieldHook yieldHook = {});
    ~pathLogger();

    // Creates a new file-system service, sets fullFileNamesOnly to true and drops the four
    // lists (holders keep theirs). Count is not changed.
    void PathLogInit();
    // Walks the tree under `strPARENT` (UTF-8; a trailing separator is optional). A root that is
    // not an existing folder is no error: nothing is recorded and Count keeps its value.
    void LogPath(const std::string &strPARENT);
    // After a scan of an existing root: one more than the number of files recorded. 0 on a new
    // instance, and after scans that found no root.
    int Count() const;
    // Drops the service and the lists; Count, fullFileNamesOnly and skippedFolders stay.
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
    void skip(const std::string &folder, const std::string &reason);

    struct Walk;
    // Whether the walk enters the queued folder at `cursor`: false when it was met before under
    // another path, or its identity cannot be told (then it is skipped).
    bool isNewFolder(Walk &walk, int cursor);
    // What `list` lists of `folder`; nothing when it is not readable, or when listing fails (then
    // the folder is skipped and no longer readable).
    std::vector<std::string> listed(const std::string &folder,
        bool &readable,
        const std::function<std::vector<std::string>()> &list);
    void queueSubFolders(
        Walk &walk, const std::string &folder, const std::vector<std::string> &subFolders);
    void recordFiles(Walk &walk, int cursor, const std::vector<std::string> &files);

    YieldHook m_yieldHook;
    std::function<std::unique_ptr<FileSystemService>()> m_fileSystemFactory;
    // Shared so that a scan keeps its service and lists alive when a handler run from the yield
    // hook calls Terminate or PathLogInit in the middle of it.
    std::shared_ptr<FileSystemService> fileSystem;
    int fileCounter = 0;
    std::shared_ptr<StringList> m_fileNames;
    std::shared_ptr<IntList> m_pathPointers;
    std::shared_ptr<StringList> m_pathNames;
    std::shared_ptr<StringList> m_fullFileNames;
    bool m_fullFileNamesOnly = false;
    std::vector<SkippedFolder> m_skippedFolders;
};

} // namespace quenlith
