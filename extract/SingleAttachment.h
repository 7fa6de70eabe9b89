#pragma once

#include "extract/pdf/AttachmentWriter.h"

#include <string>

namespace quenlith {

class Document;

// Where writeSingleAttachment puts one attachment's data. Paths are UTF-8.
struct SingleAttachmentTarget {
    std::string folder; // an existing folder; links in its path are followed, as the user named it
    // The file name in `folder`; empty: the attachment's safe name, as a run names it
    // (safeOutputFileName).
    std::string name;
    ExistingFiles existing = ExistingFiles::Keep;

    // The exact path `path` (a file name after its folder), treated as `existing` says.
    static SingleAttachmentTarget exactPath(const std::string &path, ExistingFiles existing);
};

// Writes the attachment at 1-based `position` of `document` (listed, then unlisted) on its own,
// outside a run, with every rule of a run's write (see write()): decoded through a temporary file
// in target.folder that takes its name only when complete, the size limits, the checks against the
// declared size and checksum, and a file at the target treated as target.existing says (under Keep
// one with other bytes leaves it alone and gives "name (2).ext"). The folder is opened once and the
// file made through it by its name alone, so that a link at the file's name is replaced, never
// written through. CannotCreate when the folder cannot be opened or the name is not a plain file
// name; DecodeFailed ("the document has no attachment N") when there is no such attachment.
WriteResult writeSingleAttachment(const Document &document,
    int position,
    const SingleAttachmentTarget &target,
    const SizeLimits &limits = {},
    const WriteProgress &progress = {});

} // namespace quenlith
