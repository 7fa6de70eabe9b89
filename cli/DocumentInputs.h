#pragma once

#include "cli/CommandLine.h"
#include "extract/DocumentExtraction.h"
#include "scan/pathLogger.h"
#include "util/RecordSpool.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quenlith::cli {

// The documents named on the command line, in the order given: a PATH that is a folder stands
// for the documents of its tree (in the walk's order), any other PATH for itself. A document
// reached twice (named twice, or named and found in a folder) is kept once, at its first place.
// The paths and names wait in temporary files: in memory a run holds 16 bytes per document and,
// while it collects or names them, a CompactStringSet.
class DocumentInputs {
public:
    // Collects the documents of `paths`. With an `outputFolder` inside one of the folders among
    // them, the documents below it are left out, so that a rerun does not extract the PDF files
    // an earlier run wrote there; droppedFolders() tells those folders as the walk spelled them.
    void collect(const RecordSpool &paths, const std::string &outputFolder = {});
    // Gives each document its name from `namer`, in the order of their paths.
    void name(DocumentNamer &namer);
    // Keeps only the documents of shard `shard` of `shardCount` (see inShard).
    void keepShard(unsigned shard, unsigned shardCount);

    std::size_t size() const;
    std::string document(std::size_t index) const;
    // The name that name() gave; empty before.
    std::string nameOf(std::size_t index) const;
    const std::vector<SkippedFolder> &skippedFolders() const;
    const std::vector<std::string> &droppedFolders() const;

private:
    void dropOutputFolder(const std::vector<std::string> &folders, const std::string &outputFolder);

    RecordSpool m_spool; // the documents
    RecordSpool m_nameSpool;
    std::vector<std::uint64_t> m_documents; // their positions in m_spool
    std::vector<std::uint64_t> m_names; // their names in m_nameSpool, once named
    std::vector<SkippedFolder> m_skippedFolders;
    std::vector<std::string> m_droppedFolders;
};

// The longest line of --files-from and --password-file, in bytes.
constexpr std::size_t maxInputLine = 4096;

// Adds the PATHs of the command line to `paths`, then those read from --files-from (one a line,
// or NUL-separated with -0; empty entries are ignored, every other byte is kept). False, with the
// reason in plain words in `error`, when that file cannot be read or has a line longer than
// maxInputLine.
bool readInputPaths(const CommandLine &commandLine, RecordSpool &paths, std::string &error);

// The password of --password-file: the file's first line without its line end. False, with the
// reason in `error`, when the file cannot be read or that line is longer than maxInputLine.
bool readPasswordFile(const std::string &file, std::string &password, std::string &error);

// Whether the document at `path` belongs to shard `shard` (1..shardCount): a fixed 64-bit hash
// of its absolute, normalised path picks the shard, so that runs on any machine with the same
// inputs split them the same way. Always true when shardCount is 0 or 1.
bool inShard(const std::string &path, unsigned shard, unsigned shardCount);

} // namespace quenlith::cli
