#pragma once

#include <QString>

namespace quenlith {

class RunDetails;

// The failures of a run for the completion message, in the window's language: each kind under
// a counted heading, the first RunDetails::ItemsInText items in all, then how many more the
// details hold; empty when nothing failed. Reasons stay in the words the core gave them.
QString runFailureText(const RunDetails &details);

// The completion message's details: every notable document and attachment, each line under
// its document's path, in the window's language; empty when there is none.
QString runDetailsText(const RunDetails &details);

} // namespace quenlith
