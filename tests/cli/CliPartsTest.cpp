// The parts of quenlith-cli that decide on text: JSON, terminal text, names, dates, options.

#include "cli/CommandLine.h"
#include "cli/DocumentInputs.h"
#include "extract/report/ReportText.h"
#include "util/JsonWriter.h"
#include "util/Utf8Text.h"

#include <climits>
#include <gtest/gtest.h>

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
    EXPECT_EQ(parsed.commandLine.password, "x");
    EXPECT_FALSE(parsed.commandLine.json);
    EXPECT_EQ(parsed.commandLine.paths, (std::vector<std::string> { "a.pdf", "--json" }));
}

} // namespace
