#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quenlith {

// An open folder: a descriptor where the system has them, else none. What is made below it is
// made through it, so that a folder swapped for a symbolic link after it was opened is never
// followed. Move-only.
class FolderHandle {
public:
    FolderHandle() = default;
    explicit FolderHandle(int fd)
        : m_fd(fd)
    {
    }
    ~FolderHandle();
    FolderHandle(FolderHandle &&other) noexcept;
    FolderHandle &operator=(FolderHandle &&other) noexcept;
    FolderHandle(const FolderHandle &) = delete;
    FolderHandle &operator=(const FolderHandle &) = delete;

    int fd() const
    {
        return m_fd;
    }
    void reset();

    // Another descriptor of the same folder; none when this has none or the system refuses.
    FolderHandle duplicate() const;
    // The folder at `path`, links followed: for a folder the user named, e.g. the output folder.
    static FolderHandle open(const std::string &path);
    // The folder that `levels` (names outermost first) lead to from the open folder `folder`,
    // no level followed through a symbolic link; none when a level is not a folder.
    static FolderHandle openBelow(int folder, const std::vector<std::string> &levels);

private:
    int m_fd = -1;
};

// A folder the user named (the output folder), opened once for a run, so that what is made in
// it is made through that one descriptor even if the name is given to another folder meanwhile.
struct OpenedFolder {
    std::string path; // as given; a trailing separator is optional
    FolderHandle handle;

    static OpenedFolder open(const std::string &path)
    {
        return { path, FolderHandle::open(path) };
    }
    // `folder` lies directly in this folder, by the names' elements.
    bool holds(const std::string &folder) const;
};

// The folder a document's attachments go into, as found or made on disk.
struct DocumentFolderChoice {
    std::string folder; // ends in a separator; empty when `failure` says why there is none
    // Why the document went into a numbered folder instead of the one assigned to it, in plain
    // words; empty when the assigned one was used.
    std::string note;
    std::string failure; // why no folder could be had; nothing may be written then
    FolderHandle handle; // the folder, opened
    bool created = false; // made by this call, so it holds nothing of an earlier run
};

// Makes the document folder `documentFolder` (a trailing separator is optional), or reuses it
// when it is already a folder, creating the folders above it when they are missing. The folder
// is reached without following a symbolic link at its own name: a symbolic link there, or a
// file of that name, is a clash like a name met twice, and the document gets the first of
// "name (2)", "name (3)", ... that is a real folder or can be made one, with `note` saying why.
// The folders above it (the output folder the user chose) are taken as they are; when `parent`
// is given, is open and holds the document folder, the folder is made through it, else the folder
// above is opened by its name.
DocumentFolderChoice openDocumentFolder(
    const std::string &documentFolder, const OpenedFolder *parent = nullptr);

// A folder made or found inside a document folder.
struct SubFolderChoice {
    std::string name; // the name it has; empty when `failure` says why there is none
    // What was in the way of the first name tried, e.g. "is a symbolic link"; empty when that
    // name was used.
    std::string clash;
    std::string failure;
    FolderHandle handle; // the folder, opened
    bool created = false; // made by this call
};

// Makes the folder `name` (already safe, see safeOutputFolderName) inside the folder at
// `parentFolder` (ends in a separator), opened as `parentFd` where the system has folder
// descriptors, or reuses it when it is already a folder. It is reached without following a
// symbolic link. A symbolic link or a file at the name, or a name `taken` says this run has
// given to something else in that folder, moves on to "name (2)", "name (3)", ... as
// openDocumentFolder does.
SubFolderChoice openSubFolder(const std::string &parentFolder,
    int parentFd,
    const std::string &name,
    const std::function<bool(const std::string &)> &taken);

} // namespace quenlith
