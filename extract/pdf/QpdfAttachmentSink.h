#pragma once

#include "extract/output/Digest.h"
#include "extract/output/PartFile.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <qpdf/Pipeline.hh>
#include <string>

namespace quenlith {

// The last stage of an attachment's decoding: appends the decoded bytes to a PartFile, counts
// them, computes their MD5 when asked, and reports progress every few megabytes. A failed write
// or a refused progress report stops the decoding by throwing, which qpdf turns into a false
// return of pipeStreamData; failed() and abandoned() then tell why.
//
// Hashing costs about as much as inflating and writing together, so past the first
// inlineHashLimit bytes it runs on threads of its own, one per digest: the data is then gathered
// in blocks of blockSize, each full block is written and handed to those threads, and at most
// blockCount blocks exist, so memory stays bounded whatever the attachment's size. Smaller data
// is hashed inline.
class QpdfAttachmentSink : public Pipeline {
public:
    using Progress = std::function<bool(std::uint64_t bytesWritten)>;

    // `file` must be created and outlive the sink; `progress` may be empty. Without `md5` and
    // `sha256` the digests stay empty and no thread is started.
    QpdfAttachmentSink(PartFile &file, Progress progress, bool md5, bool sha256 = false);
    ~QpdfAttachmentSink() override; // stops the hashing thread if complete() was not called
    QpdfAttachmentSink(const QpdfAttachmentSink &) = delete;
    QpdfAttachmentSink &operator=(const QpdfAttachmentSink &) = delete;

    void write(unsigned char const *data, size_t len) override;
    // Does nothing: qpdf also calls it after a failed decoding. complete() ends the output.
    void finish() override;

    // Writes the bytes still held and waits for the hash; call once, after pipeStreamData
    // succeeded. False when the file refused bytes (failed() is then true).
    bool complete();

    // Bytes received from the decoder; all of them are in the file once complete() succeeded.
    std::uint64_t bytesWritten() const;
    // MD5 of all bytes, 16 raw bytes, after complete(); empty when not asked for.
    std::string md5() const;
    // SHA-256 of all bytes, 64 lowercase hex digits, after complete(); empty when not asked for.
    std::string sha256() const;
    bool failed() const; // the PartFile refused bytes (see its errorNumber())
    bool abandoned() const; // the progress callback returned false or threw

    static constexpr std::uint64_t progressInterval = 4 * 1024 * 1024;
    static constexpr std::uint64_t inlineHashLimit = 1024 * 1024;
    static constexpr std::size_t blockSize = 1024 * 1024;
    static constexpr int blockCount = 4;

private:
    class Hasher;

    void writeToFile(const unsigned char *data, std::size_t size);
    void gather(const unsigned char *data, std::size_t size);
    void passBlock();

    PartFile &m_file;
    Progress m_progress;
    std::shared_ptr<Digest> m_md5; // null when not asked for
    std::shared_ptr<Digest> m_sha256; // null when not asked for
    std::unique_ptr<Hasher> m_hasher; // set once the data outgrew inlineHashLimit
    bool m_inlineOnly = false; // no thread could be started: hash inline to the end
    unsigned char *m_block = nullptr; // the block being filled, owned by m_hasher
    std::size_t m_blockUsed = 0;
    std::string m_digest;
    std::string m_sha256Hex;
    std::uint64_t m_bytes = 0;
    std::uint64_t m_nextReport = progressInterval;
    bool m_failed = false;
    bool m_abandoned = false;
};

} // namespace quenlith
