#pragma once

#include <string>

namespace quenlith {

// Path texts are UTF-8. A separator is '/' on POSIX systems; on Windows both '\' and '/' are.

bool isPathSeparator(char c) noexcept;

// The separator this platform writes when it joins paths.
char preferredSeparator() noexcept;

// The text after the last separator: the whole text when it has none, the empty text when it
// ends in a separator or is empty.
std::string FileNameOfPath(const std::string &path);

// The path with one separator appended unless it already ends in one. The empty text stays empty.
std::string withTrailingSeparator(const std::string &path);

} // namespace quenlith
