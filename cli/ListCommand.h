#pragma once

#include "cli/CommandLine.h"
#include "extract/pdf/PdfLibrary.h"

#include <ostream>
#include <string>
#include <vector>

namespace quenlith::cli {

// What list found out about one document.
struct ListedDocument {
    std::string path;
    int openStatus = 0; // an OpenStatus as int; 0 when not looked at (interrupted)
    // Why it did not open; for an opened document, why its list may be incomplete.
    std::string reason;
    std::vector<Attachment> attachments;
    InvoiceInfo invoice;
};

// `quenlith-cli list`: opens every document, counts its attachments and reads their names and
// declared properties (no attachment data), on parallel workers, and prints the results in the
// input order to `out`. Returns the exit status: 0, 1 when a document did not open or a folder
// was skipped, 130 when interrupted.
int runList(const CommandLine &commandLine, std::ostream &out);

} // namespace quenlith::cli
