#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quenlith {

// A shell-style pattern matched against a whole name, one Unicode code point at a time (UTF-8;
// a byte that starts no well-formed sequence is a character of its own, matched only by `?`,
// `*` or a negated class): `*` any run of characters, `/` included (names are not paths), `?`
// one character, `[abc]`, `[a-z]` one of those, `[!a-z]` or `[^a-z]` one not among them, `]`
// first in a class stands for itself; `\` takes the next character literally. A `[` without its
// `]` is a literal `[`. Case-insensitive matching folds the letters of the Latin, Greek and
// Cyrillic alphabets. Matching takes time proportional to the name's length times the
// pattern's, never more.
class GlobPattern {
public:
    explicit GlobPattern(std::string_view pattern, bool ignoreCase = false);

    bool matches(std::string_view name) const;
    const std::string &text() const
    {
        return m_text;
    }

private:
    struct Range {
        char32_t first;
        char32_t last;
    };
    struct Token {
        enum class Kind { Literal, Any, Star, Class } kind = Kind::Literal;
        char32_t literal = 0;
        bool negated = false;
        std::vector<Range> ranges;
    };
    bool matchesToken(const Token &token, char32_t c) const;

    std::string m_text;
    bool m_ignoreCase;
    std::vector<Token> m_tokens;
};

// The lower-case form of a letter of the Latin, Greek or Cyrillic alphabets; others unchanged.
char32_t foldedCodePoint(char32_t c);

} // namespace quenlith
