#include "tests/support/FileDigest.h"

#include <fstream>
#include <qpdf/QPDFCryptoImpl.hh>
#include <qpdf/QPDFCryptoProvider.hh>
#include <qpdf/QUtil.hh>
#include <vector>

namespace quenlith::fixtures {

std::string sha256OfFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    auto sha = QPDFCryptoProvider::getImpl();
    sha->SHA2_init(256);
    std::vector<char> buffer(1 << 16);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got > 0)
            sha->SHA2_update(reinterpret_cast<const unsigned char *>(buffer.data()), got);
    }
    if (in.bad())
        return {};
    sha->SHA2_finalize();
    return QUtil::hex_encode(sha->SHA2_digest());
}

std::string sha256Of(const std::string &data)
{
    auto sha = QPDFCryptoProvider::getImpl();
    sha->SHA2_init(256);
    sha->SHA2_update(reinterpret_cast<const unsigned char *>(data.data()), data.size());
    sha->SHA2_finalize();
    return QUtil::hex_encode(sha->SHA2_digest());
}

std::string md5Of(const std::string &data)
{
    auto md5 = QPDFCryptoProvider::getImpl();
    md5->MD5_init();
    md5->MD5_update(reinterpret_cast<const unsigned char *>(data.data()), data.size());
    md5->MD5_finalize();
    QPDFCryptoImpl::MD5_Digest digest;
    md5->MD5_digest(digest);
    return std::string(reinterpret_cast<const char *>(digest), sizeof(digest));
}

} // namespace quenlith::fixtures
