#pragma once

#include "cli/CommandLine.h"
#include "extract/DocumentExtraction.h"
#include "util/RecordSpool.h"

#include <ostream>
#include <string>
#include <vector>

namespace quenlith::cli {

// What list found out about one document.
struct ListedDocument {
    std::string path;
    OpenStatus openStatus = OpenStatus::NotOpened; // NotOpened: not looked at (interrupted)
    std::string reason; // why it did not open, or why its listing is incomplete
    std::vector<Attachment> attachments;
    InvoiceInfo invoice;
    bool repaired = false; // see Document::repaired
    bool listingComplete = true; // see Document::listingComplete; false is a failure
    std::vector<std::string> warnings; // Document::warnings, the first maxWarnings of them
};

// `quenlith-cli list`: opens every document, counts its attachments and reads their names and
// declared properties (no attachment data), on parallel workers, and prints the results in the
// input order to `out`. Returns the exit status: 0, 1 when a document did not open, could not be
// listed completely or a folder was skipped, 130 when interrupted. A repaired document has not
// failed.
int runList(const CommandLine &commandLine, const RecordSpool &paths, std::ostream &out);

} // namespace quenlith::cli
