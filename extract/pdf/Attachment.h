#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace quenlith {

// Portfolio folders below this many levels under the root are left out (their files go to the
// top, warned about); real portfolios nest a few levels.
constexpr int maxPortfolioFolderDepth = 32;

// One embedded file as the document describes it (ISO 32000-1 7.11.4); no attachment data is
// read to fill it. Text is UTF-8.
struct Attachment {
    // Where the document lists it first.
    enum class Origin {
        Names, // the EmbeddedFiles name tree
        Portfolio, // the name tree of a portfolio, under a key whose "<ID>" names one of its
                   // folders
        Annotation, // a /FileAttachment annotation
        AssociatedFile, // an associated-files array (ISO 32000-2 14.13)
        Unlisted, // an embedded file stream that nothing lists
    };

    int position = 0; // 1-based: the listed ones in listing order, then the unlisted ones
    // The stored file name: /UF, else /F, /Unix, /DOS, /Mac, else the key; for a stream without
    // a file specification "unlisted-<object number>.bin". Never a path to trust.
    std::string name;
    std::string description; // /Desc; may be empty
    std::string mimeType; // /Subtype of the embedded stream, e.g. "text/xml"; may be empty
    std::string key; // the name-tree key; empty for other origins
    int page = 0; // 1-based page of an annotation attachment, else 0
    Origin origin = Origin::Names;
    // The portfolio folder it belongs to: the folder names from below the portfolio's root down
    // to it; empty for the top (the root, a folder past the bounds, every file outside a
    // portfolio). `folder`: the same joined with "/", for display.
    std::vector<std::string> folderPath;
    std::string folder;
    std::int64_t declaredSize = -1; // /Params /Size; -1 when the document declares none
    std::int64_t modTime = INT64_MIN; // /Params /ModDate, seconds since 1970 UTC; INT64_MIN: none
    std::int64_t createdTime = INT64_MIN; // /Params /CreationDate, as modTime
    // /Params /CheckSum: 16 raw MD5 bytes, which the writer verifies; empty when not declared.
    std::string declaredChecksum;
    // The first owner of an /AF array that refers to it, also when it was found first elsewhere:
    // "catalog", "page 3", "annotation on page 2", "xobject on page 1", "structure element";
    // past the walks' bounds, where the page is not known, "xobject" or "object <number>"; empty
    // when no /AF array does.
    std::string afOwner;
    // /AFRelationship without the slash ("Source", "Data", "Alternative", ...); may be empty.
    std::string afRelationship;
    // The same non-zero number for attachments whose data is one and the same stream object
    // (several names for one embedded file, whose decoded bytes are then equal); 0 without data.
    std::uint64_t dataIdentity = 0;
    // The stream's filters as the document names them, e.g. "/FlateDecode"; empty when stored.
    std::vector<std::string> filters;
    // For the variant of a file for one platform (its specification's /EF /Unix, /DOS or /Mac
    // beside the file itself, ISO 32000-1 7.11.4): "Unix", "DOS" or "Mac"; else empty.
    std::string platform;
};

// The word reports use for an origin: "names", "portfolio", "annotation", "af", "unlisted".
const char *originWord(Attachment::Origin origin);

// Seconds since 1970 UTC as ISO 8601, "2024-05-01T10:00:00Z"; the empty text for INT64_MIN
// (no date) or a moment outside the years 0001 to 9999.
std::string isoDate(std::int64_t secondsUtc);

} // namespace quenlith
