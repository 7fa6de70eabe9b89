#pragma once

#include "extract/pdf/AttachmentWriter.h"
#include "extract/pdf/Document.h"

#include <string>

namespace quenlith::fixtures {

// The document at `path`, opened with `password`; throws std::runtime_error with the failure's
// text when it does not open, which fails the test that asked.
Document openDocument(
    const std::string &path, const std::string &password = "", const OpenLimits &limits = {});

// Writes attachment `position` (1-based, see Document::at) of `document` to `path`, replacing a
// file there; DecodeFailed with the reason "no attachment N" when there is none.
WriteResult writeAttachment(const Document &document, int position, const std::string &path);

} // namespace quenlith::fixtures
