#include "util/GlobPattern.h"

#include "util/Utf8Text.h"

#include <cstdint>

namespace quenlith {

namespace {

// Past the last code point: where a byte that starts no well-formed sequence is kept, so that it
// never equals a real character.
constexpr char32_t strayByteBase = 0x110000;

std::vector<char32_t> codePoints(std::string_view text)
{
    std::vector<char32_t> out;
    out.reserve(text.size());
    for (std::size_t position = 0; position < text.size();) {
        const std::size_t at = position;
        char32_t c = 0;
        if (!nextCodePoint(text, position, c))
            c = strayByteBase + static_cast<unsigned char>(text[at]);
        out.push_back(c);
    }
    return out;
}

} // namespace

char32_t foldedCodePoint(char32_t c)
{
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) // Latin-1
        || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) // Greek
        || (c >= 0x410 && c <= 0x42F)) // Cyrillic
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    if (c == 0x178)
        return 0xFF;
    // Latin Extended-A pairs each capital with the small letter after it.
    const bool evenCapital = (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
    const bool oddCapital = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if ((evenCapital && c % 2 == 0 && c != 0x130) || (oddCapital && c % 2 == 1))
        return c + 1;
    return c;
}

GlobPattern::GlobPattern(std::string_view pattern, bool ignoreCase)
    : m_text(pattern)
    , m_ignoreCase(ignoreCase)
{
    const std::vector<char32_t> p = codePoints(pattern);
    for (std::size_t i = 0; i < p.size(); ++i) {
        Token token;
        token.literal = p[i];
        if (p[i] == U'*') {
            token.kind = Token::Kind::Star;
            if (!m_tokens.empty() && m_tokens.back().kind == Token::Kind::Star)
                continue; // "**" is "*"
        } else if (p[i] == U'?') {
            token.kind = Token::Kind::Any;
        } else if (p[i] == U'\\' && i + 1 < p.size()) {
            token.literal = p[++i];
        } else if (p[i] == U'[') {
            std::size_t j = i + 1;
            token.negated = j < p.size() && (p[j] == U'!' || p[j] == U'^');
            j += token.negated ? 1 : 0;
            for (bool first = true; j < p.size() && (first || p[j] != U']'); first = false) {
                const bool range = j + 2 < p.size() && p[j + 1] == U'-' && p[j + 2] != U']';
                token.ranges.push_back({ p[j], range ? p[j + 2] : p[j] });
                j += range ? 3 : 1;
            }
            if (j < p.size()) { // closed: a class; else the '[' is a literal
                token.kind = Token::Kind::Class;
                i = j;
            } else {
                token.ranges.clear();
                token.negated = false;
            }
        }
        m_tokens.push_back(std::move(token));
    }
}

bool GlobPattern::matchesToken(const Token &token, char32_t c) const
{
    const char32_t folded = m_ignoreCase ? foldedCodePoint(c) : c;
    switch (token.kind) {
    case Token::Kind::Literal:
        return c == token.literal || (m_ignoreCase && folded == foldedCodePoint(token.literal));
    case Token::Kind::Any:
        return true;
    case Token::Kind::Star:
        return false;
    case Token::Kind::Class:
        break;
    }
    bool in = false;
    for (const Range &range : token.ranges) {
        in = in || (c >= range.first && c <= range.last)
            || (m_ignoreCase && folded >= foldedCodePoint(range.first)
                && folded <= foldedCodePoint(range.last));
    }
    return in != token.negated;
}

bool GlobPattern::matches(std::string_view nameText) const
{
    const std::vector<char32_t> name = codePoints(nameText);
    // Greedy, going back only to the last star: a star can always take one more character, so
    // the stars before it need no second try.
    std::size_t t = 0, n = 0;
    std::size_t starToken = SIZE_MAX, starName = 0;
    while (n < name.size()) {
        if (t < m_tokens.size() && m_tokens[t].kind == Token::Kind::Star) {
            starToken = t++;
            starName = n;
        } else if (t < m_tokens.size() && matchesToken(m_tokens[t], name[n])) {
            ++t;
            ++n;
        } else if (starToken != SIZE_MAX) {
            t = starToken + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (t < m_tokens.size() && m_tokens[t].kind == Token::Kind::Star)
        ++t;
    return t == m_tokens.size();
}

} // namespace quenlith
