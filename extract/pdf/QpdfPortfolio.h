#pragma once

#include "extract/pdf/Attachment.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <qpdf/QPDFObjectHandle.hh>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quenlith {

// The folders of a PDF portfolio: the root folder dictionary at /Collection /Folders of the
// catalog (PDF 1.7 extension level 3), each folder with an integer /ID, a /Name, its first
// sub-folder at /Child and its next sibling at /Next. An embedded file belongs to folder N when
// its EmbeddedFiles name-tree key starts with "<N>".
class PortfolioFolders {
public:
    // Folders below this many levels under the root, and past this many folders in all, are
    // left out; real portfolios nest a few levels and hold a few hundred folders.
    static constexpr int maxDepth = maxPortfolioFolderDepth;
    static constexpr std::size_t maxFolders = 100000;

    using Warn = std::function<void(std::string)>;

    // Reads the folder tree of `collection` (the catalog's /Collection; anything else gives no
    // folders) without recursion. A folder met twice (a loop or a shared folder) and a folder whose
    // /ID an earlier one has are left out, with a warning through `warn`; so are the folders past
    // the bounds, with one warning. qpdf may throw for unreadable objects.
    static PortfolioFolders read(QPDFObjectHandle collection, const Warn &warn);

    // Whether the document has a folder tree at all: only then do key prefixes name folders.
    bool hasFolders() const;

    enum class Lookup {
        Found, // `path` is the folder's path: the names below the root down to it (root: empty)
        OutOfBounds, // the folder lies past the bounds (or in a subtree left out): already warned
        Unknown, // no folder has this /ID
    };
    Lookup find(std::int64_t id, std::vector<std::string> &path) const;

private:
    struct Folder {
        std::size_t parent = 0; // index in m_folders; the root is its own parent
        std::string name; // UTF-8
    };
    bool m_hasFolders = false;
    std::vector<Folder> m_folders; // [0] is the root
    std::map<std::int64_t, std::size_t> m_byId;
    std::set<std::int64_t> m_outOfBounds;
};

// Splits a name-tree key "<N>rest" (N: 1 to 18 decimal digits) into N and the rest; false for
// a key without such a prefix.
bool splitFolderKey(std::string_view key, std::int64_t &id, std::string_view &rest);

} // namespace quenlith
