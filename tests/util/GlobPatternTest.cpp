#include "util/GlobPattern.h"

#include <gtest/gtest.h>

namespace quenlith {
namespace {

TEST(GlobPattern, MatchesWholeNamesByCodePoint)
{
    const std::string e = "\xC3\xA9", E = "\xC3\x89", zhe = "\xD0\xB6", ZHE = "\xD0\x96";
    const struct {
        const char *what;
        std::string pattern;
        std::string name;
        bool ignoreCase;
        bool matches;
    } rows[] = {
        { "star spans all", "*.xml", "a/b.xml", false, true },
        { "whole name only", "*.xml", "a.xml.bak", false, false },
        { "empty star", "a*b", "ab", false, true },
        { "backtracking star", "*a*b*c", "xaxbxbxc", false, true },
        { "many stars fail fast", "*a*a*a*a*a*a*b", std::string(5000, 'a'), false, false },
        { "question is one code point", "r?sum?.pdf", "r" + e + "sum" + e + ".pdf", false, true },
        { "question is not two", "a??", "a" + e, false, false },
        { "stray byte is one character",
            "a?b",
            "a\xFF"
            "b",
            false,
            true },
        { "class", "[ab]*", "b1", false, true },
        { "range", "[0-9][0-9].txt", "42.txt", false, true },
        { "negated class", "[!0-9]*", "7x", false, false },
        { "caret negates too", "[^a]", "b", false, true },
        { "bracket first in class", "[]x]", "]", false, true },
        { "unclosed bracket is literal", "a[b", "a[b", false, true },
        { "escape", "\\*.txt", "*.txt", false, true },
        { "escaped star is literal", "\\*.txt", "a.txt", false, false },
        { "case counts", "*.XML", "a.xml", false, false },
        { "ascii case folded", "*.XML", "a.xml", true, true },
        { "latin-1 case folded", E + "t" + E, e + "t" + e, true, true },
        { "cyrillic case folded", ZHE + "*", zhe + "x", true, true },
        { "range folded", "[A-C]*", "b.txt", true, true },
        { "class of code points", "[" + e + "x]", e, false, true },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(GlobPattern(row.pattern, row.ignoreCase).matches(row.name), row.matches);
    }
}

} // namespace
} // namespace quenlith
