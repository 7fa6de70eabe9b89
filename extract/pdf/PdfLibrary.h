#pragma once

#include "extract/pdf/AttachmentWriter.h"
#include "extract/pdf/Document.h"

#include <cstdint>
#include <optional>
#include <string>

namespace quenlith {

// Results of PdfLibrary::OpenDocument. Only Opened (1) means a current document.
enum class OpenStatus : int {
    Opened = 1,
    FileUnreadable = 2,
    NeedsPassword = 3,
    Damaged = 4,
    NotPdf = 5,
};

// The integer code of an open failure, as OpenDocument returns it.
OpenStatus openStatusOf(OpenFailure::Reason reason);

// Property tags of PdfLibrary::AttachmentText.
enum class AttachmentTag : int {
    Name = 1, // Attachment::name
    Description = 2,
    MimeType = 3,
    DeclaredSize = 4, // in decimal bytes
    ModDate = 5, // as ISO 8601 UTC, "2024-05-01T10:00:00Z"
    Page = 6, // 1-based page of an annotation attachment; empty for others
    Key = 7,
    Origin = 8, // originWord()
    Folder = 9, // the portfolio folder, its names joined with "/"; empty for the top
};

// The window's PDF library: one current document and the four operations the window's design
// names, with integer codes. Everything else uses Document and write() directly. One instance
// must not be used from two threads at once.
class PdfLibrary {
public:
    // Opens the document at `path` (UTF-8) with `password` (empty for none) and makes it
    // current; returns an OpenStatus as int. On failure there is no current document.
    int OpenDocument(
        const std::string &path, const std::string &password, const OpenLimits &limits = {});

    // Number of listed attachments of the current document (Document::attachments); 0 when none
    // is current.
    int AttachmentCount() const;

    // A property of attachment `index` (1-based, listed or unlisted) as UTF-8 text (see
    // AttachmentTag); the empty text for an index out of range, an unknown tag or a property the
    // document does not give.
    std::string AttachmentText(int index, int tag) const;

    // Writes attachment `index` to `path`, replacing a file there with other bytes; returns 1
    // (written), 2 (no current document or index out of range), 3 (no embedded data), 4 (cannot
    // be decoded, or past the size limits), 5 (cannot create), 6 (disk full), 7 (checksum
    // mismatch), 8 (abandoned) or 9 (skipped).
    int WriteAttachment(int index, const std::string &path);

    // The reason of the last failed OpenDocument or WriteAttachment in plain words (see
    // OpenFailure::text and WriteResult::reason); empty after a success.
    const std::string &lastError() const;

    // The current document; null when none is.
    const Document *document() const;

private:
    std::optional<Document> m_document;
    std::string m_lastError;
};

} // namespace quenlith
