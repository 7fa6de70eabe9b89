#pragma once

#include "extract/pdf/InvoiceMetadata.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quenlith {

// Results of PdfLibrary::OpenDocument. Only Opened (1) means a current document.
enum class OpenStatus : int {
    Opened = 1,
    FileUnreadable = 2, // missing, a folder, or no permission to read
    NeedsPassword = 3, // encrypted, and the password given is not the user password
    Damaged = 4, // a PDF that qpdf cannot repair
    NotPdf = 5, // no PDF header or structure at all
};

// Results of PdfLibrary::WriteAttachment. Only Written (1) and ChecksumMismatch leave a file.
enum class WriteStatus : int {
    Written = 1,
    // No current document, or an index outside 1..AttachmentCount() (+ unlistedCount()).
    IndexOutOfRange = 2,
    NoEmbeddedData = 3, // the file specification holds no embedded stream
    DecodeFailed = 4, // the stream's data cannot be read or decoded; nothing is kept
    CannotCreate = 5, // the target or its temporary file cannot be created or renamed
    DiskFull = 6, // no space left while writing; nothing is kept
    ChecksumMismatch = 7, // written, but /Params /CheckSum or /Size disagrees with the data
    Abandoned = 8, // the progress callback asked to stop; nothing is kept
    Skipped = 9, // a file is already at the target and the request said to leave it
};

// What a write does when a file is already at its target path.
enum class ExistingFiles {
    // The file is never touched: when it holds the same bytes the attachment counts as
    // unchanged, otherwise the data goes under the first free alternative name.
    Keep,
    // Replaced atomically when its bytes differ; left alone (unchanged) when they are equal.
    Overwrite,
    // Left alone without reading the attachment.
    Skip,
};

// Where a write left the attachment's data.
enum class Placement {
    None, // not on disk: the write failed or was skipped
    Created, // at the target, where nothing was before
    Unchanged, // the file at the target (or at an alternative name) already held these bytes
    Overwritten, // at the target, replacing a file with other bytes
    Alternative, // under an alternative name, the target holding other bytes
};

struct WriteRequest {
    std::string path; // the target, UTF-8
    // The open folder the target lies in (a FolderHandle's descriptor), through which the file is
    // made by its name alone; -1: reached by `path`.
    int folderFd = -1;
    // The folder was just made for this run's files, whose names never clash: nothing can be at
    // the target but what another program puts there meanwhile, which no write ever replaces
    // unless asked to, so it need not be looked for first.
    bool folderIsNew = false;
    ExistingFiles existing = ExistingFiles::Overwrite;
    // For Keep: the next file name to try in the target's folder, asked for once per name that
    // turned out to hold other bytes. Empty: the numbered forms "name (2).ext", "name (3).ext".
    std::function<std::string()> nextAlternative;
    bool sha256 = false; // compute the data's SHA-256
};

struct WriteResult {
    int status = 0; // a WriteStatus as int
    Placement placement = Placement::None;
    std::string path; // where the data is, UTF-8; empty for Placement::None
    std::uint64_t bytes = 0; // bytes of the decoded data, also when unchanged
    std::string sha256; // 64 lowercase hex digits when asked for and the data was read whole
    // The document declares the attachment encrypted (crypt filter /EFF) but stores it in the
    // clear: the stored bytes passed the declared /Size and /CheckSum, or decoded, where the
    // decrypted ones did not. The data written is the stored bytes.
    bool storedInClear = false;
};

// Property tags of PdfLibrary::AttachmentText.
enum class AttachmentTag : int {
    Name = 1, // stored file name, UTF-8: /UF, else /F, /Unix, /DOS, /Mac, else the key
    Description = 2, // /Desc, UTF-8
    MimeType = 3, // /Subtype of the embedded stream, e.g. "text/xml" (ISO 32000-1 7.11.4)
    DeclaredSize = 4, // /Params /Size in decimal bytes, as the document declares it
    ModDate = 5, // /Params /ModDate as ISO 8601 UTC, "2024-05-01T10:00:00Z"
    Page = 6, // 1-based page of a /FileAttachment annotation; empty for the name tree
    Key = 7, // the EmbeddedFiles name-tree key; empty for annotation attachments
    Origin = 8, // where the document lists it: "names", "portfolio", "annotation", "af", "unlisted"
    Folder = 9, // the portfolio folder, its names joined with "/"; empty for the top
};

