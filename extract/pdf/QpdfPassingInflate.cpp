#include "extract/pdf/QpdfPassingInflate.h"

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <string>
#include <zlib.h>

namespace quenlith {

PassingSink::PassingSink(const char *name)
    : Pipeline(name, nullptr)
{
}

void PassingSink::write(unsigned char const *data, size_t len)
{
    if (m_ended)
        passOver(len);
    else if (!take(reinterpret_cast<const char *>(data), len))
        m_ended = true;
}

void PassingSink::finish()
{
}

void PassingSink::passOver(std::size_t len)
{
    m_passedOver += len;
    if (m_passedOver > maxPassedOver)
        throw std::runtime_error("the reading ended");
}

constexpr uInt firstBlockSize = 512;

struct QpdfPassingInflate::State {
    z_stream stream {};
    bool initialised = false;
    // Small, so that a sink that ends after its first bytes leaves the rest undecoded.
    unsigned char block[4096];
};

QpdfPassingInflate::QpdfPassingInflate(PassingSink &sink)
    : Pipeline("passing inflate", &sink)
    , m_state(new State) // the block needs no zeroing
    , m_sink(sink)
{
    m_state->initialised = inflateInit(&m_state->stream) == Z_OK;
}

QpdfPassingInflate::~QpdfPassingInflate()
{
    if (m_state->initialised)
        inflateEnd(&m_state->stream);
}

void QpdfPassingInflate::write(unsigned char const *data, size_t len)
{
    if (m_sink.ended()) {
        m_sink.passOver(len);
        return;
    }
    if (m_streamEnded)
        return; // what follows the end (white space before "endstream", mostly) is no data
    if (!m_state->initialised)
        throw std::runtime_error("inflate: out of memory");
    z_stream &z = m_state->stream;
    while (len > 0 && !m_sink.ended() && !m_streamEnded) {
        const auto chunk = static_cast<uInt>(std::min<size_t>(len, UINT_MAX));
        z.next_in = const_cast<Bytef *>(data);
        z.avail_in = chunk;
        do {
            // The first block is smaller still: most sinks decide on their first few bytes.
            const uInt blockSize = z.total_out == 0 ? firstBlockSize : sizeof m_state->block;
            z.next_out = m_state->block;
            z.avail_out = blockSize;
            const int status = inflate(&z, Z_NO_FLUSH);
            const size_t produced = blockSize - z.avail_out;
            if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
                throw std::runtime_error(std::string("inflate: ")
                    + (z.msg != nullptr ? z.msg : "error " + std::to_string(status)));
            if (produced > 0)
                m_sink.write(m_state->block, produced);
            if (status == Z_STREAM_END) {
                m_streamEnded = true;
                break;
            }
            if (status == Z_BUF_ERROR && produced == 0)
                break; // needs more input
        } while ((z.avail_in > 0 || z.avail_out == 0) && !m_sink.ended());
        data += chunk;
        len -= chunk;
    }
}

void QpdfPassingInflate::finish()
{
    if (!m_sink.ended() && !m_streamEnded)
        throw std::runtime_error("inflate: the deflate stream ends early");
    m_sink.finish();
}

} // namespace quenlith
