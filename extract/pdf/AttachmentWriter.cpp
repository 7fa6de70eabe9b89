#include "extract/pdf/AttachmentWriter.h"

#include "extract/output/PartFile.h"
#include "extract/output/Placement.h"
#include "extract/pdf/QpdfAttachmentSink.h"
#include "extract/pdf/QpdfDocument.h"
#include "extract/pdf/QpdfEmbeddedFileCrypt.h"
#include "extract/pdf/QpdfFilterChain.h"
#include "extract/pdf/QpdfIsalInflate.h"
#include "extract/pdf/QpdfOutputLimit.h"
#include "extract/pdf/QpdfPassingInflate.h"
#include "extract/pdf/QpdfRunLengthFilter.h"
#include "util/FsPath.h"

#include <climits>
#include <filesystem>
#include <memory>
#include <optional>

namespace quenlith {

std::string SizeBudget::reason() const
{
    return "stopped: the document's attachments together pass the limit of "
        + std::to_string(m_limit) + " bytes per document";
}

WriteResult writeResultOf(const PlacedFile &placed)
{
    WriteResult result;
    switch (placed.failure) {
    case PlacedFile::Failure::None:
        result.status = WriteStatus::Written;
        result.placement = placed.placement;
        result.path = placed.path;
        result.bytes = placed.bytes;
        result.sha256 = placed.sha256;
        return result;
    case PlacedFile::Failure::Skipped:
        result.status = WriteStatus::Skipped;
        break;
    case PlacedFile::Failure::CannotCreate:
        result.status = WriteStatus::CannotCreate;
        break;
    case PlacedFile::Failure::DiskFull:
        result.status = WriteStatus::DiskFull;
        break;
    }
    result.reason = placed.reason;
    return result;
}

namespace {

WriteResult failed(WriteStatus status, std::string reason, SizeBound bound = SizeBound::None)
{
    WriteResult result;
    result.status = status;
    result.reason = std::move(reason);
    result.bound = bound;
    return result;
}

WriteResult cannotDecode(const std::string &why)
{
    return failed(WriteStatus::DecodeFailed,
        why.empty() ? "the embedded data cannot be decoded"
                    : "the embedded data cannot be decoded: " + why);
}

std::uint64_t saturatingProduct(std::uint64_t a, std::uint64_t b)
{
    return b != 0 && a > UINT64_MAX / b ? UINT64_MAX : a * b;
}

// The most bytes an attachment may decode to, the bound that sets it, and the reason past it.
struct OutputBound {
    std::uint64_t limit = UINT64_MAX;
    SizeBound bound = SizeBound::Attachment;
    std::string reason = "stopped: expands past the size limit";
};

OutputBound outputBound(
    QPDFObjectHandle stream, const Attachment &attachment, const SizeLimits &limits)
{
    OutputBound out;
    if (limits.maxBytes != 0)
        out.limit = limits.maxBytes;
    if (limits.maxRatio > 0) {
        std::uint64_t encoded = 0;
        try {
            auto length = stream.getDict().getKey("/Length");
            if (length.isInteger() && length.getIntValue() > 0)
                encoded = static_cast<std::uint64_t>(length.getIntValue());
        } catch (std::exception &) {
        }
        out.limit = std::min(out.limit,
            std::max(SizeLimits::expansionRatioFloor, saturatingProduct(encoded, limits.maxRatio)));
    }
    if (limits.budget != nullptr && limits.budget->remaining() < out.limit) {
        out = { limits.budget->remaining(), SizeBound::Document, limits.budget->reason() };
    }
    if (attachment.declaredSize >= 0) {
        // Declared sizes are often a little off, but not by half: twice it and 1 MiB is ample.
        const std::uint64_t declared
            = saturatingProduct(static_cast<std::uint64_t>(attachment.declaredSize), 2);
        const std::uint64_t bound
            = declared > UINT64_MAX - (1 << 20) ? UINT64_MAX : declared + (1 << 20);
        if (bound < out.limit)
            out = { bound,
                SizeBound::DeclaredSize,
                "stopped: expands past its declared size of "
                    + std::to_string(attachment.declaredSize) + " bytes" };
    }
    return out;
}

struct DecodeResult {
    bool decoded = false; // every filter applied and the data reached the sink
    std::string error; // why not, when known
    std::string warning; // qpdf's last warning while decoding, empty when none
    // The fast inflater did not accept the stream: decode it again without it.
    bool fastRejected = false;
};

// Pipes `source` into `sink`; false with `error` when qpdf threw.
bool pipe(QPDFObjectHandle source,
    Pipeline &sink,
    bool *filtered,
    qpdf_stream_decode_level_e level,
    std::string &error)
{
    try {
        return source.pipeStreamData(&sink, filtered, 0, level, false, false);
    } catch (std::exception &e) {
        error = e.what();
    } catch (...) {
        error = "unknown failure";
    }
    return false;
}

// Pipes `source` through its filters into `sink` (which complete() has not ended yet); with
// `fast`, a stream that chain.onlyPlainFlate describes is inflated by ISA-L instead of qpdf.
DecodeResult decode(
    Document::Impl &d, QPDFObjectHandle source, const FilterChain &chain, Pipeline &sink, bool fast)
{
    DecodeResult result;
    DecodeNotices notices; // of the decoders that qpdf does not hear from
    if (fast && chain.onlyPlainFlate) {
        // qpdf hands over the stored bytes, decrypted; the inflater checks them whole.
        QpdfIsalInflate inflater(&sink);
        result.decoded = pipe(source, inflater, nullptr, qpdf_dl_none, result.error);
        result.warning = d.collectWarnings();
        // A warning (a stream qpdf read with trouble) gets qpdf's full treatment too.
        result.fastRejected = inflater.rejected() || !result.warning.empty();
        if (result.error.empty())
            result.error = result.warning;
        return result;
    }
    bool filtered = false;
    // Up to RunLength: qpdf's image decoders would turn a stored JPEG into pixels.
    result.decoded = pipe(source, sink, &filtered, qpdf_dl_specialized, result.error);
    result.warning = d.collectWarnings();
    if (result.warning.empty())
        result.warning = notices.last();
    if (result.error.empty())
        result.error = result.warning;
    if (result.decoded && !filtered && !chain.filters.empty()
        && chain.action != FilterChain::Action::KeepEncoded) {
        result.decoded = false;
        result.error = "cannot decode " + chain.filters.front();
        if (!result.warning.empty())
            result.error += " (" + result.warning + ")";
    }
    return result;
}

// One write of one attachment: its temporary file, the decoding passes, the checks and the
// placement.
class AttachmentWrite {
public:
    AttachmentWrite(Document::Impl &d,
        const Attachment &attachment,
        const WriteRequest &request,
        const SizeLimits &limits,
        const WriteProgress &progress)
        : m_d(d)
        , m_attachment(attachment)
        , m_request(request)
        , m_limits(limits)
        , m_progress(progress)
        , m_stream(d.streamOf(attachment))
        , m_target(pathFromUtf8(request.path))
    {
    }

