#include "extract/pdf/QpdfJoinedInput.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace quenlith {

QpdfJoinedInput::QpdfJoinedInput(
    std::string name, std::string_view head, std::string tail, std::shared_ptr<void> owner)
    : m_name(std::move(name))
    , m_head(head)
    , m_tail(std::move(tail))
    , m_owner(std::move(owner))
{
}

char QpdfJoinedInput::at(std::size_t position) const
{
    return position < m_head.size() ? m_head[position] : m_tail[position - m_head.size()];
}

std::size_t QpdfJoinedInput::size() const
{
    return m_head.size() + m_tail.size();
}

// As qpdf's own sources: returns where the end of line starts and moves past all of it.
qpdf_offset_t QpdfJoinedInput::findAndSkipNextEOL()
{
    const std::size_t end = size();
    std::size_t p = std::min(m_position, end);
    while (p < end && at(p) != '\r' && at(p) != '\n')
        ++p;
    const std::size_t eol = p;
    while (p < end && (at(p) == '\r' || at(p) == '\n'))
        ++p;
    m_position = p;
    if (eol == end)
        last_offset = static_cast<qpdf_offset_t>(end);
    return static_cast<qpdf_offset_t>(eol);
}

std::string const &QpdfJoinedInput::getName() const
{
    return m_name;
}

qpdf_offset_t QpdfJoinedInput::tell()
{
    return static_cast<qpdf_offset_t>(m_position);
}

void QpdfJoinedInput::seek(qpdf_offset_t offset, int whence)
{
    qpdf_offset_t base = 0;
    if (whence == SEEK_CUR)
        base = static_cast<qpdf_offset_t>(m_position);
    else if (whence == SEEK_END)
        base = static_cast<qpdf_offset_t>(size());
    if ((offset < 0 && base < -offset) || (offset > 0 && base > INT64_MAX - offset))
        throw std::range_error(m_name + ": seek before the beginning or past any end");
    m_position = static_cast<std::size_t>(base + offset);
}

void QpdfJoinedInput::rewind()
{
    m_position = 0;
}

size_t QpdfJoinedInput::read(char *into, size_t length)
{
    last_offset = static_cast<qpdf_offset_t>(m_position);
    std::size_t done = 0;
    if (m_position < m_head.size()) {
        done = std::min(length, m_head.size() - m_position);
        std::memcpy(into, m_head.data() + m_position, done);
    }
    const std::size_t from = m_position + done; // at or past the head's end once done
    if (done < length && from >= m_head.size() && from - m_head.size() < m_tail.size()) {
        const std::size_t inTail = from - m_head.size();
        const std::size_t more = std::min(length - done, m_tail.size() - inTail);
        std::memcpy(into + done, m_tail.data() + inTail, more);
        done += more;
    }
    m_position += done;
    return done;
}

void QpdfJoinedInput::unreadCh(char)
{
    if (m_position > 0)
        --m_position;
}

} // namespace quenlith
