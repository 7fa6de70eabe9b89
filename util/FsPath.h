#pragma once

#include <filesystem>
#include <string>

namespace quenlith {

// Conversions between the UTF-8 path texts of this program and std::filesystem paths.
inline std::filesystem::path pathFromUtf8(const std::string &text)
{
#ifdef _WIN32
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
#else
    return std::filesystem::path(text);
#endif
}

inline std::string utf8FromPath(const std::filesystem::path &path)
{
#ifdef _WIN32
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
#else
    return path.string();
#endif
}

} // namespace quenlith
