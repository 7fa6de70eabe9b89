#pragma once

#include "extract/output/PartFile.h"

#include <cstddef>
#include <string>

namespace quenlith {

// The file a report goes to. A regular file (or a name that is free) is written through a
// PartFile and replaces what was there only when complete; a FIFO, a character device, a path
// in /dev or /proc and "-" (standard output) are written into as the report comes, never renamed
// over, so that "/dev/null" stays a device and "/dev/stdout" reaches the terminal. Anything else
// (a folder, a socket, a block device) is refused before a byte is written.
class ReportFile {
public:
    enum class Target {
        Missing, // nothing there yet: created
        Regular, // replaced when complete
        Stream, // FIFO, character device, /dev or /proc path, "-": written into
        Folder, // refused
        Other, // socket, block device: refused
    };
    // What is at `path` (UTF-8), symbolic links followed; Missing also when it cannot be looked
    // at (creating the file then tells why).
    static Target classify(const std::string &path);
    // Why a report cannot go to `path`, in plain words ("it is a folder"); empty when it can.
    static std::string refusal(const std::string &path);

    ReportFile() = default;
    ~ReportFile();
    ReportFile(const ReportFile &) = delete;
    ReportFile &operator=(const ReportFile &) = delete;

    // False, with the reason in `error` ("cannot create PATH: ..."), when the report cannot go
    // to `path`.
    bool open(const std::string &path, std::string &error);
    // Appends bytes; false on failure (the first failure stays in errorText()).
    bool write(const char *data, std::size_t size);
    // Puts the report in place (a stream is only closed); false on failure, with the reason in
    // `error` ("cannot write PATH: ..."). Destroyed without commit(), a regular file's report is
    // discarded and what was at the path is kept.
    bool commit(std::string &error);
    // The first failure in plain words, e.g. "No space left on device".
    std::string errorText() const;

private:
    std::string m_path;
    PartFile m_file; // a regular file's report
    int m_fd = -1; // a stream's descriptor
    int m_error = 0; // errno of a stream's first failure
};

} // namespace quenlith
