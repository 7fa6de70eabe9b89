#pragma once

#include <string>

namespace quenlith::fixtures {

// SHA-256 of a file's bytes as 64 lowercase hex digits; the empty text when it cannot be read.
std::string sha256OfFile(const std::string &path);

// SHA-256 of `data` as 64 lowercase hex digits.
std::string sha256Of(const std::string &data);

// MD5 of `data`, 16 raw bytes, as /Params /CheckSum stores it.
std::string md5Of(const std::string &data);

} // namespace quenlith::fixtures
