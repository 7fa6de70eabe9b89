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

// Bidirectional controls (U+200E, U+200F, U+202A..U+202E, U+2066..U+2069) let a name display
// differently from what it is, e.g. "invoice<RLO>fdp.exe".
std::size_t bidiControlLength(const std::string &s, std::size_t i)
{
    if (i + 2 >= s.size() || static_cast<unsigned char>(s[i]) != 0xE2)
        return 0;
    const auto b1 = static_cast<unsigned char>(s[i + 1]);
    const auto b2 = static_cast<unsigned char>(s[i + 2]);
    if (b1 == 0x80 && (b2 == 0x8E || b2 == 0x8F || (b2 >= 0xAA && b2 <= 0xAE)))
        return 3;
    if (b1 == 0x81 && b2 >= 0xA6 && b2 <= 0xA9)
        return 3;
    return 0;
}

bool forbiddenOnPlatform(unsigned char c)
{
#ifdef _WIN32
    return c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' || c == '*';
#else
    (void)c;
    return false;
#endif
}

std::string replaceUnsafeCharacters(const std::string &name)
{
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (const std::size_t n = bidiControlLength(name, i)) {
            out += '_';
            i += n;
        } else if (c < 0x20 || c == 0x7F || forbiddenOnPlatform(c)) {
            out += '_';
            ++i;
        } else {
            out += name[i];
            ++i;
        }
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
    static const char *const reserved[] = {"CON", "PRN", "AUX", "NUL", "COM1", "COM2", "COM3",
        "COM4", "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5",
        "LPT6", "LPT7", "LPT8", "LPT9"};
    return std::find(std::begin(reserved), std::end(reserved), stem) != std::end(reserved);
}
#endif

} // namespace

std::string safeOutputFileName(const std::string &storedName, int index)
{
    std::string name = shortened(replaceUnsafeCharacters(lastComponent(storedName)));
#ifdef _WIN32
    if (reservedDeviceName(name))
        name = "_" + name;
#endif
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

std::string OutputNameSet::comparable(const std::string &name)
{
#if defined(_WIN32) || defined(__APPLE__)
    // These file systems ignore case by default: "A.xml" and "a.xml" are one file there.
    std::string folded = name;
    std::transform(folded.begin(), folded.end(), folded.begin(), [](unsigned char c) {
        return static_cast<char>(std::tolower(c));
    });
    return folded;
#else
    return name;
#endif
}

std::string OutputNameSet::claim(const std::string &safeName)
{
    std::string candidate = safeName;
    for (int n = 2; m_used.count(comparable(candidate)) != 0; ++n)
        candidate = numberedName(safeName, n);
    m_used.insert(comparable(candidate));
    return candidate;
}

} // namespace quenlith
