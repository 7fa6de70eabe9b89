#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace quenlith::fixtures {

// `text` with every '/' as the platform's separator.
std::string nativeSeparators(std::string text);

// The bytes of the file at `path`; empty when it cannot be read.
std::string readFile(const std::filesystem::path &path);

// Every regular file below `folder` (unfinished ".part" files too), by its path relative to
// `folder` with '/' separators, with its bytes.
std::map<std::string, std::string> filesBelow(const std::filesystem::path &folder);

} // namespace quenlith::fixtures