// One embedded file as the document describes it; no attachment data is read to fill it.
struct AttachmentInfo {
    std::string name; // as AttachmentTag::Name
    std::string description; // may be empty
    std::string mimeType; // may be empty
    std::string key; // name-tree key; empty for annotation attachments
    int page = 0; // 1-based page of an annotation attachment, 0 for the name tree
    std::int64_t declaredSize = -1; // -1 when the document declares none
    std::int64_t modTime = INT64_MIN; // seconds since 1970 UTC; INT64_MIN when absent or invalid
    // /Params /CheckSum holds an MD5 (16 bytes), which WriteAttachment verifies.
    bool hasDeclaredChecksum = false;
    // Where it was found first: "names" (the EmbeddedFiles name tree), "portfolio" (the name tree
    // of a portfolio, under a key whose "<ID>" prefix names one of its folders), "annotation" (a
    // /FileAttachment annotation), "af" (an associated-files array, ISO 32000-2 14.13) or
    // "unlisted" (an embedded file stream that nothing lists).
    std::string origin;
    // The portfolio folder it belongs to: the folder names (UTF-8, as the document gives them)
    // from below the portfolio's root down to it; empty for the top: the root folder, a folder
    // past the bounds of the folder tree (see warnings()), and every file outside a portfolio.
    std::vector<std::string> folderPath;
    std::string folder; // folderPath joined with "/", for display
    // The first owner of an /AF array that refers to it, also when it was found first elsewhere:
    // "catalog", "page 3", "annotation on page 2", "xobject on page 1", "structure element";
    // empty when no /AF array does.
    std::string afOwner;
    // /AFRelationship of the file specification without the slash ("Source", "Data",
    // "Alternative", "Supplement", "EncryptedPayload", "FormData", "Schema", "Unspecified" or
    // what else the document says); empty when absent.
    std::string afRelationship;
    std::int64_t createdTime = INT64_MIN; // /Params /CreationDate, as modTime
};

// Reads PDF documents through qpdf and writes their embedded files (ISO 32000-1 7.11.4).
// It holds one current document: OpenDocument makes a document current, and the other
// operations act on it. Indices are 1-based. No qpdf exception leaves this class: every
// failure comes back as a status, with a reason in plain words from lastError().
// One instance must not be used from two threads at once; separate instances may.
class PdfLibrary {
public:
    PdfLibrary();
    ~PdfLibrary();
    PdfLibrary(const PdfLibrary &) = delete;
    PdfLibrary &operator=(const PdfLibrary &) = delete;

    // Opens the document at `path` (UTF-8) with `password` (empty for none) and makes it
    // current; returns an OpenStatus as int. On failure there is no current document. A document
    // with an empty user password opens without one, whatever its owner password; one whose
    // embedded files alone are encrypted with a user password (crypt filter /EFF) also gives
    // NeedsPassword. A damaged cross-reference table is reconstructed (see warnings()). The
    // attachments are listed here, once: no attachment data is read. Damaged ("damaged: ...") also
    // when an embedded file cannot be listed: an unreadable name-tree entry or file stream (an
    // overflowing /Size, a /Length that refers to its own stream), or a name tree deeper than
    // 100,000 levels. Name-tree loops are not damage: each node counts once.
    int OpenDocument(const std::string &path, const std::string &password);

    // Number of distinct embedded files of the current document: the EmbeddedFiles name tree,
    // then /FileAttachment annotations in page order, then associated files (/AF of the catalog;
    // per page of the page, its annotations and its form XObjects; then of structure elements),
    // a file specification reached twice counted once, specifications naming only an external
    // file not counted. 0 when none is current.
    int AttachmentCount() const;

    // Number of embedded files of the current document that nothing of the above lists: file
    // specifications with /EF and streams of /Type /EmbeddedFile found among all its objects.
    // They are not counted by AttachmentCount(); they are attachments AttachmentCount() + 1 to
    // AttachmentCount() + unlistedCount() of AttachmentText, attachmentInfo and the writes, with
    // origin "unlisted", named from their file specification or else "unlisted-<object
    // number>.bin". The first call for a document reads each of its objects once. 0 when none is
    // current.
    int unlistedCount();

    // A property of attachment `index` as UTF-8 text (see AttachmentTag); the empty text for an
    // index out of range, an unknown tag or a property the document does not give.
    std::string AttachmentText(int index, int tag) const;

    // All properties of attachment `index`; a default AttachmentInfo when out of range.
    AttachmentInfo attachmentInfo(int index) const;