    WriteResult run()
    {
        if (!m_stream.isStream())
            return m_d.recovered && m_stream.isIndirect()
                ? failed(
                    WriteStatus::DecodeFailed, "the document ends inside this attachment's data")
                : failed(WriteStatus::NoEmbeddedData, "the attachment holds no embedded data");
        if (m_limits.budget != nullptr && m_limits.budget->exhausted())
            return failed(WriteStatus::TooLarge, m_limits.budget->reason(), SizeBound::Document);
        if (auto refused = prepare())
            return *refused;
        if (!m_target.has_filename())
            return failed(
                WriteStatus::CannotCreate, "cannot create the file: the path names no file");
        m_targetExists
            = !m_request.folderIsNew && PartFile::targetExists(m_target, m_request.folderFd);
        if (m_targetExists && m_request.existing == ExistingFiles::Skip)
            return failed(WriteStatus::Skipped,
                "skipped: " + utf8FromPath(m_target.filename()) + " already exists");
        m_bound = outputBound(m_stream, m_attachment, m_limits);
        if (auto stopped = decodePasses())
            return *stopped;
        WriteResult result = finish();
        if (m_limits.budget != nullptr
            && (result.status == WriteStatus::Written
                || result.status == WriteStatus::ChecksumMismatch))
            m_limits.budget->spend(result.bytes);
        return result;
    }

private:
    // Refused before any file exists: still-encoded bytes must never pass for the file.
    std::optional<WriteResult> prepare()
    {
        try {
            m_chain = inspectFilters(m_stream.getDict());
        } catch (std::exception &e) {
            m_chain.action = FilterChain::Action::Refuse;
            m_chain.reason = std::string("cannot decode the data: ") + e.what();
        }
        m_d.collectWarnings();
        if (m_chain.action == FilterChain::Action::Refuse)
            return cannotDecode(m_chain.reason);
        try {
            m_crypt = EmbeddedFileCrypt::forStream(*m_d.pdf, m_stream);
        } catch (std::exception &e) {
            m_crypt.action = EmbeddedFileCrypt::Action::Refuse;
            m_crypt.reason = std::string("cannot decrypt the data: ") + e.what();
        }
        if (m_crypt.action == EmbeddedFileCrypt::Action::Refuse)
            return cannotDecode(m_crypt.reason);
        // qpdf warns about a stream it had to repair (its /Length) once, when it first reads
        // it, often while listing: the data read then counts as decoded with a warning.
        if (const auto warned = m_d.warnedObjects.find(m_stream.getObjGen());
            warned != m_d.warnedObjects.end())
            m_streamWarning = warned->second;
        return std::nullopt;
    }

