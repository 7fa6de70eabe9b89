#pragma once

#include "extract/output/PartFile.h"
#include "extract/pdf/PdfLibrary.h"

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
    WriteResult &result);

// Gives the finished file `source` (one this run has just written or found unchanged) a second
// name, request.path, with the same rules as a write of its bytes: a file at the target is
// treated as request.existing says, never replaced under Keep, an equal one is unchanged. Where
// nothing is at the target the new name is a hard link when the file system allows it, else a
// copy through a temporary file, which gets the source's modification time. Returns the write's
// result (bytes, path, placement; no SHA-256); on failure `error` says why in the words of
// PdfLibrary::lastError. `sourceFolderFd`: the open folder `source` lies in, which it is then
// read through by its file name alone (-1: by its path); the target is reached as
// request.folderFd says.
WriteResult placeCopy(
    const std::string &source, int sourceFolderFd, const WriteRequest &request, std::string &error);

} // namespace quenlith
