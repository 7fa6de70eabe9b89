#pragma once

#include "cli/CommandLine.h"
#include "scan/pathLogger.h"

#include <string>
#include <vector>

namespace quenlith::cli {

// The documents named on the command line, in the order given: a PATH that is a folder stands
// for the documents of its tree (in the walk's order), any other PATH for itself. A document
// reached twice (named twice, or named and found in a folder) is kept once, at its first place.
struct DocumentInputs {
    std::vector<std::string> documents;
    std::vector<SkippedFolder> skippedFolders;
};

DocumentInputs collectDocuments(const std::vector<std::string> &paths);

// Drops the documents that lie inside `outputFolder` when it is inside one of the folders among
// `paths`, so that a rerun does not extract the PDF files an earlier run wrote there. Returns
// the folders so skipped, as the walk spelled them.
std::vector<std::string> dropOutputFolder(const std::vector<std::string> &paths,
    const std::string &outputFolder,
    std::vector<std::string> &documents);

// The longest line of --files-from and --password-file, in bytes.
constexpr std::size_t maxInputLine = 4096;

// The PATHs of the command line followed by those read from --files-from (one a line, or
// NUL-separated with -0; empty entries are ignored, every other byte is kept). False, with the
// reason in plain words in `error`, when that file cannot be read or has a line longer than
// maxInputLine.
bool readInputPaths(
    const CommandLine &commandLine, std::vector<std::string> &paths, std::string &error);

// The password of --password-file: the file's first line without its line end. False, with the
// reason in `error`, when the file cannot be read or that line is longer than maxInputLine.
bool readPasswordFile(const std::string &file, std::string &password, std::string &error);

// Whether the document at `path` belongs to shard `shard` (1..shardCount): a fixed 64-bit hash
// of its absolute, normalised path picks the shard, so that runs on any machine with the same
// inputs split them the same way. Always true when shardCount is 0 or 1.
bool inShard(const std::string &path, unsigned shard, unsigned shardCount);

} // namespace quenlith::cli
