#include "tests/support/FileContents.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace quenlith::fixtures {

std::string nativeSeparators(std::string text)
{
    std::replace(text.begin(), text.end(), '/', std::filesystem::path::preferred_separator);
    return text;
}

std::string readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

std::map<std::string, std::string> filesBelow(const std::filesystem::path &folder)
{
    std::map<std::string, std::string> files;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            files[entry.path().lexically_relative(folder).generic_string()]
                = readFile(entry.path());
    }
    return files;
}

} // namespace quenlith::fixtures
