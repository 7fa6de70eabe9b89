#include "util/SafeFileName.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <stdlib.h>

using namespace quenlith;
namespace fs = std::filesystem;

namespace {

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or stray bytes).
bool validUtf8(const std::string &text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80 ? 1
            : c >= 0xC2 && c <= 0xDF  ? 2
            : c >= 0xE0 && c <= 0xEF  ? 3
            : c >= 0xF0 && c <= 0xF4  ? 4
                                      : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        const auto next = static_cast<unsigned char>(length > 1 ? text[i + 1] : 0x80);
        if ((c == 0xE0 && next < 0xA0) || (c == 0xED && next > 0x9F) || (c == 0xF0 && next < 0x90)
            || (c == 0xF4 && next > 0x8F))
            return false;
        i += length;
    }
    return true;
}

struct SafeNameCase {
    const char *label;
    std::string stored;
    int index;
    std::string expected;
};

class SafeOutputFileNameCases : public ::testing::TestWithParam<SafeNameCase> { };

TEST_P(SafeOutputFileNameCases, KeepsOnlyASafeLastComponent)
{
    EXPECT_EQ(safeOutputFileName(GetParam().stored, GetParam().index), GetParam().expected);
}

std::string caseName(const ::testing::TestParamInfo<SafeNameCase> &row)
{
    return row.param.label;
}

INSTANTIATE_TEST_SUITE_P(SafeFileName,
    SafeOutputFileNameCases,
    ::testing::Values(SafeNameCase { "PlainName", "invoice.xml", 1, "invoice.xml" },
        SafeNameCase { "ParentTraversal", "../../evil.txt", 1, "evil.txt" },
        SafeNameCase { "AbsolutePosix", "/etc/passwd", 1, "passwd" },
        SafeNameCase { "WindowsDrivePath", "C:\\x\\y.txt", 1, "y.txt" },
        SafeNameCase { "MixedSeparators", "a/b\\c/d.txt", 1, "d.txt" },
        SafeNameCase { "DotDot", "..", 3, "attachment-3" },
        SafeNameCase { "Dot", ".", 4, "attachment-4" },
        SafeNameCase { "Empty", "", 2, "attachment-2" },
        SafeNameCase {
            "EndsInSeparatorKeepsExtension", "dir\\report.xml\\", 5, "attachment-5.xml" },
        SafeNameCase { "TraversalEndingInDotDot", "a/..", 6, "attachment-6" },
        SafeNameCase { "HiddenFile", "x/.profile", 1, ".profile" },
        SafeNameCase { "RightToLeftOverride",
            "invoice\xE2\x80\xAE"
            "fdp.exe",
            1,
            "invoice_fdp.exe" },
        SafeNameCase { "ZeroWidthSpace",
            "a\xE2\x80\x8B"
            "b.txt",
            1,
            "a_b.txt" },
        SafeNameCase {
            "ControlCharacters", std::string("a\tb\nc\x7F\0d.txt", 12), 1, "a_b_c__d.txt" },
        SafeNameCase { "C1Control", "\xC2\x85x.txt", 1, "_x.txt" },
        SafeNameCase { "InvalidUtf8Byte",
            "\xFF"
            "ab.txt",
            1,
            "_ab.txt" },
        SafeNameCase { "OverlongSlash",
            "a\xC0\xAF"
            "b",
            1,
            "a__b" },
        SafeNameCase { "Utf8Kept",
            "\xC3\xA9t\xC3\xA9 \xE6\x97\xA5.pdf",
            1,
            "\xC3\xA9t\xC3\xA9 \xE6\x97\xA5.pdf" }),
    caseName);

TEST(SafeFileName, LongNamesAreCutAtACharacterBoundaryKeepingTheExtension)
{
    const std::string ascii = safeOutputFileName(std::string(300, 'a') + ".xml", 1);
    EXPECT_EQ(ascii.size(), 200u);
    EXPECT_EQ(ascii.substr(196), ".xml");

    std::string accented;
    for (int i = 0; i < 150; ++i)
        accented += "\xC3\xA9"; // two bytes each
    const std::string cut = safeOutputFileName(accented + ".txt", 1);
    EXPECT_LE(cut.size(), 200u);
    EXPECT_EQ(cut.substr(cut.size() - 4), ".txt");
    EXPECT_TRUE(validUtf8(cut));

    std::string threeByte;
    for (int i = 0; i < 100; ++i)
        threeByte += "\xE6\x97\xA5";
    const std::string noExtension = safeOutputFileName(threeByte, 1);
    EXPECT_LE(noExtension.size(), 200u);
    EXPECT_EQ(noExtension.size() % 3, 0u);
    EXPECT_TRUE(validUtf8(noExtension));
}

// Whatever the stored name, the file it names is created directly inside the folder.
TEST(SafeFileName, ResultJoinedToAFolderLiesInsideIt)
{
    std::string pattern = (fs::temp_directory_path() / "quenlith-safe-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path folder = fs::canonical(pattern);
    const std::string hostile[] = { "../../evil.txt",
        "/etc/passwd",
        "C:\\x\\y.txt",
        "..",
        ".",
        "",
        "/",
        "\\",
        "../",
        "..\\..\\",
        "~/x",
        "a/../../b",
        "\xE2\x80\xAE../x",
        "..\xC0\xAF..\xC0\xAF"
        "x",
        std::string(1000, '.'),
        std::string(400, 'z') + "/" + std::string(400, 'y'),
        std::string("\0/..", 4) };
    int index = 0;
    for (const std::string &stored : hostile) {
        ++index;
        const std::string name = safeOutputFileName(stored, index);
        SCOPED_TRACE("stored name #" + std::to_string(index) + " gave \"" + name + "\"");
        ASSERT_FALSE(name.empty());
        EXPECT_NE(name, ".");
        EXPECT_NE(name, "..");
        EXPECT_EQ(name.find_first_of(std::string("/\\\0", 3)), std::string::npos);
        EXPECT_LE(name.size(), 200u);
        EXPECT_TRUE(validUtf8(name));

        const fs::path target = folder / name;
        std::ofstream(target) << "x";
        ASSERT_TRUE(fs::is_regular_file(target));
        EXPECT_EQ(fs::canonical(target).parent_path(), folder);
        fs::remove(target);
    }
    EXPECT_TRUE(fs::is_empty(folder));
    fs::remove_all(folder);
}

TEST(SafeFileName, RepeatedNamesAreNumberedWithinOneSet)
{
    OutputNameSet names;
    EXPECT_EQ(names.claim("a.xml"), "a.xml");
    EXPECT_EQ(names.claim("a.xml"), "a (2).xml");
    EXPECT_EQ(names.claim("a.xml"), "a (3).xml");
    EXPECT_EQ(names.claim("a (2).xml"), "a (2) (2).xml");
    EXPECT_EQ(names.claim("README"), "README");
    EXPECT_EQ(names.claim("README"), "README (2)");
    EXPECT_EQ(names.claim(".profile"), ".profile");
    EXPECT_EQ(names.claim(".profile"), ".profile (2)");
    EXPECT_EQ(names.claim("archive.tar.gz"), "archive.tar.gz");
    EXPECT_EQ(names.claim("archive.tar.gz"), "archive.tar (2).gz");
#if defined(_WIN32) || defined(__APPLE__)
    EXPECT_EQ(names.claim("A.XML"), "A (4).XML");
#else
    EXPECT_EQ(names.claim("A.XML"), "A.XML");
#endif

    OutputNameSet another;
    EXPECT_EQ(another.claim("a.xml"), "a.xml");
}

} // namespace
