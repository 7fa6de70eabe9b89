// The parts of quenlith-cli that decide on text (JSON, terminal text, names, dates, options) and
// those that order its work: the sort of paths on disk and the workers that report in order.

#include "cli/CommandLine.h"
#include "cli/DocumentInputs.h"
#include "cli/PathSort.h"
#include "cli/WorkerPool.h"
#include "extract/report/ReportText.h"
#include "extract/report/RunReport.h"
#include "tests/support/PdfFixtures.h"
#include "tests/support/ScratchFolder.h"
#include "util/DataSize.h"
#include "util/JsonWriter.h"
#include "util/Utf8Text.h"

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <numeric>

using namespace quenlith;
using namespace quenlith::cli;

namespace {

TEST(JsonWriterTest, EscapesOrReplacesEveryByteItMust)
{
    const std::string utf8 = "Gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac \xf0\x9f\x93\x8e";
    const std::string fffd = "\xef\xbf\xbd";
    EXPECT_EQ(JsonWriter::quoted("invoice \"a\\b\".xml"), R"("invoice \"a\\b\".xml")");
    EXPECT_EQ(JsonWriter::quoted(std::string("\x01\n\t\x1b\x7f\0", 6)),
        R"("\u0001\n\t\u001b\u007f\u0000")");
    EXPECT_EQ(JsonWriter::quoted(utf8), '"' + utf8 + '"');
    EXPECT_EQ(JsonWriter::quoted("a\xe2\x80\xa8"), R"("a\u2028")"); // breaks JavaScript lines
    // Latin-1, a truncated sequence, an overlong '/', an encoded surrogate: U+FFFD per byte.
    EXPECT_EQ(JsonWriter::quoted("caf\xe9 x\xe2\x82 \xc0\xaf \xed\xa0\x80"),
        "\"caf" + fffd + " x" + fffd + fffd + " " + fffd + fffd + " " + fffd + fffd + fffd + '"');
}

TEST(TerminalText, MakesControlsVisibleAndKeepsPlainText)
{
    EXPECT_EQ(terminalText("a\x1b[31mb"), "a\\x1b[31mb");
    EXPECT_EQ(terminalText("x\xe2\x80\xaetxt.exe"), "x\\u202etxt.exe"); // right-to-left override
    EXPECT_EQ(terminalText("\xff"), "\xef\xbf\xbd");
    EXPECT_EQ(terminalText("C:\\x\\y.txt"), "C:\\x\\y.txt");
}

TEST(IsoDate, FormatsUtcAndRejectsWhatIsNoDate)
{
    EXPECT_EQ(isoDate(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(isoDate(1714557600), "2024-05-01T10:00:00Z");
    EXPECT_EQ(isoDate(-86400), "1969-12-31T00:00:00Z");
    EXPECT_EQ(isoDate(INT64_MIN), "");
    EXPECT_EQ(isoDate(INT64_MAX), "");
}

TEST(CommandLineTest, ReadsGluedOptionsAndTakesWhatFollowsDoubleDashAsPaths)
{
    const auto parsed
        = parseCommandLine({ "extract", "-j2", "--password=x", "a.pdf", "--", "--json" });
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.commandLine.jobs, 2u);
    EXPECT_EQ(parsed.commandLine.passwords, std::vector<std::string> { "x" });
    EXPECT_FALSE(parsed.commandLine.json);
    EXPECT_EQ(parsed.commandLine.paths, (std::vector<std::string> { "a.pdf", "--json" }));
}

TEST(CsvFieldTest, DisarmsFormulasAndControlsAndQuotesSeparators)
{
    const std::pair<std::string, std::string> rows[] = {
        { "plain.txt", "plain.txt" },
        { "=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0" },
        { "+1", "'+1" },
        { "-1", "'-1" },
        { "@SUM(A1)", "'@SUM(A1)" },
        { "\t=1", "'\t=1" },
        { "\r=1", "'\\x0d=1" },
        { std::string("\0=1", 3), "'\\x00=1" },
        { "a\nb\x1b\x7f", "a\\x0ab\\x1b\\x7f" },
        { "a;b", "\"a;b\"" },
        { "y, \"z\"", "\"y, \"\"z\"\"\"" },
        { " edge", "\" edge\"" },
    };
    for (const auto &[text, field] : rows)
        EXPECT_EQ(csvField(text), field) << text;
}

TEST(DataSizeTest, OneUnitFromBytesToGiB)
{
    const std::pair<std::uint64_t, std::string> rows[] = {
        { 0, "0 bytes" },
        { 1023, "1023 bytes" },
        { 1024, "1.00 KiB" },
        { 1536, "1.50 KiB" },
        { 1048575, "1024.00 KiB" },
        { 3000000, "2.86 MiB" },
        { std::uint64_t { 5 } << 30, "5.00 GiB" },
        { std::uint64_t { 3 } << 40, "3072.00 GiB" },
    };
    for (const auto &[bytes, text] : rows)
        EXPECT_EQ(dataSizeText(bytes), text) << bytes;
}

// Folders are walked in one order whatever the file system's: a folder's documents by name,
// then its subfolders'. Only names ending in ".pdf", in any case, are documents.
TEST(DocumentInputsTest, FoldersAreWalkedInSortedOrder)
{
    const quenlith::fixtures::ScratchFolder scratch("quenlith-walk");
    std::vector<std::string> expected;
    for (const char *name :
        { "B.pdf", "a.pdf", "b.pdf", "z.pdf", "sub/a.pdf", "sub/b.PDF", "sub2/0.Pdf", "c.pdf.bak" })
        expected.push_back(scratch.path().string() + "/" + name);
    for (auto name = expected.rbegin(); name != expected.rend(); ++name) {
        std::filesystem::create_directories(std::filesystem::path(*name).parent_path());
        std::ofstream(*name) << "x";
    }
    expected.pop_back(); // no document
    RecordSpool paths;
    paths.add(scratch.path().string());
    DocumentInputs inputs;
    inputs.collect(paths);
    std::vector<std::string> documents;
    for (std::size_t i = 0; i < inputs.size(); ++i)
        documents.push_back(inputs.document(i));
    EXPECT_EQ(documents, expected);
}

// A repaired document is no failure, but both reports say so with its warnings; a listing that
// stopped at a bound fails its document.
TEST(RunReportTest, RepairedAndIncompleteDocuments)
{
    RunRecord run;
    DocumentResult &repaired = run.documents.emplace_back();
    repaired.documentPath = "repaired.pdf";
    repaired.processed = true;
    repaired.openStatus = OpenStatus::Opened;
    repaired.attachments.emplace_back().kind = AttachmentOutcome::Kind::Written;
    repaired.repaired = true;
    repaired.warnings = { "xref not found", "object 4 0 recovered" };
    DocumentResult &incomplete = run.documents.emplace_back(repaired);
    incomplete.documentPath = "incomplete.pdf";
    incomplete.repaired = false;
    incomplete.listingComplete = false;

    EXPECT_EQ(totalsOf(run.documents).documentsFailed, 1);
    std::ostringstream csv;
    writeRunCsv(csv, run);
    EXPECT_NE(csv.str().find("\r\nrepaired.pdf,,,,,,opened,\"repaired: xref not found; object 4 0 "
                             "recovered\",,,,\r\n"),
        std::string::npos)
        << csv.str();
    EXPECT_NE(csv.str().find(std::string("\r\nincomplete.pdf,,,,,,opened,")
                  + incompleteListingReason + ",,,,\r\n"),
        std::string::npos)
        << csv.str();
    std::ostringstream json;
    writeRunJson(json, run);
    const std::string text = json.str();
    EXPECT_NE(text.find(R"("repaired": true)"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("repaired": false)"), std::string::npos) << text;
}

// Past its memory bound the sort spills to several runs on disk; their merge gives every pair,
// duplicates included, in order.
TEST(PathSortTest, MergesItsSpilledRunsInOrder)
{
    PathSort sort(1000);
    std::vector<std::pair<std::string, std::uint64_t>> expected;
    for (std::uint64_t i = 0; i < 250; ++i) {
        expected.emplace_back("dir/" + std::to_string(i * 7919 % 101) + ".pdf", i % 3);
        sort.add(expected.back().first, expected.back().second);
    }
    std::sort(expected.begin(), expected.end());
    std::vector<std::pair<std::string, std::uint64_t>> sorted;
    sort.forEachSorted(
        [&](const std::string &path, std::uint64_t n) { sorted.emplace_back(path, n); });
    EXPECT_EQ(sorted, expected);
}

// Results reach `report` in item order although item 0 finishes last, and the worker that runs
// ahead meanwhile waits rather than holding every later result: item 0 is let go only by the
// caller's tick, which comes once the other worker has stopped or done everything.
TEST(WorkerPoolTest, ReportsInOrderAndHoldsBoundedResults)
{
    constexpr std::size_t items = 1000;
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    std::size_t done = 0, reported = 0, mostHeld = 0; // under `mutex`
    std::vector<std::size_t> order;
    runInOrder<std::size_t>(
        items,
        2,
        [&](unsigned, std::size_t item) -> std::optional<std::size_t> {
            std::unique_lock lock(mutex);
            released.wait(lock, [&] { return item > 0 || release; });
            mostHeld = std::max(mostHeld, ++done - reported);
            return item;
        },
        [&](std::size_t &item) {
            const std::lock_guard lock(mutex);
            order.push_back(item);
            ++reported;
        },
        [&] {
            const std::lock_guard lock(mutex);
            release = true;
            released.notify_all();
        });
    std::vector<std::size_t> expected(items);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(order, expected);
    EXPECT_LT(mostHeld, items / 10);
}

} // namespace
