#pragma once

#include "cli/CommandLine.h"
#include "extract/DocumentExtraction.h"
#include "util/RecordSpool.h"

#include <ostream>
#include <string>

namespace quenlith::cli {

// `quenlith-cli extract`: writes every attachment of every document into that document's own
// folder inside the output folder, on parallel workers, and prints the results in the input
// order to `out`. Document folders are assigned from the set of all paths before any worker
// starts, so that the layout depends neither on the order of the paths nor on the job count;
// files already in them are treated as --existing says. Returns the exit status: 0, 1 when
// anything failed, 130 when interrupted.
int runExtract(
    const CommandLine &commandLine, const RecordSpool &paths, std::ostream &out, std::ostream &err);

} // namespace quenlith::cli
