#pragma once

#include <atomic>
#include <memory>
#include <qpdf/InputSource.hh>
#include <string>

namespace quenlith {

// What qpdf reads of a document, passed through from `source` until `stop` is set: from then on
// every read, seek and search for a line end throws Document::Impl::Stopped, so that qpdf's own
// long reads (a large cross-reference table, the reconstruction of a damaged one) end within one
// read of a signal. Stopped is no std::exception, so qpdf's handlers let it pass. `stop` is not
// owned and may be null (never stops).
class QpdfStoppableInput : public InputSource {
public:
    QpdfStoppableInput(std::shared_ptr<InputSource> source, const std::atomic<bool> *stop);

    qpdf_offset_t findAndSkipNextEOL() override;
    std::string const &getName() const override;
    qpdf_offset_t tell() override;
    void seek(qpdf_offset_t offset, int whence) override;
    void rewind() override;
    size_t read(char *into, size_t length) override;
    void unreadCh(char ch) override;

private:
    void checkStop() const;

    std::shared_ptr<InputSource> m_source;
    const std::atomic<bool> *m_stop;
};

} // namespace quenlith
