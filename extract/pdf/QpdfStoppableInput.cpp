#include "extract/pdf/QpdfStoppableInput.h"

#include "extract/pdf/QpdfDocument.h"

namespace quenlith {

QpdfStoppableInput::QpdfStoppableInput(
    std::shared_ptr<InputSource> source, const std::atomic<bool> *stop)
    : m_source(std::move(source))
    , m_stop(stop)
{
}

void QpdfStoppableInput::checkStop() const
{
    if (m_stop != nullptr && m_stop->load(std::memory_order_relaxed))
        throw Document::Impl::Stopped {};
}

qpdf_offset_t QpdfStoppableInput::findAndSkipNextEOL()
{
    checkStop();
    const qpdf_offset_t eol = m_source->findAndSkipNextEOL();
    last_offset = m_source->getLastOffset(); // qpdf's tokenizer asks this source, not the inner
    return eol;
}

std::string const &QpdfStoppableInput::getName() const
{
    return m_source->getName();
}

qpdf_offset_t QpdfStoppableInput::tell()
{
    return m_source->tell();
}

void QpdfStoppableInput::seek(qpdf_offset_t offset, int whence)
{
    checkStop();
    m_source->seek(offset, whence);
}

void QpdfStoppableInput::rewind()
{
    m_source->rewind();
}

size_t QpdfStoppableInput::read(char *into, size_t length)
{
    checkStop();
    const size_t done = m_source->read(into, length);
    last_offset = m_source->getLastOffset();
    return done;
}

void QpdfStoppableInput::unreadCh(char ch)
{
    m_source->unreadCh(ch);
}

} // namespace quenlith
