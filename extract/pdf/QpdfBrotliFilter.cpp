#include "extract/pdf/QpdfBrotliFilter.h"

#include <brotli/decode.h>
#include <mutex>
#include <qpdf/QPDF.hh>
#include <stdexcept>
#include <vector>

namespace quenlith {

struct QpdfBrotliDecoder::State {
    BrotliDecoderState *decoder = nullptr;
    std::vector<unsigned char> output = std::vector<unsigned char>(outputPiece);
    bool ended = false; // the Brotli stream is complete
};

QpdfBrotliDecoder::QpdfBrotliDecoder(Pipeline *output)
    : Pipeline("brotli decode", output)
    , m_state(std::make_unique<State>())
{
    m_state->decoder = BrotliDecoderCreateInstance(nullptr, nullptr, nullptr);
    if (m_state->decoder == nullptr)
        throw std::bad_alloc();
}

QpdfBrotliDecoder::~QpdfBrotliDecoder()
{
    BrotliDecoderDestroyInstance(m_state->decoder);
}

void QpdfBrotliDecoder::write(unsigned char const *data, size_t len)
{
    auto &s = *m_state;
    if (len == 0)
        return;
    if (s.ended)
        throw std::runtime_error("Brotli: data after the end of the compressed stream");
    std::size_t availableIn = len;
    const std::uint8_t *nextIn = data;
    for (;;) {
        std::size_t availableOut = s.output.size();
        std::uint8_t *nextOut = s.output.data();
        const auto result = BrotliDecoderDecompressStream(
            s.decoder, &availableIn, &nextIn, &availableOut, &nextOut, nullptr);
        const std::size_t produced = s.output.size() - availableOut;
        if (produced > 0)
            getNext()->write(s.output.data(), produced);
        switch (result) {
        case BROTLI_DECODER_RESULT_ERROR:
            throw std::runtime_error(std::string("Brotli: ")
                + BrotliDecoderErrorString(BrotliDecoderGetErrorCode(s.decoder)));
        case BROTLI_DECODER_RESULT_SUCCESS:
            s.ended = true;
            if (availableIn > 0)
                throw std::runtime_error("Brotli: data after the end of the compressed stream");
            return;
        case BROTLI_DECODER_RESULT_NEEDS_MORE_INPUT:
            return;
        case BROTLI_DECODER_RESULT_NEEDS_MORE_OUTPUT:
            break;
        }
    }
}

void QpdfBrotliDecoder::finish()
{
    if (!m_state->ended)
        throw std::runtime_error("Brotli: the compressed data ends early");
    getNext()->finish();
}

bool QpdfBrotliFilter::setDecodeParms(QPDFObjectHandle decodeParms)
{
    return decodeParms.isNull() || (decodeParms.isDictionary() && decodeParms.getKeys().empty());
}

Pipeline *QpdfBrotliFilter::getDecodePipeline(Pipeline *next)
{
    m_pipeline = std::make_shared<QpdfBrotliDecoder>(next);
    return m_pipeline.get();
}

void QpdfBrotliFilter::registerWithQpdf()
{
    static std::once_flag once;
    std::call_once(once, [] {
        QPDF::registerStreamFilter(
            "/BrotliDecode", [] { return std::make_shared<QpdfBrotliFilter>(); });
    });
}

} // namespace quenlith
