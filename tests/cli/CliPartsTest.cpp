// The parts of quenlith-cli that decide on text: JSON strings, terminal text, document names,
// dates and the command line.

#include "cli/CommandLine.h"
#include "cli/DocumentInputs.h"
#include "cli/JsonWriter.h"
#include "cli/ReportText.h"
#include "cli/Utf8Text.h"
#include "tests/cli/MiniJson.h"

#include <climits>
#include <gtest/gtest.h>
#include <sstream>

using namespace quenlith::cli;

namespace {

struct QuotedCase {
    const char *label;
    std::string bytes;
    std::string expected;
};

class JsonQuoting : public ::testing::TestWithParam<QuotedCase> { };

TEST_P(JsonQuoting, EscapesOrReplacesEveryByteItMust)
{
    const QuotedCase &row = GetParam();
    const std::string quoted = JsonWriter::quoted(row.bytes);
    EXPECT_EQ(quoted, row.expected);
    // Whatever the bytes, the literal is valid JSON.
    EXPECT_NO_THROW(quenlith::testing::parseJson(quoted));
}

INSTANTIATE_TEST_SUITE_P(Strings,
    JsonQuoting,
    ::testing::Values(QuotedCase { "plain", "invoice.xml", "\"invoice.xml\"" },
        QuotedCase { "quoteAndBackslash", "a\"b\\c", "\"a\\\"b\\\\c\"" },
        QuotedCase {
            "controls", std::string("\x01\n\t\x1b\x7f", 5), "\"\\u0001\\n\\t\\u001b\\u007f\"" },
        QuotedCase { "nulByte", std::string("a\0b", 3), "\"a\\u0000b\"" },
        QuotedCase { "validUtf8Kept",
            "Gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac \xf0\x9f\x93\x8e",
            "\"Gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac \xf0\x9f\x93\x8e\"" },
        QuotedCase { "latin1Byte", "caf\xe9.txt", "\"caf\xef\xbf\xbd.txt\"" },
        QuotedCase { "truncatedSequence", "x\xe2\x82", "\"x\xef\xbf\xbd\xef\xbf\xbd\"" },
        QuotedCase { "overlongSlash", "\xc0\xaf", "\"\xef\xbf\xbd\xef\xbf\xbd\"" },
        QuotedCase {
            "surrogateEncoded", "\xed\xa0\x80", "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\"" },
        QuotedCase { "lineSeparator", "a\xe2\x80\xa8", "\"a\\u2028\"" }),
    [](const auto &row) { return std::string(row.param.label); });

TEST(JsonWriterTest, NestsAndSeparatesValues)
{
    std::ostringstream out;
    JsonWriter json(out);
    json.beginObject();
    json.field("name", "a");
    json.key("list");
    json.beginArray();
    json.number(-3);
    json.boolean(true);
    json.null();
    json.beginObject();
    json.endObject();
    json.endArray();
    json.fieldOrNull("empty", "");
    json.endObject();
    const auto value = quenlith::testing::parseJson(out.str());
    EXPECT_EQ(value["name"].text, "a");
    ASSERT_EQ(value["list"].items.size(), 4u);
    EXPECT_EQ(value["list"][0].number, -3);
    EXPECT_TRUE(value["list"][1].boolean);
    EXPECT_TRUE(value["list"][2].isNull());
    EXPECT_TRUE(value["empty"].isNull());
}

TEST(TerminalText, MakesControlsVisibleAndKeepsPlainText)
{
    EXPECT_EQ(terminalText("report 2024.pdf"), "report 2024.pdf");
    EXPECT_EQ(terminalText("a\x1b[31mb"), "a\\x1b[31mb");
    EXPECT_EQ(terminalText("x\xe2\x80\xaetxt.exe"), "x\\u202etxt.exe"); // right-to-left override
    EXPECT_EQ(terminalText("\xff"), "\xef\xbf\xbd");
    EXPECT_EQ(terminalText("C:\\x\\y.txt"), "C:\\x\\y.txt");
}

TEST(DocumentName, TakesTrimmedCaseInsensitivePdfEndingsOnly)
{
    for (const char *name : { "a.pdf", "dir/b.PDF", "c.Pdf", "d.pdf  ", "  e.pDf", ".pdf" })
        EXPECT_TRUE(isDocumentName(name)) << name;
    for (const char *name : { "a.pdf.bak", "b.pdfx", "c.pd", "pdf", "dir.pdf/x", "", "    " })
        EXPECT_FALSE(isDocumentName(name)) << name;
}

TEST(IsoDate, FormatsUtcAndRejectsWhatIsNoDate)
{
    EXPECT_EQ(isoDate(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(isoDate(1714557600), "2024-05-01T10:00:00Z");
    EXPECT_EQ(isoDate(-86400), "1969-12-31T00:00:00Z");
    EXPECT_EQ(isoDate(INT64_MIN), "");
    EXPECT_EQ(isoDate(INT64_MAX), "");
}

TEST(CommandLineTest, ReadsOptionsInEveryForm)
{
    auto parsed = parseCommandLine(
        { "extract", "-o", "out", "--jobs=3", "a.pdf", "--json", "--", "-b.pdf" });
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.commandLine.command, Command::Extract);
    EXPECT_EQ(parsed.commandLine.outputFolder, "out");
    EXPECT_EQ(parsed.commandLine.jobs, 3u);
    EXPECT_TRUE(parsed.commandLine.json);
    EXPECT_EQ(parsed.commandLine.paths, (std::vector<std::string> { "a.pdf", "-b.pdf" }));

    parsed = parseCommandLine({ "list", "-j2", "--password", "", "--password=secret", "x" });
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.commandLine.jobs, 2u);
    EXPECT_EQ(parsed.commandLine.password, "secret");

    EXPECT_EQ(parseCommandLine({ "list", "x", "--help" }).commandLine.command, Command::Help);
    EXPECT_EQ(parseCommandLine({ "--version" }).commandLine.command, Command::Version);
}

TEST(CommandLineTest, RefusesWhatItCannotRun)
{
    const std::vector<std::vector<std::string>> refused = { {},
        { "frobnicate", "x" },
        { "list" },
        { "list", "--bogus", "x" },
        { "extract", "--jobs", "0", "x" },
        { "extract", "--jobs", "2x", "x" },
        { "extract", "x", "--jobs" },
        { "extract", "-o", "", "x" },
        { "list", "-o", "out", "x" } };
    for (const auto &arguments : refused)
        EXPECT_NE(parseCommandLine(arguments).error, "") << ::testing::PrintToString(arguments);
}

} // namespace
