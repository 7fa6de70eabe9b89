#include "util/SafeFileName.h"

#include <algorithm>
#include <cctype>

namespace quenlith {

namespace {

// Longest name we create, in bytes: under the 255 most file systems allow, with room left
// for a " (NNN)" duplicate suffix.
constexpr std::size_t maxNameBytes = 200;

std::string lastComponent(const std::string &name)
{
    const std::size_t cut = name.find_last_of("/\\");
    return cut == std::string::npos ? name : name.substr(cut + 1);
}

// Length of the well-formed UTF-8 sequence at `i` (1 to 4), or 0 when the bytes there are not
// one: stray continuation bytes, overlong forms, surrogates, code points above U+10FFFF.
std::size_t utf8SequenceLength(const std::string &s, std::size_t i, char32_t &codePoint)
{
    const auto lead = static_cast<unsigned char>(s[i]);
    std::size_t length = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07u;
    } else {
        return 0;
    }
    if (i + length > s.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(s[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    const char32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (codePoint < smallest || codePoint > 0x10FFFF
        || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

// Characters that must not reach a file name: C0 and C1 controls, DEL, and the invisible marks
// that make a name display differently from what it is ("invoice<RLO>fdp.exe"): bidirectional
// controls, line and paragraph separators, zero-width characters and the byte-order mark.
bool unsafeCodePoint(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || (c >= 0x200B && c <= 0x200F)
        || (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x2069) || c == 0xFEFF;
}

bool forbiddenOnPlatform(char32_t c)
{
#ifdef _WIN32
    return c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' || c == '*';
#else
    (void)c;
    return false;
#endif
}

// Replaces each unsafe character, and each byte that is not part of well-formed UTF-8, by '_'.
std::string replaceUnsafeCharacters(const std::string &name)
{
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        char32_t c = 0;
        const std::size_t length = utf8SequenceLength(name, i, c);
        if (length == 0) {
            out += '_';
            ++i;
            continue;
        }
        if (unsafeCodePoint(c) || forbiddenOnPlatform(c))
            out += '_';
        else
            out.append(name, i, length);
        i += length;
    }
#ifdef _WIN32
    // Windows drops trailing dots and blanks, which would merge distinct names.
    while (!out.empty() && (out.back() == '.' || out.back() == ' '))
        out.back() = '_';
#endif
    return out;
}

// Cuts at a UTF-8 character boundary at or below `limit` bytes.
std::string cutUtf8(const std::string &s, std::size_t limit)
{
    if (s.size() <= limit)
        return s;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80)
        --end;
    return s.substr(0, end);
}

// The extension including its dot, when it is short and plain; otherwise empty.
std::string plainExtension(const std::string &name)
{
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size())
        return {};
    const std::string ext = name.substr(dot);
    if (ext.size() > 11)
        return {};
    const bool plain = std::all_of(ext.begin() + 1, ext.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0;
    });
    return plain ? ext : std::string();
}

std::string shortened(const std::string &name)
{
    if (name.size() <= maxNameBytes)
        return name;
    const std::string ext = plainExtension(name);
    return cutUtf8(name.substr(0, name.size() - ext.size()), maxNameBytes - ext.size()) + ext;
}

#ifdef _WIN32
bool reservedDeviceName(const std::string &name)
{
    std::string stem = name.substr(0, name.find('.'));
    std::transform(stem.begin(), stem.end(), stem.begin(), [](unsigned char c) {
        return static_cast<char>(std::toupper(c));
    });
    static const char *const reserved[] = { "CON",
        "PRN",
        "AUX",
        "NUL",
        "COM1",
        "COM2",
        "COM3",
        "COM4",
        "COM5",
        "COM6",
        "COM7",
        "COM8",
        "COM9",
        "LPT1",
        "LPT2",
        "LPT3",
        "LPT4",
        "LPT5",
        "LPT6",
        "LPT7",
        "LPT8",
        "LPT9" };
    return std::find(std::begin(reserved), std::end(reserved), stem) != std::end(reserved);
}
#endif

} // namespace

namespace {

std::string safeComponent(const std::string &storedName)
{
    std::string name = shortened(replaceUnsafeCharacters(lastComponent(storedName)));
#ifdef _WIN32
    if (reservedDeviceName(name))
        name = "_" + name;
#endif
    return name;
}

} // namespace

std::string safeOutputFolderName(const std::string &storedName)
{
    std::string name = safeComponent(storedName);
    return name.find_first_not_of(". ") == std::string::npos ? "_" : name;
}

std::string safeOutputFileName(const std::string &storedName, int index)
{
    const std::string name = safeComponent(storedName);
    if (!name.empty() && name != "." && name != "..")
        return name;

    // Take the extension of the last non-empty component, e.g. "report.xml/" keeps ".xml".
    std::string stored = storedName;
    while (!stored.empty() && (stored.back() == '/' || stored.back() == '\\'))
        stored.pop_back();
    const std::string ext = replaceUnsafeCharacters(plainExtension(lastComponent(stored)));
    return "attachment-" + std::to_string(index) + ext;
}

std::string numberedName(const std::string &name, int n)
{
    const std::string ext = plainExtension(name);
    const std::string stem = name.substr(0, name.size() - ext.size());
    return stem + " (" + std::to_string(n) + ")" + ext;
}

std::string foldedCase(const std::string &name)
{
    std::string folded = name;
    for (char &c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

OutputNameSet::OutputNameSet(bool foldCase)
    : m_foldCase(foldCase)
{
}

std::string OutputNameSet::comparable(const std::string &name) const
{
    return m_foldCase ? foldedCase(name) : name;
}

bool OutputNameSet::isUsed(const std::string &name) const
{
    return m_used.count(comparable(name)) != 0;
}

void OutputNameSet::reserve(const std::string &name)
{
    m_used.insert(comparable(name));
}

std::string OutputNameSet::nextAlternative(const std::string &safeName)
{
    int &next = m_nextNumber.try_emplace(comparable(safeName), 2).first->second;
    std::string candidate = numberedName(safeName, next);
    while (isUsed(candidate))
        candidate = numberedName(safeName, ++next);
    return candidate;
}

std::string OutputNameSet::claim(const std::string &safeName)
{
    const std::string name = isUsed(safeName) ? nextAlternative(safeName) : safeName;
    reserve(name);
    return name;
}

} // namespace quenlith
