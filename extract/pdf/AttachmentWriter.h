#pragma once

#include "extract/output/WriteRequest.h"
#include "extract/pdf/Attachment.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>

namespace quenlith {

class Document;

// The bytes that the attachments of one listed document, and of every document nested in it,
// may write together. Each byte written counts once; copies of data already on disk count
// nothing. Not thread-safe: one extraction uses it at a time.
class SizeBudget {
public:
    // 0: no bound.
    explicit SizeBudget(std::uint64_t limit)
        : m_limit(limit)
    {
    }
    // Bytes left; UINT64_MAX without a bound.
    std::uint64_t remaining() const
    {
        return m_limit == 0 ? UINT64_MAX : m_limit - std::min(m_used, m_limit);
    }
    bool exhausted() const
    {
        return m_limit != 0 && m_used >= m_limit;
    }
    void spend(std::uint64_t bytes)
    {
        m_used += bytes;
    }
    std::uint64_t used() const
    {
        return m_used;
    }
    // "stopped: the document's attachments together pass the limit of N bytes per document"
    std::string reason() const;

private:
    std::uint64_t m_limit;
    std::uint64_t m_used = 0;
};

// Bounds on the decoded size of one attachment, checked while it is written.
struct SizeLimits {
    static constexpr std::uint64_t defaultMaxAttachmentSize = std::uint64_t { 4 } << 30;
    static constexpr std::uint64_t defaultMaxExpansionRatio = 1000;
    static constexpr std::uint64_t expansionRatioFloor = 100 * 1024 * 1024;
    // The data may reach `maxBytes` (0: no bound) and, once past expansionRatioFloor bytes,
    // `maxRatio` times the stream's stored size (0: no bound). An attachment with a declared
    // /Params /Size stops earlier, past twice that and 1 MiB.
    std::uint64_t maxBytes = defaultMaxAttachmentSize;
    std::uint64_t maxRatio = defaultMaxExpansionRatio;
    // Shared with the other writes of the document tree; not owned; null: none.
    SizeBudget *budget = nullptr;
};

enum class WriteStatus {
    Written,
    NoEmbeddedData, // the file specification holds no embedded stream
    DecodeFailed, // the stream's data cannot be read or decoded; nothing is kept
    TooLarge, // the data passes a size bound (see WriteResult::bound); nothing is kept
    CannotCreate, // the target or its temporary file cannot be created or renamed
    DiskFull, // no space left while writing; nothing is kept
    ChecksumMismatch, // written, but /Params /CheckSum or /Size disagrees with the data
    Abandoned, // the progress callback asked to stop; nothing is kept
    Skipped, // a file is already at the target and the request said to leave it
};

// The bound that stopped a TooLarge write.
enum class SizeBound {
    None,
    Attachment, // SizeLimits::maxBytes or maxRatio
    DeclaredSize, // twice the declared /Size and 1 MiB
    Document, // the SizeBudget
};

// Everything a write tells: there is no other channel.
struct WriteResult {
    WriteStatus status = WriteStatus::DecodeFailed;
    SizeBound bound = SizeBound::None;
    // Empty for Written; otherwise in plain words, starting with "the attachment holds no
    // embedded data", "cannot create the file", "cannot write the file", "disk full", "the
    // embedded data cannot be decoded", "the document ends inside this attachment's data" (a
    // recovered document cut short), "stopped: ", "checksum mismatch", "skipped: " or
    // "abandoned".
    std::string reason;
    Placement placement = Placement::None;
    std::string path; // where the data is, UTF-8; empty for Placement::None
    std::uint64_t bytes = 0; // bytes of the decoded data, also when unchanged
    std::string sha256; // 64 lowercase hex digits when asked for and the data was read whole
    // The document declares the attachment encrypted (crypt filter /EFF) but stores it in the
    // clear: the stored bytes passed the declared /Size and /CheckSum, or decoded, where the
    // decrypted ones did not. The data written is the stored bytes.
    bool storedInClear = false;
};

// The result of placing a file that is already on disk (see placeCopy) as a write's result.
WriteResult writeResultOf(const PlacedFile &placed);

// Called every few megabytes with the bytes written so far; false abandons the write. May be
// empty.
using WriteProgress = std::function<bool(std::uint64_t bytesWritten)>;

// Decodes `attachment` of `document` (Flate and LZW with checked predictors, ASCII85, ASCIIHex,
// RunLength, Brotli; a lone /DCTDecode is kept as stored when it has the declared /Size) into a
// temporary file beside request.path (nameless where the file system allows, else
// ".<name>.quenlith-XXXXXX.part") and puts it in place as request.existing says, only when
// complete: a failed write leaves no partial file and keeps what was at the target. Memory use
// does not grow with the attachment's size. The file gets the attachment's /ModDate when valid.
// The data is checked against /Params /Size and /CheckSum; DecodeFailed, with no file kept, for
// any other filter, predictor parameters out of bounds, and a decoder that warned unless /Size
// and /CheckSum both match (qpdf recovered the stream's /Length, also when it did so while
// listing; RunLength data lacks its end-of-data marker). In a document recovered as cut short,
// an attachment whose stream the end took is DecodeFailed. Embedded files of their own crypt filter
// (/EFF: RC4, AES-128, AES-256) are decrypted with the document's key first. Bytes written count in
// limits.budget. The final step never replaces a file under Keep and Skip, even one that appeared
// meanwhile.
WriteResult write(const Document &document,
    const Attachment &attachment,
    const WriteRequest &request,
    const SizeLimits &limits = {},
    const WriteProgress &progress = {});

} // namespace quenlith
