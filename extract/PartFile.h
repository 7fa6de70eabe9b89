#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
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
    // without reading the data twice.
    bool create(const std::filesystem::path &target, bool compareWithTarget = false);

    // Appends bytes; false on failure (the first failure's errno stays in errorNumber()).
    bool write(const void *data, std::size_t size);

    // Flushes and closes the temporary file; false on failure. commit() and commitAs() close it
    // themselves.
    bool close();

    // After close(): every byte equals the file that was at the target, and that file has no
    // more bytes. False when no comparison was asked for.
    bool matchesTarget() const;

    // After close(): the file at `other` is a regular file with exactly these bytes.
    bool sameContentAs(const std::filesystem::path &other) const;

    enum class Replace { Existing, Never };
    // Flushes and closes the temporary file, then renames it onto the target. With
    // Replace::Never the rename fails with EEXIST instead of replacing a file that is there,
    // in one atomic step where the file system allows it. False on failure; the temporary file
    // is then removed, except for EEXIST (in errorNumber()), which leaves it for another
    // commitAs().
    bool commit(Replace replace = Replace::Existing);
    // The same, onto `target` (which must lie in the same folder) instead.
    bool commitAs(const std::filesystem::path &target, Replace replace);

    // Removes the temporary file; harmless when there is none.
    void discard();

    // errno of the first failure (ENOSPC for a full disk), 0 when none.
    int errorNumber() const;
    // The failure in plain words, e.g. "No space left on device".
    std::string errorText() const;

    // The temporary file's path while there is one ("/proc/self/fd/N" for an anonymous file).
    const std::filesystem::path &tempPath() const;

    // Removes from `folder` the hidden temporary files of this pattern that a killed run left:
    // those last modified before this process started and that no running write holds (a
    // temporary file is locked while it exists, where the system has flock). Other files and
    // folders, links included, are left alone. Errors are ignored.
    static void removeStaleParts(const std::filesystem::path &folder);

    // Tests only: false makes every PartFile use a named temporary file, as on a file system
    // without anonymous files.
    static void allowAnonymous(bool allowed);

private:
    bool closeFile();
    bool createAnonymous(const std::filesystem::path &folder);
    // A new ".<target name>.quenlith-XXXXXX.part" in `created`: the open file being written, or,
    // for an anonymous one, a name linked to its data.
    bool createNamed(const std::filesystem::path &target, std::filesystem::path &created);
    bool commitAnonymous(const std::filesystem::path &target, Replace replace);
    void compareNext(const void *data, std::size_t size);
    void stopComparing();

    std::filesystem::path m_target;
    std::filesystem::path m_temp; // the temporary name; /proc/self/fd/N for an anonymous file
    int m_anonymousFd = -1; // keeps an anonymous file's data alive until it is linked
    std::FILE *m_file = nullptr;
    std::FILE *m_compared = nullptr; // the target's file while the bytes still match it
    bool m_matches = false;
    int m_error = 0;
};

} // namespace quenlith
