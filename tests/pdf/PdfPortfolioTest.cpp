// Portfolio folders: which folder each name-tree file belongs to, and hostile folder trees.
#include "extract/pdf/QpdfPortfolio.h"
#include "tests/support/OpenedDocument.h"
#include "tests/support/PdfFixtures.h"
#include "tests/support/ScratchFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quenlith {
namespace {

using fixtures::FolderFixture;
using fixtures::PortfolioFixture;
using fixtures::treeFile;

std::size_t countContaining(const std::vector<std::string> &texts, const std::string &part)
{
    std::size_t count = 0;
    for (const std::string &text : texts)
        count += text.find(part) != std::string::npos ? 1 : 0;
    return count;
}

// Each file is found in its folder, its name without the key's prefix when the specification
// names it nowhere else; what the tree gets wrong is warned about, never damage, and its files
// stay listed at the top.
TEST(Portfolio, FilesGetTheFolderTheirKeyNames)
{
    struct Row {
        const char *what;
        bool portfolio; // false: no /Collection at all
        std::vector<FolderFixture> folders;
        std::vector<fixtures::FileSpecFixture> files;
        // Per attachment: "origin|name|folder".
        std::vector<std::string> expected;
        // A part of each portfolio warning expected, once each; no other warning.
        std::vector<std::string> warnings;
    };
    const std::string longName(300, 'x');
    Row hostile;
    const std::pair<std::string, std::string> names[] = { { "..", ".." },
        { "a/b", "a/b" },
        { "", "" },
        { "tab\there", "tab\there" },
        { fixtures::utf16be("\xcf\x80"), "\xcf\x80" },
        { longName, longName.substr(0, 255) } };
    for (const auto &[stored, shown] : names) {
        const int id = static_cast<int>(hostile.folders.size()) + 1;
        const auto n = std::to_string(id);
        hostile.folders.push_back({ id, stored, -1, -1 });
        hostile.files.push_back(treeFile("<" + n + ">" + n, "d"));
        hostile.expected.push_back("portfolio|" + n + "|" + shown);
    }
    const Row rows[] = {
        { "nested three deep, a sibling, the root's own ID, no prefix",
            true,
            { { 1, "a", -1, -1 }, { 2, "b", 0, -1 }, { 3, "c", 1, -1 }, { 4, "d", -1, -1 } },
            { treeFile("<3>c.xml", "d"),
                treeFile("<4>x", "d", "d.txt"),
                treeFile("<0>r.txt", "d"),
                treeFile("top.txt", "d") },
            { "portfolio|c.xml|a/b/c", "portfolio|d.txt|d", "portfolio|r.txt|", "names|top.txt|" },
            {} },
        { "a sub-folder that refers back to its parent",
            true,
            { { 1, "a", -1, -1 }, { 2, "b", 0, 0 } },
            { treeFile("<2>b.txt", "d"), treeFile("<1>a.txt", "d") },
            { "portfolio|b.txt|a/b", "portfolio|a.txt|a" },
            { "\"a\" is met twice" } },
        { "two folders with one ID: the first keeps it, the second's sub-folders go to the top",
            true,
            { { 1, "first", -1, -1 }, { 1, "second", -1, -1 }, { 5, "below", 1, -1 } },
            { treeFile("<1>x.txt", "d"), treeFile("<5>y.txt", "d") },
            { "portfolio|x.txt|first", "portfolio|y.txt|" },
            { "two portfolio folders have the ID 1" } },
        { "a key naming no folder",
            true,
            { { 1, "a", -1, -1 } },
            { treeFile("<9>z.txt", "d"), treeFile("<1>a.txt", "d") },
            { "names|<9>z.txt|", "portfolio|a.txt|a" },
            { "refers to portfolio folder 9" } },
        { "no portfolio: a prefix is part of the name",
            false,
            {},
            { treeFile("<1>a.txt", "d") },
            { "names|<1>a.txt|" },
            {} },
        { "hostile names are shown as the document gives them, a long one cut",
            true,
            hostile.folders,
            hostile.files,
            hostile.expected,
            {} },
        { "40 levels: the deepest allowed keeps its path, deeper files go to the top",
            true,
            fixtures::folderChain(40),
            { treeFile("<32>deep.txt", "d"),
                treeFile("<33>deeper.txt", "d"),
                treeFile("<40>deepest.txt", "d") },
            { "portfolio|deep.txt|" + fixtures::folderChainPath(32),
                "portfolio|deeper.txt|",
                "portfolio|deepest.txt|" },
            { "nest deeper than 32 levels" } },
    };
    const fixtures::ScratchFolder scratch;
    const std::string path = scratch.file("portfolio.pdf");
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        fixtures::writeDocument(path, { .files = row.files });
        if (row.portfolio)
            fixtures::addPortfolio(path, { 0, "Root", row.folders });
        const Document pdf = fixtures::openDocument(path);
        ASSERT_EQ(pdf.attachments().size(), row.expected.size());
        for (std::size_t i = 0; i < row.expected.size(); ++i) {
            const Attachment &info = pdf.attachments()[i];
            EXPECT_EQ(
                originWord(info.origin) + ("|" + info.name) + "|" + info.folder, row.expected[i]);
            std::string joined;
            for (std::size_t k = 0; k < info.folderPath.size(); ++k)
                joined += (k == 0 ? "" : "/") + info.folderPath[k];
            EXPECT_EQ(joined, info.folder);
        }
        const auto warnings = pdf.warnings();
        for (const std::string &warning : row.warnings)
            EXPECT_EQ(countContaining(warnings, warning), 1u) << warning;
        EXPECT_EQ(warnings.size(), row.warnings.size());
    }
}

