#include "util/PdfFileName.h"

namespace quenlith {

std::string trimSpaces(const std::string &text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') + 1 - first);
}

bool isPdfFileName(const std::string &name)
{
    const std::string trimmed = trimSpaces(name);
    if (trimmed.size() < 4)
        return false;
    static constexpr char pdf[] = ".pdf";
    for (std::size_t i = 0; i < 4; ++i) {
        char c = trimmed[trimmed.size() - 4 + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != pdf[i])
            return false;
    }
    return true;
}

} // namespace quenlith
