#pragma once

#include <cstddef>
#include <memory>
#include <qpdf/Pipeline.hh>
#include <string>

namespace quenlith {

// Inflates a zlib stream (RFC 1950: header, deflate data, Adler-32) with ISA-L, which is about
// three times as fast as zlib, and passes the output on in blocks of outputSize bytes.
//
// It accepts only a clean stream: a valid header, a final block, a matching Adler-32 and
// nothing after it but PDF white space. Anything else (damage, truncation, a preset dictionary,
// trailing data) makes it stop at once by throwing, with rejected() true: the caller then
// decodes the stream again through qpdf's own decoder, so that such streams keep exactly the
// result qpdf gives them, warnings included.
class QpdfIsalInflate : public Pipeline {
public:
    explicit QpdfIsalInflate(Pipeline *output);
    ~QpdfIsalInflate() override;
    QpdfIsalInflate(const QpdfIsalInflate &) = delete;
    QpdfIsalInflate &operator=(const QpdfIsalInflate &) = delete;

    void write(unsigned char const *data, size_t len) override;
    // Checks that the stream ended cleanly, then finishes the next stage.
    void finish() override;

    // The stream is not one this inflater accepts; why, for tests and diagnostics.
    bool rejected() const;
    const std::string &rejection() const;

    static constexpr std::size_t outputSize = 256 * 1024;

private:
    struct State;

    [[noreturn]] void reject(std::string why);

    std::unique_ptr<State> m_state;
    std::unique_ptr<unsigned char[]> m_output;
    std::size_t m_headerBytes = 0; // of the two zlib header bytes, those seen
    bool m_ended = false; // the final block and the checksum were read
    bool m_rejected = false;
    std::string m_rejection;
};

} // namespace quenlith
