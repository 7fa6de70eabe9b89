#include "extract/pdf/QpdfOutputLimit.h"

#include <stdexcept>

namespace quenlith {

QpdfOutputLimit::QpdfOutputLimit(Pipeline *output, std::uint64_t limit, std::string reason)
    : Pipeline("output limit", output)
    , m_limit(limit)
    , m_reason(std::move(reason))
{
}

void QpdfOutputLimit::write(unsigned char const *data, size_t len)
{
    if (m_exceeded || len > m_limit - m_bytes) {
        m_exceeded = true;
        throw std::runtime_error(m_reason);
    }
    m_bytes += len;
    getNext()->write(data, len);
}

void QpdfOutputLimit::finish()
{
    getNext()->finish();
}

bool QpdfOutputLimit::exceeded() const
{
    return m_exceeded;
}

const std::string &QpdfOutputLimit::reason() const
{
    return m_reason;
}

} // namespace quenlith