    // A fresh temporary file with its sink, for each decoding of the data.
    bool startAttempt()
    {
        m_limiter.reset();
        m_sink.reset();
        if (!m_file.create(m_target, m_targetExists, m_request.folderFd))
            return false;
        // Hashing costs time: only a declared checksum is worth it.
        m_sink = std::make_unique<QpdfAttachmentSink>(
            m_file, m_progress, !m_attachment.declaredChecksum.empty(), m_request.sha256);
        m_limiter = std::make_unique<QpdfOutputLimit>(m_sink.get(), m_bound.limit, m_bound.reason);
        return true;
    }

    WriteResult fail(WriteResult result)
    {
        m_file.discard();
        return result;
    }

    bool verified() const
    {
        return (m_attachment.declaredSize < 0
                   || m_attachment.declaredSize
                       == static_cast<std::int64_t>(m_sink->bytesWritten()))
            && (m_attachment.declaredChecksum.empty()
                || m_attachment.declaredChecksum == m_sink->md5());
    }

    std::optional<WriteResult> decodePasses();
    std::optional<WriteResult> decodeOnce(bool decrypted);
    WriteResult finish();
    WriteResult place();

    Document::Impl &m_d;
    const Attachment &m_attachment;
    const WriteRequest &m_request;
    const SizeLimits &m_limits;
    const WriteProgress &m_progress;
    QPDFObjectHandle m_stream;
    std::filesystem::path m_target;
    bool m_targetExists = false;
    FilterChain m_chain;
    EmbeddedFileCrypt m_crypt;
    OutputBound m_bound;
    PartFile m_file;
    std::unique_ptr<QpdfAttachmentSink> m_sink;
    std::unique_ptr<QpdfOutputLimit> m_limiter; // in front of m_sink
    DecodeResult m_decoded;
    std::string m_streamWarning; // what qpdf warned when it read the stream's object
    bool m_completed = false; // complete() was called on m_sink, with this result:
    bool m_completeSucceeded = false;
    bool m_storedInClear = false;
};

// One decoding into a fresh temporary file; a failure when the file cannot be made or the data
// not read.
std::optional<WriteResult> AttachmentWrite::decodeOnce(bool decrypted)
{
    if (!startAttempt())
        return writeResultOf(failedCreation(m_file));
    QPDFObjectHandle source = m_stream;
    if (decrypted || m_d.pdf->isEncrypted()) {
        try {
            source = decrypted ? m_crypt.decryptedView(*m_d.pdf, m_stream)
                               : EmbeddedFileCrypt::guardedView(*m_d.pdf, m_stream);
        } catch (std::exception &e) {
            return fail(cannotDecode(e.what()));
        }
    }
    m_decoded = decode(m_d, source, m_chain, *m_limiter, true);
    if (m_decoded.fastRejected && !m_sink->abandoned() && !m_sink->failed()) {
        // Whatever the fast inflater refused, qpdf's decoder decides, as for any stream.
        if (!startAttempt())
            return writeResultOf(failedCreation(m_file));
        m_decoded = decode(m_d, source, m_chain, *m_limiter, false);
    }
    if (m_decoded.warning.empty())
        m_decoded.warning = m_streamWarning;
    return std::nullopt;
}

// Some writers declare /EFF but store the files in the clear: when the decrypted data fails to
// decode or to match its declared /Size and /CheckSum, the stored bytes get a second try, and
// count when they pass every check; else the decrypted data is what is reported.
std::optional<WriteResult> AttachmentWrite::decodePasses()
{
    const bool decrypting = m_crypt.action == EmbeddedFileCrypt::Action::Decrypt;
    const int passes = decrypting ? 3 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const bool decrypted = decrypting && pass != 1;
        if (auto failure = decodeOnce(decrypted))
            return failure;
        m_storedInClear = decrypting && !decrypted;
        if (pass == passes - 1 || m_sink->abandoned() || m_sink->failed())
            break;
        m_completed = m_decoded.decoded;
        m_completeSucceeded = m_completed && m_sink->complete();
        const bool good = m_completeSucceeded && verified();
        if (m_sink->failed() || (pass == 0 ? good : good && m_decoded.warning.empty()))
            break;
        m_completed = false;
    }
    if (m_storedInClear)
        m_d.warn("attachment " + std::to_string(m_attachment.position)
            + " is stored in the clear although the document declares it encrypted");
    return std::nullopt;
}

// The checks on the decoded data, then the placement.
WriteResult AttachmentWrite::finish()
{
    if (m_sink->abandoned())
        return fail(failed(WriteStatus::Abandoned, "abandoned"));
    if (m_limiter->exceeded())
        return fail(failed(WriteStatus::TooLarge, m_limiter->reason(), m_bound.bound));
    if (m_sink->failed())
        return fail(writeResultOf(failedWrite(m_file, {})));
    if (!m_decoded.decoded)
        return fail(cannotDecode(m_decoded.error));
    if (!(m_completed ? m_completeSucceeded : m_sink->complete()))
        return fail(writeResultOf(failedWrite(m_file, {})));
    const auto size = static_cast<std::int64_t>(m_sink->bytesWritten());
    const bool sizeMatches = m_attachment.declaredSize == size;
    const bool checksumMatches
        = !m_attachment.declaredChecksum.empty() && m_attachment.declaredChecksum == m_sink->md5();
    // A decoder that warned may have dropped data; only both declared checks can vouch for it.
    if (!m_decoded.warning.empty() && !(sizeMatches && checksumMatches))
        return fail(cannotDecode(m_decoded.warning));
    // Stored image data is the file only when it is exactly as long as declared.
    if (m_chain.action == FilterChain::Action::KeepEncoded && !sizeMatches)
        return fail(cannotDecode(m_chain.filters.front()
            + (m_attachment.declaredSize < 0 ? " data without a declared /Size"
                                             : " data of " + std::to_string(size) + " bytes, "
                        + std::to_string(m_attachment.declaredSize) + " declared")));
    WriteResult result = place();
    if (result.status != WriteStatus::Written)
        return result;
    if (m_attachment.declaredSize >= 0 && !sizeMatches) {
        result.status = WriteStatus::ChecksumMismatch;
        result.reason = "checksum mismatch: " + std::to_string(size) + " bytes written, "
            + std::to_string(m_attachment.declaredSize) + " declared";
    } else if (!m_attachment.declaredChecksum.empty() && !checksumMatches) {
        result.status = WriteStatus::ChecksumMismatch;
        result.reason = "checksum mismatch: the data differs from its MD5 checksum";
    }
    return result;
}

WriteResult AttachmentWrite::place()
{
    if (m_attachment.modTime != INT64_MIN)
        m_file.setModificationTime(m_attachment.modTime);
    if (!m_file.close())
        return fail(writeResultOf(failedWrite(m_file, {})));
    PlacedFile placed;
    placed.bytes = m_sink->bytesWritten();
    placed.sha256 = m_sink->sha256();
    WriteResult result = writeResultOf(
        placeFinishedFile(m_file, m_target, m_targetExists, m_request, std::move(placed)));
    if (result.status == WriteStatus::Written)
        result.storedInClear = m_storedInClear;
    return result;
}

} // namespace

