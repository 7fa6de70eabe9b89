#pragma once

#include <set>
#include <string>

namespace quenlith {

// Turns an attachment's stored name (untrusted, UTF-8) into a file name that is safe to create
// inside a document folder: its last component after '/' or '\', with control characters,
// invisible marks (bidirectional overrides, zero-width characters), bytes that are not well-formed
// UTF-8 and, on Windows, the characters file names cannot hold replaced by '_', cut at a UTF-8
// character boundary to at most 200 bytes (the extension kept). A name that is then empty, "." or
// ".." becomes "attachment-<index>", keeping the stored name's extension when it has one. The
// result never contains a separator and is never "." or "..".
std::string safeOutputFileName(const std::string &storedName, int index);

// The output names already used while one document is extracted; a repeated name becomes
// "name (2).ext", "name (3).ext", ... so that no attachment overwrites another.
class OutputNameSet {
public:
    // Returns the name to write under and records it as used.
    std::string claim(const std::string &safeName);

private:
    std::set<std::string> m_used;
};

// The form in which two names are compared for clashes on this platform's file systems: folded
// to small letters where they ignore case by default (Windows, macOS), unchanged elsewhere.
std::string fileSystemComparable(const std::string &name);

// "name.ext" with " (n)" inserted before the extension: "name (n).ext".
std::string numberedName(const std::string &name, int n);

} // namespace quenlith
