#include "extract/QpdfAttachmentSink.h"

#include <qpdf/QPDFCryptoProvider.hh>
#include <stdexcept>

namespace quenlith {

QpdfAttachmentSink::QpdfAttachmentSink(PartFile &file, Progress progress)
    : Pipeline("attachment sink", nullptr)
    , m_file(file)
    , m_progress(std::move(progress))
    , m_md5(QPDFCryptoProvider::getImpl())
{
    m_md5->MD5_init();
}

void QpdfAttachmentSink::write(unsigned char const *data, size_t len)
{
    if (m_failed || m_abandoned)
        throw std::runtime_error("attachment output stopped");
    if (len == 0)
        return;
    if (!m_file.write(data, len)) {
        m_failed = true;
        throw std::runtime_error("cannot write the attachment: " + m_file.errorText());
    }
    m_md5->MD5_update(data, len);
    m_bytes += len;
    if (m_bytes >= m_nextReport) {
        m_nextReport = m_bytes + progressInterval;
        bool goOn = true;
        if (m_progress) {
            try {
                goOn = m_progress(m_bytes);
            } catch (...) {
                goOn = false;
            }
        }
        if (!goOn) {
            m_abandoned = true;
            throw std::runtime_error("attachment output abandoned");
        }
    }
}

void QpdfAttachmentSink::finish()
{
}

std::uint64_t QpdfAttachmentSink::bytesWritten() const
{
    return m_bytes;
}

std::string QpdfAttachmentSink::md5()
{
    m_md5->MD5_finalize();
    QPDFCryptoImpl::MD5_Digest digest;
    m_md5->MD5_digest(digest);
    return std::string(reinterpret_cast<const char *>(digest), sizeof(digest));
}

bool QpdfAttachmentSink::failed() const
{
    return m_failed;
}

bool QpdfAttachmentSink::abandoned() const
{
    return m_abandoned;
}

} // namespace quenlith
