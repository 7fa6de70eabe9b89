#include "extract/PdfTextDecoder.h"

#include <gtest/gtest.h>

namespace quenlith {
namespace {

struct DecodeCase {
    std::string label;
    std::string bytes;
    std::string utf8;
};

class PdfTextDecoding : public testing::TestWithParam<DecodeCase> { };

TEST_P(PdfTextDecoding, GivesValidUtf8)
{
    const auto result = PdfTextDecoder::toUtf8(GetParam().bytes);
    EXPECT_EQ(result, GetParam().utf8);
    EXPECT_TRUE(PdfTextDecoder::isValidUtf8(result));
}

INSTANTIATE_TEST_SUITE_P(Strings,
    PdfTextDecoding,
    testing::Values(DecodeCase { "Ascii", "report.pdf", "report.pdf" },
        DecodeCase { "Empty", "", "" },
        DecodeCase { "Utf16BeBomOnly", "\xFE\xFF", "" },
        DecodeCase { "Utf16BeOddByte", std::string("\xFE\xFF\x00\x41\x00", 5), "A" },
        DecodeCase {
            "Utf16LeLoneHighSurrogateAtEnd", std::string("\xFF\xFE\x3D\xD8", 4), "\uFFFD" },
        DecodeCase { "Utf16BeSwappedSurrogates",
            std::string("\xFE\xFF\xDE\x00\xD8\x3D", 6),
            "\uFFFD\uFFFD" },
        DecodeCase { "Utf8BomWithInvalidByte",
            "\xEF\xBB\xBF"
            "a\xFF",
            "a\uFFFD" },
        DecodeCase { "OverlongUtf8IsPdfDoc", "\xC0\xAF", "\u00C0\u00AF" },
        DecodeCase { "PdfDocBullet", "\x80 \xA0", "\u2022 \u20AC" },
        DecodeCase { "ValidUtf8Kept", "\xE2\x82\xAC", "\u20AC" }),
    [](const auto &row) { return row.param.label; });

TEST(PdfTextDecoder, RejectsMalformedUtf8)
{
    EXPECT_TRUE(PdfTextDecoder::isValidUtf8("\xF0\x9F\x98\x80"));
    EXPECT_FALSE(PdfTextDecoder::isValidUtf8("\xED\xA0\x80")); // surrogate
    EXPECT_FALSE(PdfTextDecoder::isValidUtf8("\xF4\x90\x80\x80")); // past U+10FFFF
    EXPECT_FALSE(PdfTextDecoder::isValidUtf8("\xE2\x82")); // cut short
    EXPECT_FALSE(PdfTextDecoder::isValidUtf8("\x80"));
}

} // namespace
} // namespace quenlith
