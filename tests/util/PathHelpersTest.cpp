#include "tests/support/ScratchFolder.h"
#include "util/CompactStringSet.h"
#include "util/PdfFileName.h"
#include "util/modMain.h"
#include "util/registry.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <unordered_map>

namespace quenlith {
namespace {

namespace fs = std::filesystem;
const std::string S(1, preferredSeparator());

TEST(PdfFileName, TakesTrimmedCaseInsensitivePdfEndingsOnly)
{
    for (const char *name : { "a.pdf", "dir/b.PDF", "c.Pdf", "d.pdf  ", "  e.pDf", ".pdf" })
        EXPECT_TRUE(isPdfFileName(name)) << name;
    for (const char *name : { "a.pdf.bak", "b.pdfx", "c.pd", "pdf", "dir.pdf/x", "", "    " })
        EXPECT_FALSE(isPdfFileName(name)) << name;
}

TEST(PathHelpers, FileNameOfPathAndTrailingSeparator)
{
    const std::pair<std::string, std::string> rows[] = {
        { S + "home" + S + "u" + S + "Report.pdf", "Report.pdf" },
        { S + "home" + S + "u" + S, "" },
        { "a.pdf", "a.pdf" },
        { "", "" },
        { "a" + S + S + "b", "b" },
        { "x" + S + "\xC3\xA9t\xC3\xA9.pdf", "\xC3\xA9t\xC3\xA9.pdf" },
        { "a\\b.pdf", isPathSeparator('\\') ? "b.pdf" : "a\\b.pdf" },
    };
    for (const auto &[path, expected] : rows)
        EXPECT_EQ(FileNameOfPath(path), expected) << path;
    EXPECT_EQ(withTrailingSeparator("out"), "out" + S);
    EXPECT_EQ(withTrailingSeparator("out" + S), "out" + S);
    EXPECT_EQ(withTrailingSeparator(""), "");
}

TEST(PathHelpers, EnsureFolderPathCreatesMissingLevelsOnly)
{
    const fixtures::ScratchFolder scratch("quenlith-util");
    std::ofstream(scratch.file("file")) << "x";
    const std::pair<std::string, bool> rows[] = {
        { scratch.file(""), true }, // exists: nothing is created
        { scratch.path().string(), true },
        { scratch.file("a" + S + "b" + S + "c"), true },
        { scratch.file("x" + S + "y" + S + "z" + S), true },
        { scratch.file("x" + S + "y" + S + "z"), true }, // a second time
        { scratch.file("file"), false }, // a file in the way stays a file
        { scratch.file("file" + S), false },
        { scratch.file("file" + S + "below"), false },
        { "", false },
    };
    for (const auto &[path, expected] : rows) {
        EXPECT_EQ(EnsureFolderPath(path), expected) << path;
        EXPECT_EQ(fs::is_directory(path), expected) << path;
    }
    EXPECT_EQ(std::distance(fs::recursive_directory_iterator(scratch.path()), {}), 7);
}

// Two strings whose hashes agree in the slot's tag and in the bits that pick the first slot meet
// in one probe chain: only the comparison with the stored string keeps them apart.
TEST(CompactStringSet, KeepsStringsWhoseHashesCollideApart)
{
    std::unordered_map<std::uint32_t, std::string> seen;
    std::string first, second;
    for (int i = 0; second.empty(); ++i) {
        const std::string text = "doc-" + std::to_string(i) + ".pdf";
        const std::uint64_t hash = std::hash<std::string_view> {}(text);
        const auto key = static_cast<std::uint32_t>((hash >> 48) << 16 | (hash & 0xffff));
        if (const auto [at, isNew] = seen.emplace(key, text); !isNew)
            std::tie(first, second) = std::pair(at->second, text);
    }
    CompactStringSet set;
    const auto [firstKey, firstNew] = set.insert(first);
    const auto [secondKey, secondNew] = set.insert(second);
    EXPECT_TRUE(firstNew && secondNew) << first << " " << second;
    EXPECT_NE(firstKey, secondKey);
    EXPECT_EQ(set.insert(second), std::pair(secondKey, false));
    EXPECT_EQ(set.find(first), firstKey);
    EXPECT_EQ(set.find(second), secondKey);
    EXPECT_EQ(set.find("never added"), std::nullopt);
}

} // namespace
} // namespace quenlith
