#pragma once

#include <memory>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFStreamFilter.hh>

namespace quenlith {

// Decodes Brotli data (RFC 7932) as it passes, in bounded pieces whatever the expansion, so that
// memory stays constant. Data that ends before the Brotli stream does, data after its end, and
// damaged data stop the decoding by throwing, which qpdf turns into a failed decode.
class QpdfBrotliDecoder : public Pipeline {
public:
    explicit QpdfBrotliDecoder(Pipeline *output);
    ~QpdfBrotliDecoder() override;
    QpdfBrotliDecoder(const QpdfBrotliDecoder &) = delete;
    QpdfBrotliDecoder &operator=(const QpdfBrotliDecoder &) = delete;

    void write(unsigned char const *data, size_t len) override;
    void finish() override;

    static constexpr std::size_t outputPiece = 64 * 1024; // bytes handed on per call at most

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The /BrotliDecode stream filter, an extension proposed for PDF that newer writers use for
// embedded files: without decode parameters (a predictor is not supported).
class QpdfBrotliFilter : public QPDFStreamFilter {
public:
    bool setDecodeParms(QPDFObjectHandle decodeParms) override;
    Pipeline *getDecodePipeline(Pipeline *next) override;

    // Makes qpdf apply the filter to every stream named /BrotliDecode; once per process, before
    // the first document is read. Safe to call from several threads.
    static void registerWithQpdf();

private:
    std::shared_ptr<Pipeline> m_pipeline;
};

} // namespace quenlith
