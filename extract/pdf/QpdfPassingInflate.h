#pragma once

#include <cstddef>
#include <memory>
#include <qpdf/Pipeline.hh>

namespace quenlith {

// The end of a decoding for data read in passing (the invoice XML), which often has what it
// wants long before the data ends. Once it has, the rest is passed over; past maxPassedOver
// bytes the decoding is stopped by throwing (qpdf reports that as a failed decode), since an
// exception costs more than skipping a few KiB.
class PassingSink : public Pipeline {
public:
    explicit PassingSink(const char *name);

    void write(unsigned char const *data, size_t len) final;
    void finish() override;

    // The sink wants no more data.
    bool ended() const
    {
        return m_ended;
    }
    // Counts `len` bytes skipped after the end, and throws once they pass maxPassedOver.
    void passOver(std::size_t len);

    static constexpr std::size_t maxPassedOver = 256 * 1024;

protected:
    // Takes the next piece of data; false once the sink wants no more.
    virtual bool take(const char *data, std::size_t len) = 0;

private:
    bool m_ended = false;
    std::size_t m_passedOver = 0;
};

// Inflates a zlib stream into a PassingSink in blocks of a few KiB, and inflates no further once
// the sink has ended. Damage (a bad header, block or checksum, a stream that ends early) throws
// with zlib's reason.
class QpdfPassingInflate : public Pipeline {
public:
    explicit QpdfPassingInflate(PassingSink &sink);
    ~QpdfPassingInflate() override;
    QpdfPassingInflate(const QpdfPassingInflate &) = delete;
    QpdfPassingInflate &operator=(const QpdfPassingInflate &) = delete;

    void write(unsigned char const *data, size_t len) override;
    void finish() override;

private:
    struct State;

    std::unique_ptr<State> m_state;
    PassingSink &m_sink;
    bool m_streamEnded = false;
};

} // namespace quenlith
