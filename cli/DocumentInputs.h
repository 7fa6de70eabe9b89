#pragma once

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

} // namespace quenlith::cli
