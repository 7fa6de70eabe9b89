#include "util/modMain.h"
#include "util/registry.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <stdlib.h>

using namespace quenlith;
namespace fs = std::filesystem;

namespace {

const std::string S(1, preferredSeparator());

struct NameCase {
    const char *label;
    std::string path;
    std::string expected;
};

class FileNameOfPathCases : public ::testing::TestWithParam<NameCase> { };

TEST_P(FileNameOfPathCases, GivesTheTextAfterTheLastSeparator)
{
    EXPECT_EQ(FileNameOfPath(GetParam().path), GetParam().expected);
}

std::string caseName(const ::testing::TestParamInfo<NameCase> &row)
{
    return row.param.label;
}

INSTANTIATE_TEST_SUITE_P(PathHelpers,
    FileNameOfPathCases,
    ::testing::Values(
        NameCase { "FullDocumentPath", S + "home" + S + "u" + S + "Report.pdf", "Report.pdf" },
        NameCase { "FolderWithTrailingSeparator", S + "home" + S + "u" + S, "" },
        NameCase { "BareName", "a.pdf", "a.pdf" },
        NameCase { "Empty", "", "" },
        NameCase { "OnlySeparator", S, "" },
        NameCase { "DoubledSeparator", "a" + S + S + "b", "b" },
        NameCase { "NameWithSpaces", "x" + S + " a b.pdf ", " a b.pdf " },
        NameCase { "Utf8Name", "x" + S + "\xC3\xA9t\xC3\xA9.pdf", "\xC3\xA9t\xC3\xA9.pdf" }),
    caseName);

TEST(PathHelpers, BackslashIsAnOrdinaryCharacterOnlyOffWindows)
{
#ifdef _WIN32
    EXPECT_EQ(FileNameOfPath("a\\b/c"), "c");
    EXPECT_EQ(FileNameOfPath("a/b\\c"), "c");
#else
    EXPECT_EQ(FileNameOfPath("a\\b.pdf"), "a\\b.pdf");
#endif
}

TEST(PathHelpers, TrailingSeparatorIsAddedOnlyWhenMissing)
{
    EXPECT_EQ(withTrailingSeparator("out"), "out" + S);
    EXPECT_EQ(withTrailingSeparator("out" + S), "out" + S);
    EXPECT_EQ(withTrailingSeparator(S), S);
    EXPECT_EQ(withTrailingSeparator(""), "");
}

class EnsureFolderPathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "quenlith-util-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
    }
    void TearDown() override
    {
        std::error_code error;
        fs::remove_all(m_root, error);
    }
    std::string at(const std::string &relative) const
    {
        return m_root.string() + S + relative;
    }

    fs::path m_root;
};

TEST_F(EnsureFolderPathTest, ExistingFolderGivesTrueAndCreatesNothing)
{
    for (const std::string &path : { m_root.string(), m_root.string() + S }) {
        EXPECT_TRUE(EnsureFolderPath(path)) << path;
        EXPECT_TRUE(fs::is_empty(m_root));
    }
}

TEST_F(EnsureFolderPathTest, CreatesThreeMissingLevelsWithOrWithoutTrailingSeparator)
{
    for (const std::string &path :
        { at("a" + S + "b" + S + "c"), at("x" + S + "y" + S + "z" + S) }) {
        EXPECT_TRUE(EnsureFolderPath(path)) << path;
        EXPECT_TRUE(fs::is_directory(path)) << path;
        EXPECT_TRUE(EnsureFolderPath(path)) << "second call on " << path;
    }
}

TEST_F(EnsureFolderPathTest, FileInTheWayGivesFalse)
{
    std::ofstream(at("file")) << "x";
    EXPECT_FALSE(EnsureFolderPath(at("file")));
    EXPECT_FALSE(EnsureFolderPath(at("file") + S));
    EXPECT_FALSE(EnsureFolderPath(at("file" + S + "below")));
    EXPECT_TRUE(fs::is_regular_file(at("file")));
    EXPECT_FALSE(EnsureFolderPath(""));
}

} // namespace
