#include "util/registry.h"

namespace quenlith {

bool isPathSeparator(char c) noexcept
{
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

char preferredSeparator() noexcept
{
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

std::string FileNameOfPath(const std::string &path)
{
    for (std::size_t i = path.size(); i > 0; --i) {
        if (isPathSeparator(path[i - 1]))
            return path.substr(i);
    }
    return path;
}

std::string withTrailingSeparator(const std::string &path)
{
    if (path.empty() || isPathSeparator(path.back()))
        return path;
    return path + preferredSeparator();
}

} // namespace quenlith
