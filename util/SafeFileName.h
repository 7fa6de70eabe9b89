#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>

namespace quenlith {

// Turns an attachment's stored name (untrusted, UTF-8) into a file name that is safe to create
// inside a document folder: its last component after '/' or '\', with control characters,
// invisible marks (bidirectional overrides, zero-width characters), bytes that are not well-formed
// UTF-8 and, on Windows, the characters file names cannot hold replaced by '_', cut at a UTF-8
// character boundary to at most 200 bytes (the extension kept). A name that is then empty, "." or
// ".." becomes "attachment-<index>", keeping the stored name's extension when it has one. The
// result never contains a separator and is never "." or "..".
std::string safeOutputFileName(const std::string &storedName, int index);

// A folder's stored name made safe the same way; one that is then empty, "." or "..", or holds
// only dots and blanks, becomes "_".
std::string safeOutputFolderName(const std::string &storedName);

// The output names already used in one folder during a run; a repeated name becomes
// "name (2).ext", "name (3).ext", ... so that no attachment overwrites another. Each base name
// remembers the next number to try, so that many equal names cost linear time in all.
class OutputNameSet {
public:
    // `foldCase`: names that differ only in ASCII case clash (the folder's file system ignores
    // case).
    explicit OutputNameSet(bool foldCase = caseInsensitiveByDefault);

    // Returns the name to write under and records it as used.
    std::string claim(const std::string &safeName);
    // Records `name` as used.
    void reserve(const std::string &name);
    bool isUsed(const std::string &name) const;

#if defined(_WIN32) || defined(__APPLE__)
    static constexpr bool caseInsensitiveByDefault = true;
#else
    static constexpr bool caseInsensitiveByDefault = false;
#endif

private:
    std::string comparable(const std::string &name) const;
    // The next numbered form of `safeName` ("name (n).ext", n >= 2) that is not used yet.
    std::string nextAlternative(const std::string &safeName);

    bool m_foldCase;
    std::unordered_set<std::string> m_used;
    std::unordered_map<std::string, int> m_nextNumber; // comparable base name -> next n
};

// `name` with ASCII capitals folded to small letters.
std::string foldedCase(const std::string &name);

// "name.ext" with " (n)" inserted before the extension: "name (n).ext".
std::string numberedName(const std::string &name, int n);

} // namespace quenlith
