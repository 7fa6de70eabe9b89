#include "extract/pdf/QpdfEmbeddedFileCrypt.h"

#include "extract/pdf/BlockGathering.h"

#include <cstring>
#include <memory>
#include <optional>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFCryptoProvider.hh>
#include <stdexcept>

namespace quenlith {

namespace {

// Decrypts what it is given and passes it on: RC4 as it comes, AES-CBC in 16-byte blocks, the
// first of which is the initialization vector, the last one's PKCS#5 padding removed at the end.
class DecryptingPipeline : public Pipeline {
public:
    DecryptingPipeline(Pipeline *output, bool aes, const std::string &key)
        : Pipeline("embedded file decryption", output)
        , m_aes(aes)
        , m_key(key)
        , m_crypto(QPDFCryptoProvider::getImpl())
    {
        if (!m_aes)
            m_crypto->RC4_init(reinterpret_cast<const unsigned char *>(m_key.data()),
                static_cast<int>(m_key.size()));
    }

    ~DecryptingPipeline() override
    {
        try {
            if (!m_aes)
                m_crypto->RC4_finalize();
            else if (m_started)
                m_crypto->rijndael_finalize();
        } catch (...) {
        }
    }

    void write(unsigned char const *data, size_t len) override
    {
        if (!m_aes) {
            while (len > 0) {
                unsigned char out[4096];
                const std::size_t n = std::min(len, sizeof(out));
                m_crypto->RC4_process(data, n, out);
                getNext()->write(out, n);
                data += n;
                len -= n;
            }
            return;
        }
        gatherIntoBlocks(
            data, len, blockSize, m_used, [this] { return m_block; }, [this] { takeBlock(); });
    }

    void finish() override
    {
        if (m_aes) {
            if (m_used != 0 || !m_started)
                throw std::runtime_error("the encrypted data is not a whole number of AES blocks");
            if (m_held) {
                // PKCS#5: the last block ends in n bytes of value n (ISO 32000-1 7.6.2).
                const unsigned padding = m_plain[blockSize - 1];
                bool valid = padding >= 1 && padding <= blockSize;
                for (unsigned i = 1; valid && i <= padding; ++i)
                    valid = m_plain[blockSize - i] == padding;
                if (!valid)
                    throw std::runtime_error("the encrypted data has no valid AES padding");
                getNext()->write(m_plain, blockSize - padding);
                m_held = false;
            }
        }
        getNext()->finish();
    }

private:
    static constexpr std::size_t blockSize = 16;

    void takeBlock()
    {
        m_used = 0;
        if (!m_started) {
            std::memcpy(m_chain, m_block, blockSize);
            m_crypto->rijndael_init(false,
                reinterpret_cast<const unsigned char *>(m_key.data()),
                m_key.size(),
                true,
                m_chain);
            m_started = true;
            return;
        }
        // The block before is passed on only now: the last one loses its padding.
        if (m_held)
            getNext()->write(m_plain, blockSize);
        m_crypto->rijndael_process(m_block, m_plain);
        m_held = true;
    }

    bool m_aes;
    std::string m_key;
    std::shared_ptr<QPDFCryptoImpl> m_crypto;
    unsigned char m_block[blockSize] = {};
    unsigned char m_chain[blockSize] = {}; // the CBC state, updated by the crypto provider
    unsigned char m_plain[blockSize] = {};
    std::size_t m_used = 0;
    bool m_started = false; // the initialization vector was read
    bool m_held = false; // m_plain holds a decrypted block not yet passed on
};

// Passes everything on, but a failure of finish() after it is held back and thrown only by
// rethrow(), once the pipeline before it is done: qpdf finishes a failed pipeline once more.
class FinishGuard : public Pipeline {
public:
    explicit FinishGuard(Pipeline *output)
        : Pipeline("finish guard", output)
    {
    }

    void write(unsigned char const *data, size_t len) override
    {
        getNext()->write(data, len);
    }

    void finish() override
    {
        if (m_finished)
            return;
        m_finished = true;
        try {
            getNext()->finish();
        } catch (std::exception &e) {
            m_failure = e.what();
            m_failed = true;
        } catch (...) {
            m_failure = "unknown failure";
            m_failed = true;
        }
    }

