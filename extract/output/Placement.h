#pragma once

#include "extract/output/PartFile.h"
#include "extract/output/WriteRequest.h"

#include <filesystem>
#include <string>

namespace quenlith {

enum class PlaceOutcome { Placed, Skipped, NoFreeName, Failed };

// Moves a complete, closed temporary file to where the request wants it (see ExistingFiles) and
// records where it went in `result`. Failed: the reason is in file.errorNumber().
PlaceOutcome placeFile(PartFile &file,
    const std::filesystem::path &target,
    bool targetExisted,
    const WriteRequest &request,
    PlacedFile &result);

// placeFile with its outcome in `result`: a failure with its reason, or where the file went.
// `result` carries what the writer knows already (bytes, SHA-256).
PlacedFile placeFinishedFile(PartFile &file,
    const std::filesystem::path &target,
    bool targetExisted,
    const WriteRequest &request,
    PlacedFile result);

// A failure: no placement, no path.
PlacedFile failedPlacement(PlacedFile::Failure failure, std::string reason);
// `file` could not be made: "cannot create the file: ...", DiskFull when the disk is.
PlacedFile failedCreation(const PartFile &file);
// Writing or closing `file` failed: "disk full", else "cannot write the file: " and its error,
// or `otherwise` when it has none.
PlacedFile failedWrite(const PartFile &file, const std::string &otherwise);

// Gives the finished file `source` (one this run has just written or found unchanged) a second
// name, request.path, with the same rules as a write of its bytes: a file at the target is
// treated as request.existing says, never replaced under Keep, an equal one is unchanged. Where
// nothing is at the target the new name is a hard link when the file system allows it, else a
// copy through a temporary file, which gets the source's modification time. Returns the write's
// result (bytes, path, placement; no SHA-256), or why it failed. `sourceFolderFd`: the open folder
// `source` lies in, which it is then read through by its file name alone (-1: by its path); the
// target is reached as request.folderFd says.
PlacedFile placeCopy(const std::string &source, int sourceFolderFd, const WriteRequest &request);

} // namespace quenlith
