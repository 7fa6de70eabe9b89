#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace quenlith {

// A file written beside its target and given the target's name only when complete, so that a
// failed write never leaves half a file nor harms what was at the target before. Where the file
// system allows (Linux, O_TMPFILE) the data has no name at all until then, so that even a killed
// process leaves nothing behind; elsewhere it is written under a unique hidden temporary name.
// Destroyed without commit(), it removes its temporary file.
class PartFile {
public:
    PartFile() = default;
    ~PartFile();
    PartFile(const PartFile &) = delete;
    PartFile &operator=(const PartFile &) = delete;

    // Creates the anonymous file, or ".<target name>.quenlith-XXXXXX.part", in the target's
    // folder, never reusing an existing file. False on failure, with errorNumber() set. With
    // `compareWithTarget`, the bytes are compared, as they are written, with the regular file at
    // the target (a symlink is never followed), so that matchesTarget() can tell an unchanged rerun
    // without reading the data twice. `folderFd`, where the system has descriptors for folders: the
    // open folder the target lies in, which every step then goes through by the target's file
    // name alone, so that a folder swapped for a symbolic link meanwhile is never followed. It
    // must stay open until the file is committed or discarded. -1: the target's folder is opened
    // here.
    bool create(
        const std::filesystem::path &target, bool compareWithTarget = false, int folderFd = -1);

    // Appends bytes; false on failure (the first failure's errno stays in errorNumber()). Small
    // writes are gathered in a fixed buffer.
    bool write(const void *data, std::size_t size);

    // The modification time the file gets (seconds since 1970, UTC); call before close(). Errors
    // are ignored: a file system without times still gets the data.
    void setModificationTime(std::int64_t seconds, long nanoseconds = 0);

    // Writes what is buffered and ends the writing; false on failure. commit() and commitAs() do
    // it themselves.
    bool close();

    // After close(): every byte equals the file that was at the target, and that file has no
    // more bytes. False when no comparison was asked for.
    bool matchesTarget() const;

    // After close(): the file at `other` (in the target's folder) is a regular file with exactly
    // these bytes.
    bool sameContentAs(const std::filesystem::path &other) const;

    enum class Replace { Existing, Never };
    // Closes the temporary file, then renames it onto the target. With Replace::Never the
    // rename fails with EEXIST instead of replacing a file that is there, in one atomic step
    // where the file system allows it. False on failure; the temporary file is then removed,
    // except for EEXIST (in errorNumber()), which leaves it for another commitAs().
    bool commit(Replace replace = Replace::Existing);
    // The same, onto `target` (which must lie in the same folder) instead.
    bool commitAs(const std::filesystem::path &target, Replace replace);

    // Removes the temporary file; harmless when there is none.
    void discard();

    // errno of the first failure (ENOSPC for a full disk), 0 when none.
    int errorNumber() const;
    // The failure in plain words, e.g. "No space left on device".
    std::string errorText() const;

    // Whether anything, a symbolic link included, is at `target`; with `folderFd` (see create)
    // looked up by its file name in that folder.
    static bool targetExists(const std::filesystem::path &target, int folderFd = -1);

    // Removes from `folder` the hidden temporary files of this pattern that a killed run left:
    // those last modified before this process started and that no running write holds (a
    // temporary file with a name is locked while it exists, where the system has flock). Other
    // files and folders, links included, are left alone. Errors are ignored.
    static void removeStaleParts(const std::filesystem::path &folder);
    // The same for an open folder, reached through its descriptor.
    static void removeStaleParts(int folderFd);

    // Tests only: false makes every PartFile use a named temporary file, as on a file system
    // without anonymous files.
    static void allowAnonymous(bool allowed);

private:
    bool createAnonymous();
    bool createNamed();
    // Links the anonymous file's data under a new hidden name (for a rename over the target).
    bool linkHidden();
    bool commitAnonymous(const std::string &name, Replace replace);
    bool flushBuffer();
    bool writeAll(const char *data, std::size_t size);
    bool finishWriting();
    void compareNext(const void *data, std::size_t size);
    void stopComparing();
    void fail(int error);
    void closeFolder();
    void releaseLock();

    static constexpr std::size_t bufferSize = 64 * 1024;

    std::filesystem::path m_target;
    std::filesystem::path m_folder; // the target's folder, for the systems without folder fds
    int m_folderFd = -1;
    bool m_ownsFolder = false;
    int m_fd = -1; // the data; an anonymous file's stays open until it has a name
    int m_lockFd = -1; // a named file's lock between its close and its rename
    bool m_anonymous = false;
    bool m_writing = false;
    std::string m_tempName; // the hidden name in the folder while there is one
    std::unique_ptr<char[]> m_buffer; // allocated on the first small write
    std::size_t m_buffered = 0;
    int m_comparedFd = -1; // the target's file while the bytes still match it
    std::uint64_t m_comparedSize = 0;
    std::uint64_t m_comparedBytes = 0;
    bool m_matches = false;
    bool m_hasTime = false;
    std::int64_t m_seconds = 0;
    long m_nanoseconds = 0;
    int m_error = 0;
};

} // namespace quenlith
