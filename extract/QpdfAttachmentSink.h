#pragma once

#include "extract/PartFile.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFCryptoImpl.hh>
#include <string>

namespace quenlith {

// The last stage of an attachment's decoding: appends the decoded bytes to a PartFile, counts
// them and computes their MD5 on the way, and reports progress every few megabytes. A failed
// write or a refused progress report stops the decoding by throwing, which qpdf turns into a
// false return of pipeStreamData; failed() and abandoned() then tell why.
class QpdfAttachmentSink : public Pipeline {
public:
    using Progress = std::function<bool(std::uint64_t bytesWritten)>;

    // `file` must be created and outlive the sink; `progress` may be empty.
    QpdfAttachmentSink(PartFile &file, Progress progress);

    void write(unsigned char const *data, size_t len) override;
    void finish() override;

    std::uint64_t bytesWritten() const;
    // MD5 of all bytes written, 16 raw bytes; call once, after decoding.
    std::string md5();
    bool failed() const; // the PartFile refused bytes (see its errorNumber())
    bool abandoned() const; // the progress callback returned false or threw

    static constexpr std::uint64_t progressInterval = 4 * 1024 * 1024;

private:
    PartFile &m_file;
    Progress m_progress;
    std::shared_ptr<QPDFCryptoImpl> m_md5;
    std::uint64_t m_bytes = 0;
    std::uint64_t m_nextReport = progressInterval;
    bool m_failed = false;
    bool m_abandoned = false;
};

} // namespace quenlith
