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

// Whether a file found in a folder walk is taken as a document: its full name, lower-cased and
// without spaces at either end, ends in ".pdf" (so "a.PDF" is, "a.pdf.bak" and "a.pdfx" are not).
bool isDocumentName(const std::string &fullFileName);

} // namespace quenlith::cli
