#pragma once

#include <string>

namespace quenlith {

// The folder a document's attachments go into, as found or made on disk.
struct DocumentFolderChoice {
    std::string folder; // ends in a separator; empty when `failure` says why there is none
    // Why the document went into a numbered folder instead of the one assigned to it, in plain
    // words; empty when the assigned one was used.
    std::string note;
    std::string failure; // why no folder could be had; nothing may be written then
};

// Makes the document folder `documentFolder` (a trailing separator is optional), or reuses it
// when it is already a folder, creating the folders above it when they are missing. The folder
// is reached without following a symbolic link at its own name: a symbolic link there, or a
// file of that name, is a clash like a name met twice, and the document gets the first of
// "name (2)", "name (3)", ... that is a real folder or can be made one, with `note` saying why.
// The folders above it (the output folder the user chose) are taken as they are.
DocumentFolderChoice openDocumentFolder(const std::string &documentFolder);

} // namespace quenlith
