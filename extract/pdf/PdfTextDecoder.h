#pragma once

#include <string>
#include <string_view>

namespace quenlith {

// Turns the bytes of PDF text strings (ISO 32000-1 7.9.2.2, ISO 32000-2 7.9.2.2.1) into UTF-8.
class PdfTextDecoder {
public:
    // UTF-16BE or UTF-16LE with a byte-order mark, UTF-8 with a byte-order mark, bytes that are
    // already valid UTF-8, else PDFDocEncoding. The byte-order mark is dropped; a sequence that
    // cannot be decoded becomes U+FFFD. The result is always valid UTF-8.
    static std::string toUtf8(std::string_view bytes);

    // True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or values past
    // U+10FFFF).
    static bool isValidUtf8(std::string_view bytes);
};

} // namespace quenlith
