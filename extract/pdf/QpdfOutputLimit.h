#pragma once

#include <cstdint>
#include <qpdf/Pipeline.hh>
#include <string>

namespace quenlith {

// Passes decoded data on until more than `limit` bytes came, then stops the decoding by throwing
// (qpdf turns that into a failed decode) and remembers why, so that a small stream that expands
// without bound is stopped while it is written, not after.
class QpdfOutputLimit : public Pipeline {
public:
    // `reason` is what exceeded() reports, e.g. "stopped: expands past the size limit".
    QpdfOutputLimit(Pipeline *output, std::uint64_t limit, std::string reason);

    void write(unsigned char const *data, size_t len) override;
    void finish() override;

    bool exceeded() const;
    const std::string &reason() const;

private:
    std::uint64_t m_limit;
    std::uint64_t m_bytes = 0;
    std::string m_reason;
    bool m_exceeded = false;
};

} // namespace quenlith
