#pragma once

#include "cli/CommandLine.h"
#include "extract/DocumentExtraction.h"
#include "extract/PdfLibrary.h"

#include <map>
#include <ostream>
#include <string>

namespace quenlith::cli {

// What extract did with one document.
struct ExtractedDocument {
    DocumentResult result; // documentPath and documentFolder always set
    std::map<int, AttachmentInfo> infos; // declared properties by 1-based index
    std::string failure; // why the document was not extracted at all
    bool processed = false; // false when skipped after an interruption
    bool createdFolder = false; // the document folder did not exist before
};

// `quenlith-cli extract`: writes every attachment of every document into that document's own
// folder inside the output folder, on parallel workers, and prints the results in the input
// order to `out`. Document folders are allocated in input order before any worker starts, so
// that two documents never share one and the layout does not depend on the job count. Returns
// the exit status: 0, 1 when anything failed, 130 when interrupted.
int runExtract(const CommandLine &commandLine, std::ostream &out, std::ostream &err);

} // namespace quenlith::cli
