#include "tests/support/ScratchFolder.h"
#include "util/PdfFileName.h"
#include "util/modMain.h"
#include "util/registry.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

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

} // namespace
} // namespace quenlith
