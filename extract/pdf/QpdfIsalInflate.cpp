#include "extract/pdf/QpdfIsalInflate.h"

#include <isa-l/igzip_lib.h>
#include <stdexcept>

namespace quenlith {

struct QpdfIsalInflate::State {
    inflate_state stream;
};

QpdfIsalInflate::QpdfIsalInflate(Pipeline *output)
    : Pipeline("ISA-L inflate", output)
    // Not zeroed: isal_inflate_init sets what the state needs, and zeroing 340 KB for each of
    // thousands of small attachments would cost more than inflating them.
    , m_state(new State) // default-initialised, as make_unique_for_overwrite (C++20) would
    , m_output(new unsigned char[outputSize])
{
    isal_inflate_init(&m_state->stream);
    m_state->stream.crc_flag = ISAL_ZLIB; // parse the zlib header, verify the Adler-32
}

QpdfIsalInflate::~QpdfIsalInflate() = default;

void QpdfIsalInflate::reject(std::string why)
{
    m_rejected = true;
    m_rejection = std::move(why);
    throw std::runtime_error("fast inflate: " + m_rejection);
}

void QpdfIsalInflate::write(unsigned char const *data, size_t len)
{
    if (m_rejected)
        throw std::runtime_error("fast inflate: " + m_rejection);
    if (m_ended) {
        // PDF writers often count the end-of-line before "endstream" in /Length.
        for (size_t i = 0; i < len; ++i) {
            const unsigned char c = data[i];
            if (!(c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '\f' || c == 0))
                reject("data after the end of the deflate stream");
        }
        return;
    }
    // ISA-L asks for a preset dictionary only when the header arrives in one piece: check the
    // flag here (FDICT, bit 5 of the second byte) however the input is split.
    if (m_headerBytes < 2 && len > 0) {
        if (m_headerBytes == 1 && (data[0] & 0x20) != 0)
            reject("a preset dictionary");
        if (m_headerBytes == 0 && len > 1 && (data[1] & 0x20) != 0)
            reject("a preset dictionary");
        m_headerBytes += std::min<size_t>(len, 2 - m_headerBytes);
    }
    auto &stream = m_state->stream;
    while (len > 0) {
        // avail_in is 32 bits wide.
        const auto chunk = static_cast<uint32_t>(std::min<size_t>(len, UINT32_MAX));
        stream.next_in = const_cast<uint8_t *>(data);
        stream.avail_in = chunk;
        do {
            stream.next_out = m_output.get();
            stream.avail_out = static_cast<uint32_t>(outputSize);
            const uint32_t inputBefore = stream.avail_in;
            const int status = isal_inflate(&stream);
            const size_t produced = outputSize - stream.avail_out;
            if (status < 0 || status == ISAL_NEED_DICT)
                reject("ISA-L status " + std::to_string(status));
            if (produced == 0 && stream.avail_in == inputBefore && inputBefore > 0)
                reject("no progress"); // never loop on input it will not take
            if (produced > 0)
                getNext()->write(m_output.get(), produced);
            if (stream.block_state == ISAL_BLOCK_FINISH) {
                m_ended = true;
                const size_t rest = stream.avail_in;
                const unsigned char *tail = stream.next_in;
                len -= chunk;
                data += chunk;
                write(tail, rest); // checks the rest of this chunk
                if (len > 0)
                    write(data, len);
                return;
            }
        } while (stream.avail_in > 0 || stream.avail_out == 0);
        data += chunk;
        len -= chunk;
    }
}

void QpdfIsalInflate::finish()
{
    if (m_rejected)
        throw std::runtime_error("fast inflate: " + m_rejection);
    if (!m_ended)
        reject("the deflate stream ends early");
    getNext()->finish();
}

bool QpdfIsalInflate::rejected() const
{
    return m_rejected;
}

const std::string &QpdfIsalInflate::rejection() const
{
    return m_rejection;
}

} // namespace quenlith