    // The electronic invoice that the current document declares in its XMP metadata (the
    // catalog's /Metadata stream, read once per document, at most maxXmpPacketBytes decoded;
    // see readInvoiceDeclarations), with the attachment that holds it: of several declarations
    // the one whose file an attachment fits best by name and /AFRelationship (see
    // invoiceAttachmentFit; the first of equals, the first declaration when none fits), looked
    // for among the listed attachments first and only then among the unlisted ones. Not declared
    // when none is current or the metadata declares none; metadata that cannot be read is warned
    // about (see warnings()).
    InvoiceInfo invoiceInfo();

    // The same non-zero number for attachments whose data is one and the same stream object of
    // the document (several names for one embedded file), different numbers for different ones;
    // 0 when out of range or without data. Their decoded bytes are then equal.
    std::uint64_t dataIdentity(int index) const;

    // Decodes attachment `index` (Flate and LZW with checked predictors, ASCII85, ASCIIHex,
    // RunLength; a lone /DCTDecode is kept as stored when it has the declared /Size) into a
    // temporary file beside `path` (nameless where the file system allows, else
    // ".<name>.quenlith-XXXXXX.part"), and gives it the name `path`,
    // replacing any file there with other bytes, only when complete; returns a WriteStatus as int.
    // A failed write leaves no partial file and keeps what was at `path` before. Memory use does
    // not grow with the attachment's size. The file gets the attachment's /Params /ModDate as
    // modification time when valid. The data is checked against /Params /Size and, when declared,
    // /Params /CheckSum; a large attachment with a checksum is hashed on a helper thread while it
    // is written. DecodeFailed, with no file kept, for any other filter (the reason names it),
    // predictor parameters out of bounds, and a decoder that warned unless /Size and /CheckSum both
    // match. Embedded files of their own crypt filter (/EFF: RC4, AES-128, AES-256) are decrypted
    // with the document's key first; see WriteResult::storedInClear for writers that only declare
    // it.
    int WriteAttachment(int index, const std::string &path);

    // The same write, with a policy for a file already at the target (see ExistingFiles). The
    // final step never replaces a file under Keep and Skip, even one that appeared meanwhile or
    // differs only in case on a drive that ignores case: such a clash moves on to the next
    // alternative name (Keep) or counts as skipped (Skip). An unchanged file keeps its time.
    WriteResult writeAttachment(int index, const WriteRequest &request);

    // Bytes written by the last WriteAttachment that left a file, else 0.
    std::uint64_t lastWrittenBytes() const;

    // WriteResult::storedInClear of the last write that left a file; false after any other.
    bool lastWriteStoredInClear() const;

    // Called while WriteAttachment streams data, every few megabytes, with the bytes written so
    // far; returning false abandons the write (status Abandoned, no file left). May be empty.
    using WriteProgress = std::function<bool(std::uint64_t bytesWritten)>;
    void setWriteProgress(WriteProgress progress);

    // The reason of the last failed OpenDocument or WriteAttachment in plain words, starting with
    // "cannot be read", "needs a password", "damaged beyond repair: ", "damaged: ", "not a PDF
    // document", "no attachment", "the attachment holds no embedded data", "cannot create the
    // file", "cannot write the file", "disk full", "the embedded data cannot be decoded",
    // "stopped: ", "checksum mismatch" or "abandoned". Empty after a success.
    const std::string &lastError() const;

    // qpdf's warnings about the current document (repairs, undecodable data), collected instead
    // of printed; cleared by OpenDocument.
    std::vector<std::string> warnings() const;

    // Bounds on the decoded size of one attachment, checked while it is written: past them the
    // write stops with DecodeFailed, "stopped: expands past the size limit", and no file is kept.
    // The data may reach `maxBytes` (0: no bound) and, once past expansionRatioFloor bytes,
    // `maxRatio` times the stream's stored size (0: no bound). An attachment with a declared
    // /Params /Size stops earlier, past twice that and 1 MiB ("stopped: expands past its declared
    // size of N bytes"). Takes effect at the next write.
    static constexpr std::uint64_t defaultMaxAttachmentSize = std::uint64_t { 4 } << 30;
    static constexpr std::uint64_t defaultMaxExpansionRatio = 1000;
    static constexpr std::uint64_t expansionRatioFloor = 100 * 1024 * 1024;
    void setSizeLimits(std::uint64_t maxBytes, std::uint64_t maxRatio);

    // Documents of at most this many bytes are read whole into memory by OpenDocument and stay
    // there while current (qpdf reads them in many small pieces); larger ones are read from the
    // file as needed. Takes effect at the next OpenDocument.
    static constexpr std::uint64_t defaultMemoryLimit = 16 * 1024 * 1024;
    void setMemoryLimit(std::uint64_t bytes);

    // Path of the current document; empty when none is current.
    const std::string &currentPath() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace quenlith
