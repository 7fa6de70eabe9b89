#pragma once

#include "extract/DocumentExtraction.h"

#include <cstddef>
#include <vector>

namespace quenlith {

struct NestedLimits {
    int maxDepth = 8; // an attachment of a listed document is at depth 1
    std::size_t maxDocuments = 1000; // per listed document, so that wide trees end too
};

// For each attachment of `parent` that is on disk and is itself a PDF document, extracts its
// attachments into "<attachment file>.attachments/" beside it, and theirs in turn, depth first,
// with `options` (the SHA-256 of every file is recorded, to know bytes met before). They all
// share what is left of the size budget of `parent` (options.maxDocumentSize). Returns
// those documents in that order, each with nestedIn naming the document it is attached to. A
// document whose bytes were met before in this tree (a loop), or that lies past the limits, is
// returned unsearched with a note saying why. Stops when `observer` asks to.
std::vector<DocumentResult> extractNestedDocuments(const DocumentResult &parent,
    ExtractionObserver &observer,
    const ExtractionOptions &options,
    const NestedLimits &limits = {});

} // namespace quenlith
