#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace quenlith {

// A streaming MD5 or SHA-256 through OpenSSL's EVP interface, which uses the CPU's hash
// instructions where there are any (SHA-256 runs at well over 1 GB/s on current x86).
class Digest {
public:
    enum class Kind { Md5, Sha256 };

    explicit Digest(Kind kind); // throws std::runtime_error when OpenSSL cannot provide it
    ~Digest();
    Digest(const Digest &) = delete;
    Digest &operator=(const Digest &) = delete;

    void update(const void *data, std::size_t size);
    // The digest as raw bytes (16 for MD5, 32 for SHA-256); call once, after the last update.
    std::string finish();

    static std::string hex(const std::string &raw); // lowercase hex digits

private:
    struct Context;
    std::unique_ptr<Context> m_context;
};

} // namespace quenlith
