#pragma once

#include "cli/CommandLine.h"
#include "util/RecordSpool.h"

#include <string>

namespace quenlith::cli {

// Why the reports that `commandLine` asks for (--report, --report-csv) must not be written where
// it says, as one line naming the clash; empty when they may. A report never replaces an input
// (a document, a folder given as input or a PDF file in one, the --files-from or
// --password-file file), the other report, a file inside the output folder (`outputFolder`), a
// folder, or anything that is neither a regular file, a FIFO nor a character device. Files are
// compared by device and inode where they exist, by absolute normalised path otherwise.
// `paths`: the inputs, as readInputPaths gives them.
std::string reportClash(
    const CommandLine &commandLine, const RecordSpool &paths, const std::string &outputFolder);

} // namespace quenlith::cli