    void rethrow() const
    {
        if (m_failed)
            throw std::runtime_error(m_failure);
    }

private:
    bool m_finished = false;
    bool m_failed = false;
    std::string m_failure;
};

// The stored data of a stream, decrypted by qpdf, or by DecryptingPipeline when given a key.
class DecryptedData : public QPDFObjectHandle::StreamDataProvider {
public:
    DecryptedData(QPDFObjectHandle stream, std::optional<std::pair<bool, std::string>> ownCipher)
        : StreamDataProvider(true)
        , m_stream(std::move(stream))
        , m_ownCipher(std::move(ownCipher))
    {
    }

    bool provideStreamData(
        QPDFObjGen const &, Pipeline *pipeline, bool suppressWarnings, bool willRetry) override
    {
        std::optional<DecryptingPipeline> decrypt;
        if (m_ownCipher)
            decrypt.emplace(pipeline, m_ownCipher->first, m_ownCipher->second);
        FinishGuard guard(decrypt ? &*decrypt : pipeline);
        // With /StmF /Identity qpdf's own decryption leaves the stored bytes as they are.
        const bool piped = m_stream.pipeStreamData(
            &guard, nullptr, 0, qpdf_dl_none, suppressWarnings, willRetry);
        guard.rethrow();
        return piped;
    }

private:
    QPDFObjectHandle m_stream;
    std::optional<std::pair<bool, std::string>> m_ownCipher; // AES or RC4, and the key
};

QPDFObjectHandle viewOf(QPDF &pdf, QPDFObjectHandle stream, std::shared_ptr<DecryptedData> data)
{
    auto view = pdf.newStream();
    auto dict = stream.getDict();
    view.replaceStreamData(std::move(data), dict.getKey("/Filter"), dict.getKey("/DecodeParms"));
    return view;
}

bool hasCryptFilter(QPDFObjectHandle filter)
{
    if (filter.isName())
        return filter.getName() == "/Crypt";
    if (filter.isArray())
        for (int i = 0; i < filter.getArrayNItems(); ++i)
            if (filter.getArrayItem(i).isNameAndEquals("/Crypt"))
                return true;
    return false;
}

} // namespace

EmbeddedFileCrypt EmbeddedFileCrypt::forStream(QPDF &pdf, QPDFObjectHandle stream)
{
    EmbeddedFileCrypt crypt;
    int R = 0;
    int P = 0;
    int V = 0;
    QPDF::encryption_method_e streamMethod = QPDF::e_none;
    QPDF::encryption_method_e stringMethod = QPDF::e_none;
    QPDF::encryption_method_e fileMethod = QPDF::e_none;
    if (!pdf.isEncrypted(R, P, V, streamMethod, stringMethod, fileMethod) || V < 4)
        return crypt; // one method for everything, which qpdf applies
    // qpdf applies the crypt filter that a /Crypt filter names (ISO 32000-1 7.6.5.3).
    if (hasCryptFilter(stream.getDict().getKey("/Filter")))
        return crypt;
    // qpdf would guess AES and give whatever that makes of the bytes.
    if (streamMethod == QPDF::e_unknown) {
        crypt.action = Action::Refuse;
        crypt.reason = "cannot decrypt the data: its crypt filter (/StmF) is of an unknown kind";
        return crypt;
    }
    if (fileMethod == streamMethod)
        return crypt;
    if (streamMethod != QPDF::e_none) {
        crypt.action = Action::Refuse;
        crypt.reason = "cannot decrypt the data: embedded files and other streams are encrypted "
                       "with different crypt filters";
        return crypt;
    }
    if (fileMethod == QPDF::e_unknown) {
        crypt.action = Action::Refuse;
        crypt.reason = "cannot decrypt the data: its crypt filter (/EFF) is of an unknown kind";
        return crypt;
    }
    crypt.action = Action::Decrypt;
    crypt.aes = fileMethod != QPDF::e_rc4;
    crypt.key = QPDF::compute_data_key(pdf.getEncryptionKey(),
        stream.getObjectID(),
        stream.getGeneration(),
        fileMethod == QPDF::e_aes,
        V,
        R);
    return crypt;
}

QPDFObjectHandle EmbeddedFileCrypt::decryptedView(QPDF &pdf, QPDFObjectHandle stream) const
{
    return viewOf(pdf, stream, std::make_shared<DecryptedData>(stream, std::pair(aes, key)));
}

QPDFObjectHandle EmbeddedFileCrypt::guardedView(QPDF &pdf, QPDFObjectHandle stream)
{
    return viewOf(pdf, stream, std::make_shared<DecryptedData>(stream, std::nullopt));
}

} // namespace quenlith
