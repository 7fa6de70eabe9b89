#include "extract/output/Digest.h"

#include <openssl/evp.h>
#include <stdexcept>

namespace quenlith {

struct Digest::Context {
    EVP_MD_CTX *context = nullptr;
    ~Context()
    {
        EVP_MD_CTX_free(context);
    }
};

Digest::Digest(Kind kind)
    : m_context(std::make_unique<Context>())
{
    m_context->context = EVP_MD_CTX_new();
    const EVP_MD *method = kind == Kind::Md5 ? EVP_md5() : EVP_sha256();
    if (m_context->context == nullptr || method == nullptr
        || EVP_DigestInit_ex(m_context->context, method, nullptr) != 1)
        throw std::runtime_error("cannot start a checksum");
}

Digest::~Digest() = default;

void Digest::update(const void *data, std::size_t size)
{
    if (EVP_DigestUpdate(m_context->context, data, size) != 1)
        throw std::runtime_error("cannot compute a checksum");
}

std::string Digest::finish()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(m_context->context, digest, &size) != 1)
        throw std::runtime_error("cannot compute a checksum");
    return std::string(reinterpret_cast<const char *>(digest), size);
}

std::string Digest::hex(const std::string &raw)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(raw.size() * 2);
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

} // namespace quenlith
