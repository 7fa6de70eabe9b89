#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quenlith {

// Decodes the well-formed UTF-8 sequence at `position` into `codePoint` and advances past it.
// Returns false for a byte that does not start one (stray continuation byte, overlong form,
// surrogate, value above U+10FFFF, truncated sequence); `position` then moves by one byte.
bool nextCodePoint(std::string_view text, std::size_t &position, char32_t &codePoint);

// Appends `codePoint` (at most U+10FFFF, no surrogate) encoded as UTF-8.
void appendUtf8(std::string &out, char32_t codePoint);

// Text that is safe to print on a terminal: invalid UTF-8 becomes U+FFFD; control characters
// (C0, DEL, C1) and bidirectional controls become visible escapes such as "\x1b" or "\u202e".
// Everything else is kept, so plain names print unchanged.
std::string terminalText(std::string_view text);

} // namespace quenlith
