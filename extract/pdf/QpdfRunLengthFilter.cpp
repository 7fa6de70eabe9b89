#include "extract/pdf/QpdfRunLengthFilter.h"

#include <mutex>
#include <qpdf/QPDF.hh>

namespace quenlith {

namespace {

thread_local DecodeNotices *innermost = nullptr;

// Decoded bytes are handed on in pieces of about this size.
constexpr std::size_t outputPiece = 64 * 1024;

} // namespace

DecodeNotices::DecodeNotices()
    : m_outer(innermost)
{
    innermost = this;
}

DecodeNotices::~DecodeNotices()
{
    innermost = m_outer;
}

void DecodeNotices::raise(std::string text)
{
    if (innermost != nullptr)
        innermost->m_last = std::move(text);
}

const std::string &DecodeNotices::last() const
{
    return m_last;
}

QpdfRunLengthDecoder::QpdfRunLengthDecoder(Pipeline *output)
    : Pipeline("RunLength decoder", output)
{
    m_out.reserve(outputPiece + 128);
}

void QpdfRunLengthDecoder::write(unsigned char const *data, size_t len)
{
    for (size_t i = 0; i < len && !m_ended; ++i) {
        const unsigned char c = data[i];
        if (m_literal > 0) {
            m_out.push_back(c);
            --m_literal;
        } else if (m_repeat > 0) {
            m_out.insert(m_out.end(), static_cast<std::size_t>(m_repeat), c);
            m_repeat = 0;
        } else if (c < 128) {
            m_literal = c + 1;
        } else if (c > 128) {
            m_repeat = 257 - c;
        } else {
            m_ended = true;
        }
        if (m_out.size() >= outputPiece)
            flush();
    }
    flush();
}

void QpdfRunLengthDecoder::flush()
{
    if (!m_out.empty())
        getNext()->write(m_out.data(), m_out.size());
    m_out.clear();
}

void QpdfRunLengthDecoder::finish()
{
    if (!m_ended)
        DecodeNotices::raise("the RunLength data ends without its end-of-data marker");
    getNext()->finish();
}

Pipeline *QpdfRunLengthFilter::getDecodePipeline(Pipeline *next)
{
    m_pipeline = std::make_shared<QpdfRunLengthDecoder>(next);
    return m_pipeline.get();
}

bool QpdfRunLengthFilter::isSpecializedCompression()
{
    return true;
}

void QpdfRunLengthFilter::registerWithQpdf()
{
    static std::once_flag once;
    std::call_once(once, [] {
        QPDF::registerStreamFilter(
            "/RunLengthDecode", [] { return std::make_shared<QpdfRunLengthFilter>(); });
    });
}

} // namespace quenlith
