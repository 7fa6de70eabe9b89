#pragma once

#include <memory>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFStreamFilter.hh>
#include <string>
#include <vector>

namespace quenlith {

// Warnings that decoders inside qpdf's pipelines raise, having no QPDF object to tell: while one
// of these lives, raise() on its thread records them in it. One per decoding, on its thread.
class DecodeNotices {
public:
    DecodeNotices();
    ~DecodeNotices();
    DecodeNotices(const DecodeNotices &) = delete;
    DecodeNotices &operator=(const DecodeNotices &) = delete;

    // Records `text` in the innermost DecodeNotices of this thread; nothing when there is none.
    static void raise(std::string text);
    // The last notice raised; empty when none.
    const std::string &last() const;

private:
    std::string m_last;
    DecodeNotices *m_outer;
};

// Decodes RunLength data (ISO 32000-1 7.4.5) as it passes, bytes after the end-of-data marker
// ignored. Data that ends without that marker (128) was cut: finish() raises a DecodeNotice, since
// the bytes decoded so far may be the whole file only when its declared checksum says so.
class QpdfRunLengthDecoder : public Pipeline {
public:
    explicit QpdfRunLengthDecoder(Pipeline *output);
    void write(unsigned char const *data, size_t len) override;
    void finish() override;

private:
    void flush();

    std::vector<unsigned char> m_out; // decoded bytes not handed on yet
    int m_literal = 0; // literal bytes still to copy
    int m_repeat = 0; // copies of the next byte to make; 0: none pending
    bool m_ended = false; // the end-of-data marker passed
};

// The /RunLengthDecode filter (/RL), in place of qpdf's own, which takes data without its
// end-of-data marker for whole.
class QpdfRunLengthFilter : public QPDFStreamFilter {
public:
    Pipeline *getDecodePipeline(Pipeline *next) override;
    bool isSpecializedCompression() override; // as qpdf's: decoded from qpdf_dl_specialized on

    // Makes qpdf use it for every RunLength stream; once per process, before the first document
    // is read. Safe to call from several threads.
    static void registerWithQpdf();

private:
    std::shared_ptr<Pipeline> m_pipeline;
};

} // namespace quenlith
