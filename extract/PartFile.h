#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>

namespace quenlith {

// A file written under a unique temporary name beside its target and renamed onto the target
// only when complete, so that a failed write never leaves half a file nor harms what was at the
// target before. Destroyed without commit(), it removes its temporary file.
class PartFile {
public:
    PartFile() = default;
    ~PartFile();
    PartFile(const PartFile &) = delete;
    PartFile &operator=(const PartFile &) = delete;

    // Creates ".<target name>.quenlith-XXXXXX.part" in the target's folder, never reusing an
    // existing file. False on failure, with errorNumber() set.
    bool create(const std::filesystem::path &target);

    // Appends bytes; false on failure (the first failure's errno stays in errorNumber()).
    bool write(const void *data, std::size_t size);

    // Flushes and closes the temporary file, then renames it onto the target. False on failure;
    // the temporary file is then removed.
    bool commit();

    // Removes the temporary file; harmless when there is none.
    void discard();

    // errno of the first failure (ENOSPC for a full disk), 0 when none.
    int errorNumber() const;
    // The failure in plain words, e.g. "No space left on device".
    std::string errorText() const;

    const std::filesystem::path &tempPath() const;

private:
    bool closeFile();

    std::filesystem::path m_target;
    std::filesystem::path m_temp;
    std::FILE *m_file = nullptr;
    int m_error = 0;
};

} // namespace quenlith
