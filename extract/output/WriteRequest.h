#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace quenlith {

// What a write does when a file is already at its target path.
enum class ExistingFiles {
    // The file is never touched: when it holds the same bytes the data counts as unchanged,
    // otherwise the data goes under the first free alternative name.
    Keep,
    // Replaced atomically when its bytes differ; left alone (unchanged) when they are equal.
    Overwrite,
    // Left alone without reading the data.
    Skip,
};

// Where a write left its data.
enum class Placement {
    None, // not on disk: the write failed or was skipped
    Created, // at the target, where nothing was before
    Unchanged, // the file at the target (or at an alternative name) already held these bytes
    Overwritten, // at the target, replacing a file with other bytes
    Alternative, // under an alternative name, the target holding other bytes
};

// Where and how a file is to be written.
struct WriteRequest {
    std::string path; // the target, UTF-8
    // The open folder the target lies in (a FolderHandle's descriptor), through which the file is
    // made by its name alone; -1: reached by `path`.
    int folderFd = -1;
    // The folder was just made for this run's files, whose names never clash: nothing can be at
    // the target but what another program puts there meanwhile, which no write ever replaces
    // unless asked to, so it need not be looked for first.
    bool folderIsNew = false;
    ExistingFiles existing = ExistingFiles::Overwrite;
    // For Keep: the next file name to try in the target's folder, asked for once per name that
    // turned out to hold other bytes. Empty: the numbered forms "name (2).ext", "name (3).ext".
    std::function<std::string()> nextAlternative;
    bool sha256 = false; // compute the data's SHA-256
};

// Where a finished file went, or why it went nowhere.
struct PlacedFile {
    enum class Failure {
        None,
        Skipped, // a file is at the target and the request said to leave it
        CannotCreate, // the file or its temporary file cannot be made, written or renamed
        DiskFull,
    };
    Failure failure = Failure::None;
    std::string reason; // in plain words when failed: "skipped: ", "cannot create the file: ", ...
    Placement placement = Placement::None;
    std::string path; // where the data is, UTF-8; empty for Placement::None
    std::uint64_t bytes = 0; // bytes of the data, also when unchanged
    std::string sha256; // 64 lowercase hex digits when asked for and the data was read whole
};

} // namespace quenlith