std::string Document::Impl::decodeInto(const Attachment &attachment, PassingSink &sink)
{
    QPDFObjectHandle stream = streamOf(attachment);
    if (!stream.isStream())
        return "the attachment holds no embedded data";
    FilterChain chain;
    EmbeddedFileCrypt crypt;
    QPDFObjectHandle source = stream;
    try {
        chain = inspectFilters(stream.getDict());
        crypt = EmbeddedFileCrypt::forStream(*pdf, stream);
        if (chain.action == FilterChain::Action::Refuse)
            return cannotDecode(chain.reason).reason;
        if (crypt.action == EmbeddedFileCrypt::Action::Refuse)
            return cannotDecode(crypt.reason).reason;
        if (crypt.action == EmbeddedFileCrypt::Action::Decrypt)
            source = crypt.decryptedView(*pdf, stream);
        else if (pdf->isEncrypted())
            source = EmbeddedFileCrypt::guardedView(*pdf, stream);
    } catch (std::exception &e) {
        collectWarnings();
        return cannotDecode(e.what()).reason;
    }
    if (chain.onlyPlainFlate) {
        QpdfPassingInflate inflater(sink);
        std::string error;
        const bool piped = pipe(source, inflater, nullptr, qpdf_dl_none, error);
        const std::string warning = collectWarnings();
        return piped && warning.empty() ? std::string()
                                        : cannotDecode(error.empty() ? warning : error).reason;
    }
    const DecodeResult decoded = decode(*this, source, chain, sink, false);
    return decoded.decoded && decoded.warning.empty() ? std::string()
                                                      : cannotDecode(decoded.error).reason;
}

WriteResult write(const Document &document,
    const Attachment &attachment,
    const WriteRequest &request,
    const SizeLimits &limits,
    const WriteProgress &progress)
{
    AttachmentWrite write(document.impl(), attachment, request, limits, progress);
    return write.run();
}

} // namespace quenlith