// Trees past every bound end quickly and without recursion: a chain far deeper than the bound,
// a loop at the end of a deep chain, more siblings than the bound on folders.
TEST(Portfolio, HostileTreesEndQuickly)
{
    struct Row {
        const char *what;
        std::vector<FolderFixture> folders;
        std::string warning;
        std::size_t depthOfThird; // of folder 3, where "<3>third.txt" goes
    };
    std::vector<FolderFixture> siblings;
    for (int n = 1; n <= static_cast<int>(PortfolioFolders::maxFolders) + 1; ++n)
        siblings.push_back({ n, "s" + std::to_string(n), -1, -1 });
    const Row rows[] = {
        { "20,000 levels", fixtures::folderChain(20000), "nest deeper than 32 levels", 3 },
        { "a loop at the bottom of a deep chain",
            [] {
                auto folders = fixtures::folderChain(5000);
                folders.back().childLoop = 0;
                return folders;
            }(),
            "is met twice",
            3 },
        { "100,001 siblings", siblings, "more than 100000 folders", 1 },
    };
    const fixtures::ScratchFolder scratch;
    const std::string path = scratch.file("portfolio.pdf");
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        fixtures::writeDocument(
            path, { .files = { treeFile("<20000>last.txt", "d"), treeFile("<3>third.txt", "d") } });
        fixtures::addPortfolio(path, { 0, "Root", row.folders });
        const Document pdf = fixtures::openDocument(path);
        ASSERT_EQ(pdf.attachments().size(), 2u);
        EXPECT_EQ(pdf.attachments()[1].folderPath.size(), row.depthOfThird);
        EXPECT_EQ(countContaining(pdf.warnings(), row.warning), 1u);
    }
}

TEST(Portfolio, SplitsOnlyDecimalPrefixes)
{
    struct Row {
        std::string key;
        bool split;
        std::int64_t id;
        std::string rest;
    } rows[] = {
        { "<3>report.xml", true, 3, "report.xml" },
        { "<0>", true, 0, "" },
        { "<007>a>b", true, 7, "a>b" },
        { "<999999999999999999>x", true, 999999999999999999, "x" },
        { "<9999999999999999999>x", false, 0, "" }, // past int64: no folder can have it
        { "<-1>x", false, 0, "" },
        { "<>x", false, 0, "" },
        { "< 1>x", false, 0, "" },
        { "x<1>", false, 0, "" },
        { "", false, 0, "" },
    };
    for (const Row &row : rows) {
        std::int64_t id = 0;
        std::string_view rest;
        EXPECT_EQ(splitFolderKey(row.key, id, rest), row.split) << row.key;
        if (row.split) {
            EXPECT_EQ(id, row.id) << row.key;
            EXPECT_EQ(rest, row.rest) << row.key;
        }
    }
}

} // namespace
} // namespace quenlith
