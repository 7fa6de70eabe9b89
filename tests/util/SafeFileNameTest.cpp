#include "util/SafeFileName.h"

#include "tests/support/ScratchFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace quenlith {
namespace {

namespace fs = std::filesystem;

std::string repeat(const std::string &text, int times)
{
    return times == 0 ? "" : text + repeat(text, times - 1);
}

// Whatever the stored name, the result names a file directly inside the document folder.
TEST(SafeFileName, HostileNamesGiveASafeNameInsideTheFolder)
{
    const std::string e = "\xC3\xA9", sun = "\xE6\x97\xA5", rlo = "\xE2\x80\xAE";
    const struct {
        std::string stored;
        int index;
        std::string expected;
    } rows[] = {
        { "../../evil.txt", 1, "evil.txt" },
        { "/etc/passwd", 1, "passwd" },
        { "C:\\x\\y.txt", 1, "y.txt" },
        { "..", 3, "attachment-3" },
        { ".", 4, "attachment-4" },
        { "", 2, "attachment-2" },
        { "dir\\report.xml\\", 5, "attachment-5.xml" },
        { "x/.profile", 1, ".profile" },
        { "invoice" + rlo + "fdp.exe", 1, "invoice_fdp.exe" },
        { "a\342\200\213b.txt", 1, "a_b.txt" }, // zero-width space
        { std::string("a\tb\nc\x7F\0d.txt", 12), 1, "a_b_c__d.txt" },
        { "\302\205x.txt", 1, "_x.txt" }, // C1 control
        { "\377ab.txt", 1, "_ab.txt" }, // not UTF-8
        { "..\300\257..\300\257x", 1, "..__..__x" }, // overlong '/'
        { e + "t" + e + " " + sun + ".pdf", 1, e + "t" + e + " " + sun + ".pdf" },
        // Over-long names are cut to 200 bytes at a character boundary, keeping the extension.
        { std::string(300, 'a') + ".xml", 1, std::string(196, 'a') + ".xml" },
        { repeat(e, 150) + ".txt", 1, repeat(e, 98) + ".txt" },
        { repeat(sun, 100), 1, repeat(sun, 66) },
    };
    const fixtures::ScratchFolder scratch("quenlith-safe");
    const fs::path folder = fs::canonical(scratch.path());
    for (const auto &row : rows) {
        const std::string name = safeOutputFileName(row.stored, row.index);
        SCOPED_TRACE("row " + std::to_string(&row - rows) + " gave \"" + name + "\"");
        EXPECT_EQ(name, row.expected);
        std::ofstream(folder / name) << "x";
        ASSERT_TRUE(fs::is_regular_file(folder / name));
        EXPECT_EQ(fs::canonical(folder / name).parent_path(), folder);
    }
}

TEST(SafeFileName, RepeatedNamesAreNumberedWithinOneSet)
{
    OutputNameSet names;
    const std::pair<const char *, const char *> claims[] = { { "a.xml", "a.xml" },
        { "a.xml", "a (2).xml" },
        { "a.xml", "a (3).xml" },
        { "a (2).xml", "a (2) (2).xml" },
        { "README", "README" },
        { "README", "README (2)" },
        { ".profile", ".profile" },
        { ".profile", ".profile (2)" },
        { "archive.tar.gz", "archive.tar.gz" },
        { "archive.tar.gz", "archive.tar (2).gz" } };
    for (const auto &[name, expected] : claims)
        EXPECT_EQ(names.claim(name), expected);
}

} // namespace
} // namespace quenlith
