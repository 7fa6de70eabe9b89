// quenlith-cli run as a program: that each option reaches the extraction and how the outcome is
// reported (exit status, text, JSON, CSV), and the command line's own rules. What the extraction
// puts on disk is checked by its own tests.

#include "tests/support/FileContents.h"
#include "tests/support/FileDigest.h"
#include "tests/support/PdfFixtures.h"
#include "tests/support/ScratchFolder.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace quenlith::fixtures;

namespace {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

FileSpecFixture spec(const std::string &name, const std::string &data)
{
    FileSpecFixture file;
    file.data = data;
    file.names = { { "/F", name } };
    file.treeKeys = { name };
    return file;
}

// Writes the documents into `root`, which it returns.
const fs::path &writeDocuments(const fs::path &root)
{
    const auto at = [&root](const std::string &name) {
        fs::create_directories((root / name).parent_path());
        return (root / name).string();
    };
    writePdf(at("a.pdf"), { { "x.txt", "one" }, { "y, \"z\".txt", "two" } });
    writePdf(at("big.pdf"), { { "big.txt", std::string(3000, 'a') }, { "small.txt", "s" } });
    writePdf(at("evil.pdf"), { { "ctl\x01\x1b[2J.txt", "6", 1 } });
    writePdf(at("repaired.pdf"), { { "a.txt", "alpha" } });
    breakXref(at("repaired.pdf"));
    writePdf(at("empty.pdf"), {});
    std::ofstream(at("bad.pdf")) << "this is not a PDF document at all\n";
    writePdf(at("caf\xe9.pdf"), { { "b.txt", "2" } }); // Latin-1, not UTF-8
    writePdf(at("in/nest.pdf"), { { "inner.pdf", readFile(root / "evil.pdf") } });
    // Nine documents, of four names twice; the first in the walk's order takes the longest.
    for (int i = 0; i < 9; ++i)
        writePdf(
            at("tree/" + std::string(i % 2 ? "a/" : "b/") + "doc" + std::to_string(i % 5) + ".pdf"),
            { { "f.txt", std::string(i == 5 ? 2'000'000 : i, 'a'), i % 2 }, { "f.txt", "2" } },
            2);

    DocumentFixture origins;
    origins.files = { spec("named.txt", "n"), spec("invoice.xml", "i"), spec("hidden", "h") };
    origins.files[1].treeKeys = {};
    origins.files[1].afOwners = { "catalog" };
    origins.files[1].afRelationship = "Alternative";
    origins.files[1].creationDate = "D:20240501120000Z";
    origins.files[2].treeKeys = {};
    origins.files[2].unreferenced = true;
    writeDocument(at("origins.pdf"), origins);

    DocumentFixture portfolio;
    portfolio.files = { spec("<2>deep.txt", "deep"), spec("top.txt", "top") };
    portfolio.files[0].names = {};
    writeDocument(at("p.pdf"), portfolio);
    addPortfolio(at("p.pdf"), { 0, "Root", { { 1, "a", -1, -1 }, { 2, "b", 0, -1 } } });

    DocumentFixture checksums;
    for (const std::string verdict : { "verified", "none", "mismatch" }) {
        checksums.files.push_back(spec(verdict + ".txt", verdict));
        checksums.files.back().checkSum = verdict == "none" ? "" : md5Of("verified");
    }
    writeDocument(at("c.pdf"), checksums);

    DocumentFixture invoice;
    invoice.files = { spec("a.pdf", "attached"),
        spec("factur-x.xml", invoiceXml("CII", "urn:cen.eu:en16931:2017")) };
    invoice.metadata = invoiceXmp("factur-x.xml", "EN 16931");
    writeDocument(at("inv.pdf"), invoice);
    invoice.files = { spec("other.xml", "other") };
    invoice.metadata = invoiceXmp("ZUGFeRD-invoice.xml", "COMFORT", zugferd1Namespace, "zf");
    writeDocument(at("lost-inv.pdf"), invoice);

    writeDocument(at("enc.pdf"),
        { .files = { spec("secret.txt", "secret") },
            .encryption = Encryption::Aes256,
            .userPassword = "attachment" });
    return root;
}

// The folder of the documents every test reads, made on first use; each run writes into
// folders of its own.
const fs::path &root()
{
    static const ScratchFolder folder("quenlith-cli");
    static const fs::path &path = writeDocuments(folder.path());
    return path;
}

// Runs the shell line `line` in root(), where $CLI names the program, with `input` on its
// standard input. The streams pass through files of their own scratch folder.
RunResult run(const std::string &line, const std::string &input = "")
{
    static const ScratchFolder io("quenlith-cli-io");
    std::ofstream(io.path() / "in", std::ios::binary) << input;
    const std::string command = "cd '" + root().string() + "' && CLI='" QUENLITH_CLI_PATH "' && { "
        + line + "; } <'" + io.file("in") + "' >'" + io.file("out") + "' 2>'" + io.file("err")
        + "'";
    const int status = std::system(command.c_str());
    return { WIFEXITED(status) ? WEXITSTATUS(status) : -1,
        readFile(io.path() / "out"),
        readFile(io.path() / "err") };
}

// `text` checked as the JSON output of `command` ("list" or "extract"), flattened:
// {"documents.0.status" → "\"opened\"", "documents.#" → "1", ...}.
std::map<std::string, std::string> checkedJson(const std::string &text, const std::string &command)
{
    const RunResult check = run("python3 '" QUENLITH_JSON_CHECK "' " + command, text);
    EXPECT_EQ(check.exitCode, 0) << check.err << text;
    std::map<std::string, std::string> flat;
    std::istringstream lines(check.out);
    for (std::string line; std::getline(lines, line);)
        flat[line.substr(0, line.find('\t'))] = line.substr(line.find('\t') + 1);
    return flat;
}

// Runs `line`, expecting `exitCode`; checkedJson's result.
std::map<std::string, std::string> runJson(const std::string &line, int exitCode)
{
    const RunResult result = run(line);
    EXPECT_EQ(result.exitCode, exitCode) << line << result.err;
    return checkedJson(
        result.out, line.find("$CLI list") != std::string::npos ? "list" : "extract");
}

TEST(CliRun, VersionHelpAndUsageErrors)
{
    const RunResult version = run("$CLI --version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "Quenlith 1.03\n");
    const std::string help = run("$CLI --help").out;
    EXPECT_NE(help.find("quenlith-cli extract [-o DIR]"), std::string::npos);
    for (const char *status : { "\n  0 ", "\n  1 ", "\n  2 ", "\n  130 " })
        EXPECT_NE(help.find(status), std::string::npos) << status;
    for (const char *refused : { "",
             "unpack a.pdf",
             "list",
             "list --frob a.pdf",
             "list -o out a.pdf",
             "extract --jobs 0 a.pdf",
             "extract --jobs 2x a.pdf",
             "extract a.pdf --jobs",
             "extract -o '' a.pdf",
             "extract --existing=replace a.pdf",
             "extract --shard 0/4 a.pdf",
             "extract --shard 3/2 a.pdf",
             "extract --max-ratio 0 a.pdf",
             "extract --max-document-size 0 a.pdf",
             "list --max-document-size 5 a.pdf",
             "list --unlisted a.pdf",
             "list --nested a.pdf",
             "list --layout flat a.pdf",
             "list --ignore-case a.pdf" }) {
        const RunResult result = run(std::string("$CLI ") + refused);
        EXPECT_EQ(result.exitCode, 2) << refused;
        EXPECT_EQ(result.out, "") << refused;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 2) << result.err;
        EXPECT_NE(result.err.find("--help"), std::string::npos) << refused;
    }
}

// A shell line ($CLI: the program) and its exit status, with what it reports: text found in its
// output, and members of its JSON output (those starting "documents.", "summary." or "error=";
// the line is run again with --json), "member=value", a '*' ending a value that is a prefix.
// Each run writes into an empty folder "out".
struct Run {
    const char *name;
    int exitCode;
    std::string line;
};

struct Row {
    Run run;
    std::vector<std::string> expected;
};

bool isMember(const std::string &expected)
{
    return expected.starts_with("documents.") || expected.starts_with("summary.")
        || expected.starts_with("error=");
}

const std::string invoiceDocuments = " inv.pdf lost-inv.pdf a.pdf";
const std::string sha256OfOne = "7692c3ad3540bb803c020b3aee66cd8887123234ea0c6e7143c0add73ff431ed";
// Three documents: the second, from the list, opens; the third is missing.
const std::vector<std::string> listedThenMissing = {
    "documents.#=3", R"(documents.1.status="opened")", R"(documents.2.status="file-unreadable")"
};
const std::string linkAtA = "mkdir -p out elsewhere && ln -s ../elsewhere out/a && ";

const Row rows[] = {
    { { "ListNamesSizesAndPages", 0, "$CLI list a.pdf big.pdf evil.pdf" },
        { "a.pdf: 2 attachments\n  x.txt  (names, 3 bytes",
            "  big.txt  (names, 2.93 KiB, ",
            "ctl\\x01\\x1b[2J.txt",
            "documents.0.attachmentCount=2",
            "documents.0.attachments.0.page=null",
            R"(documents.2.attachments.0.name="ctl\u0001\u001b[2J.txt")",
            "documents.2.attachments.0.page=1",
            "summary.attachments=5" } },
    { { "ListOrigins", 0, "$CLI list origins.pdf" },
        { "  invoice.xml  (af of the catalog, ",
            "  hidden  (unlisted, ",
            R"(documents.0.attachments.1.origin="af")",
            R"(documents.0.attachments.1.afOwner="catalog")",
            R"(documents.0.attachments.1.afRelationship="Alternative")",
            R"(documents.0.attachments.1.created="2024-05-01T12:00:00Z")",
            R"(documents.0.attachments.2.origin="unlisted")" } },
    { { "ListPortfolioFolders", 0, "$CLI list p.pdf" },
        { "  deep.txt  (portfolio folder a/b, ? bytes",
            "  top.txt  (names, ? bytes",
            R"(documents.0.attachments.0.origin="portfolio")",
            R"(documents.0.attachments.0.folder="a/b")",
            R"(documents.0.attachments.0.key="<2>deep.txt")" } },
    { { "ListInvoices", 0, "$CLI list" + invoiceDocuments },
        { "inv.pdf: 2 attachments\n  invoice: Factur-X EN 16931, no. 471102 of 2024-11-15, "
          "Lieferant GmbH to Kunde AG, 235.62 EUR\n  a.pdf",
            "lost-inv.pdf: 1 attachment\n  invoice: ZUGFeRD 1.0 COMFORT, ZUGFeRD-invoice.xml "
            "(missing)\n",
            R"(documents.0.invoice.standard="Factur-X")",
            R"(documents.0.invoice.profile="EN 16931")",
            "documents.0.invoice.attachmentIndex=2",
            R"(documents.0.invoice.number="471102")",
            R"(documents.0.invoice.grandTotal="235.62")",
            "documents.1.invoice.present=false",
            "documents.2.invoice=null" } },
    { { "UnopenableDocumentsFailAndTheRestIsDone", 1, "$CLI list bad.pdf a.pdf missing.pdf" },
        { "bad.pdf: cannot open: ",
            "missing.pdf: cannot open: ",
            R"(documents.0.status="not-pdf")",
            R"(documents.0.reason="not a PDF document*)",
            R"(documents.1.status="opened")",
            R"(documents.2.status="file-unreadable")",
            "summary.documentsFailed=2" } },
    { { "RepairIsAWarning", 0, "$CLI extract -o out repaired.pdf" },
        { "\n  warning: ", "documents.0.repaired=true", R"(documents.0.warnings.0="*)" } },
    { { "ListRepaired", 0, "$CLI list repaired.pdf a.pdf" },
        { "repaired.pdf: 1 attachment\n  repaired: ", "documents.0.repaired=true" } },
    { { "MaxSizeFailsTheAttachmentNotTheDocument",
          1,
          "$CLI extract --max-size 1000 -o out big.pdf" },
        { "  big.txt  FAILED: stopped: ",
            R"(documents.0.attachments.0.status="failed")",
            R"(documents.0.attachments.0.reason="stopped: *)",
            "summary.documentsFailed=0" } },
    { { "MaxDocumentSize", 1, "$CLI extract --max-document-size 2000 -o out big.pdf" },
        { R"(documents.0.attachments.0.reason="stopped: the document's attachments together *)" } },
    { { "UnlistedFilesOnlyOnRequest", 0, "$CLI extract -o out origins.pdf" },
        { "documents.0.attachments.#=2" } },
    { { "Unlisted", 0, "$CLI extract --unlisted -o out origins.pdf" },
        { "documents.0.attachments.#=3", R"(documents.0.attachments.2.origin="unlisted")" } },
    { { "Nested", 0, "$CLI extract --nested -o out in/nest.pdf" },
        { "out/nest/inner.pdf -> out/nest/inner.pdf.attachments/\n  ctl__[2J.txt",
            "documents.#=2",
            R"(documents.1.path="out/nest/inner.pdf")",
            R"(documents.1.nestedIn="in/nest.pdf")",
            "documents.1.nesting=1" } },
    { { "PortfolioFolders", 0, "$CLI extract -o out p.pdf" },
        { "\n  a/b/deep.txt  (4 bytes)\n",
            R"(documents.0.attachments.0.outputPath="out/p/a/b/deep.txt")" } },
    { { "ChecksumVerdicts", 1, "$CLI extract -o out c.pdf" },
        { R"(documents.0.attachments.0.checksum="verified")",
            R"(documents.0.attachments.1.checksum="none")",
            R"(documents.0.attachments.2.checksum="mismatch")",
            R"(documents.0.attachments.2.status="checksum-mismatch")" } },
    { { "ChosenAttachments",
          0,
          "$CLI extract --exclude '*.PDF' --ignore-case --nested -o out inv.pdf in/nest.pdf" },
        { "\n  a.pdf  (excluded by --exclude '*.PDF')\n  factur-x.xml  (",
            "in/nest.pdf: no attachment chosen\n",
            R"(documents.0.attachments.0.status="skipped")",
            "documents.0.attachments.0.outputPath=null",
            "documents.#=2",
            "documents.1.documentFolder=null",
            "summary.attachmentsSkipped=2" } },
    { { "ListChosenAttachments", 0, "$CLI list --include '*.xml' inv.pdf" },
        { "inv.pdf: 1 attachment\n", "documents.0.attachments.0.index=2" } },
    { { "FlatLayout", 0, "$CLI extract --layout flat -o out a.pdf" },
        { "a.pdf -> out/\n  a__x.txt  (3 bytes)",
            R"(documents.0.documentFolder="out/")",
            R"(documents.0.attachments.0.outputPath="out/a__x.txt")" } },
    { { "LinkAtTheDocumentFolder", 0, linkAtA + "$CLI extract -o out a.pdf" },
        { "a.pdf -> out/a (2)/\n  note: written into a (2) because a is a symbolic link\n",
            R"(documents.0.documentFolder="out/a (2)/")",
            R"(documents.0.notes.0="written into a (2) because a is a symbolic link")" } },
    { { "InvoicesOnly",
          1,
          "$CLI extract --invoices-only --invoice-names --layout flat -o out" + invoiceDocuments },
        { "a.pdf: no invoice\n",
            "lost-inv.pdf: FAILED: the invoice ZUGFeRD-invoice.xml that its XMP metadata "
            "declares is not among its attachments",
            "Summary: 3 documents (1 failed), 1 attachment written",
            R"(documents.0.attachments.0.outputPath="out/inv__471102.xml")",
            "documents.2.documentFolder=null",
            R"(documents.2.notes.0="no invoice: its XMP metadata declares none and no XML )"
            R"(attachment is one")" } },
    { { "WithoutThePassword", 1, "$CLI extract -o out enc.pdf" },
        { R"(documents.0.status="needs-password")" } },
    { { "PasswordsInTurn",
          0,
          "$CLI extract --password wrong --password attachment -o out enc.pdf" },
        { R"(documents.0.status="opened")", "summary.attachmentsWritten=1" } },
    { { "PasswordFromTheFirstLineOfAFile",
          0,
          "printf 'attachment\\r\\nnot this\\n' >pw && $CLI extract --password-file pw enc.pdf" },
        { R"(documents.0.status="opened")" } },
    { { "PasswordFromStandardInput", 0, "echo attachment | $CLI list --password-file - enc.pdf" },
        { R"(documents.0.status="opened")" } },
    { { "PasswordFileMissing", 1, "$CLI list --password-file missing.txt enc.pdf" },
        { "cannot read missing.txt" } },
    { { "FilesFromMissing", 1, "$CLI list --files-from no-such-list.txt" },
        { "cannot read no-such-list.txt" } },
    { { "CsvReport",
          0,
          "$CLI extract -o out --report-csv r a.pdf bad.pdf empty.pdf inv.pdf >/dev/null; cat r" },
        { "document,document_folder,attachment,key,size,sha256,status,reason,invoice_number,"
          "invoice_date,invoice_currency,invoice_total\r\n"
          "a.pdf,out/a/,x.txt,x.txt,3,"
                + sha256OfOne + ",written,,,,,\r\n",
            "\r\nbad.pdf,,,,,,not-pdf,not a PDF document: ",
            "\r\nempty.pdf,out/empty/,,,,,opened,no attachments,,,,\r\n",
            ",written,,471102,2024-11-15,EUR,235.62\r\n" } },
    { { "AReportThatCannotBeCreated", 1, "$CLI extract -o out --report no/such/r.json a.pdf" },
        { "cannot create no/such/r.json", R"(error="cannot create no/such/r.json*)" } },
    { { "AnOutputFolderThatCannotBeCreated", 1, "$CLI extract -o a.pdf/out a.pdf" },
        { "cannot create the output folder a.pdf/out: ",
            R"(error="cannot create the output folder a.pdf/out: *)",
            "documents.#=0" } },
    { { "TheOutputFolderInsideAnInputFolderIsNoInput",
          0,
          "$CLI extract -o in/out in >/dev/null && $CLI extract -o in/out in" },
        { "not extracting the documents in in/out/: it is the output folder",
            "Summary: 1 document (0 failed)" } },
    { { "TheInputFolderItselfAsOutput",
          0,
          "mkdir -p self && cp in/nest.pdf self && $CLI extract -o self self 2>&1 >/dev/null | cmp "
          "/dev/null -" },
        {} },
    { { "ListToAFullDisk", 1, "$CLI list a.pdf >/dev/full" }, { "cannot write the output" } },
    { { "ExtractToAFullDisk", 1, "$CLI extract -o out a.pdf >/dev/full" },
        { "cannot write the output" } },
    { { "HelpToAFullDisk", 1, "$CLI --help >/dev/full" }, { "cannot write the output" } },
    { { "ARerunKeepsAnEditedFile",
          0,
          "$CLI extract -o out a.pdf >/dev/null && echo edited >out/a/x.txt && $CLI extract -o out "
          "a.pdf" },
        { "written as x (2).txt because x.txt already existed with other content",
            "1 attachment written (3 bytes), 1 unchanged, 1 renamed,",
            "summary.attachmentsRenamed=1",
            "summary.attachmentsUnchanged=1" } },
    { { "ARerunOverwritesOnRequest",
          0,
          "$CLI extract -o out a.pdf >/dev/null && echo edited >out/a/x.txt && $CLI extract "
          "--existing=overwrite -o out a.pdf" },
        { "1 overwritten", "summary.attachmentsOverwritten=1" } },
    // Paths from a file or a pipe keep every byte (a Latin-1 name here); a missing one is
    // reported like a PATH argument; a document named again, however spelled, counts once.
    { { "FilesFromLines",
          1,
          "printf 'caf\\351.pdf\\r\\n\\nmissing.pdf\\n./a.pdf\\nmissing.pdf\\n' >l && $CLI list "
          "--files-from l a.pdf" },
        listedThenMissing },
    { { "FilesFromNulSeparatedStandardInput",
          1,
          "printf 'caf\\351.pdf\\0missing.pdf\\0' | $CLI list --files-from - -0 a.pdf" },
        listedThenMissing },
    { { "FilesFromNulSeparatedFile",
          1,
          "printf 'caf\\351.pdf\\0missing.pdf' >l && $CLI list a.pdf --files-from=l --null" },
        listedThenMissing },
    // Lines of the files the program reads are bounded; an endless one is an error, not a hang.
    { { "ALongLineOfAList",
          1,
          "{ echo a.pdf; printf '%4097s\\n' x; } >l && $CLI list --files-from l" },
        { "line 2 of l is longer than 4096 bytes" } },
    { { "AnEndlessList", 1, "$CLI list --files-from /dev/zero" }, { "is longer than 4096 bytes" } },
    { { "AnEndlessPasswordFile", 1, "$CLI list --password-file /dev/zero a.pdf" },
        { "line 1 of /dev/zero is longer than 4096 bytes" } },
    // The order and the words of the output are the same whatever the number of jobs.
    { { "ListWhateverTheJobs", 0, "$CLI list tree -j 1 >1 && $CLI list tree -j 4 | cmp 1 -" }, {} },
    { { "TextWhateverTheJobs",
          0,
          "$CLI extract -o out/1 tree --jobs=2 -j 1 | sed s,out/1,, >1 && $CLI extract -o out/4 "
          "tree -j 4 | sed s,out/4,, | cmp 1 -" },
        {} },
    { { "JsonWhateverTheJobs",
          0,
          "$CLI extract --json -o out/1 in tree -j 1 | sed s,out/1,, >1 && $CLI extract --json -o "
          "out/4 in tree -j 4 | sed s,out/4,, | cmp 1 -" },
        {} },
};

void PrintTo(const Row &row, std::ostream *out)
{
    *out << row.run.line;
}

class CliRow : public ::testing::TestWithParam<Row> { };

TEST_P(CliRow, ReportsTheOutcome)
{
    const Row &row = GetParam();
    fs::remove_all(root() / "out");
    fs::remove_all(root() / "in/out");
    const RunResult result = run(row.run.line);
    EXPECT_EQ(result.exitCode, row.run.exitCode) << result.out << result.err;
    std::vector<std::string> members;
    for (const std::string &expected : row.expected) {
        if (isMember(expected))
            members.push_back(expected);
        else
            EXPECT_NE((result.out + result.err).find(expected), std::string::npos)
                << expected << "\nin:\n"
                << result.out << result.err;
    }
    if (members.empty())
        return;
    fs::remove_all(root() / "out");
    auto json = runJson(row.run.line + " --json", row.run.exitCode);
    for (const std::string &expected : members) {
        const std::string member = expected.substr(0, expected.find('='));
        const std::string value = expected.substr(member.size() + 1);
        if (value.ends_with('*'))
            EXPECT_EQ(json[member].rfind(value.substr(0, value.size() - 1), 0), 0u)
                << member << ": " << json[member];
        else
            EXPECT_EQ(json[member], value) << member;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, CliRow, ::testing::ValuesIn(rows), [](const ::testing::TestParamInfo<Row> &row) {
        return std::string(row.param.run.name);
    });

// A reader that went away ends the program quietly, by SIGPIPE, as it ends other tools, also when
// it was started with the signal ignored. The exit status goes to standard error, past the pipe.
TEST(CliRun, AClosedPipeEndsTheProgramQuietly)
{
    for (const std::string trap : { "", "trap '' PIPE; " }) {
        const RunResult result
            = run("( " + trap + "$CLI list --json a.pdf; echo status $? >&2 ) | (exec 0<&-; true)");
        EXPECT_EQ(result.err, "status 141\n") << trap;
    }
}

// Each document's folder as the JSON of `run` reports it, under the output folder `out`.
std::map<std::string, std::string> foldersOf(
    std::map<std::string, std::string> json, const std::string &out)
{
    std::map<std::string, std::string> folders;
    for (int i = 0; json.count("documents." + std::to_string(i) + ".path"); ++i) {
        const std::string at = "documents." + std::to_string(i) + ".";
        folders[json[at + "path"]] = json[at + "documentFolder"].substr(out.size() + 2);
    }
    return folders;
}

// N shards of one job, run at once into one folder as the scale guide does, do every document
// once, in the folder a single run gives it; the guide's jq program joins their reports.
TEST(CliRun, ShardsSplitTheWorkAndTogetherGiveOneRunsFolders)
{
    const auto whole = foldersOf(runJson("$CLI extract --json -o whole tree", 0), "whole");
    ASSERT_EQ(whole.size(), 9u);
    for (const int count : { 2, 5 }) {
        const std::string out = "shards" + std::to_string(count);
        const RunResult merged = run("parallel -j4 \"$CLI extract --json -o " + out + " --shard {}/"
            + std::to_string(count) + " tree > " + out + "-{}.json\" ::: $(seq "
            + std::to_string(count)
            + ") && jq -s -f '" QUENLITH_SOURCE_DIR "/docs/scale/merge-reports.jq' " + out
            + "-*.json");
        ASSERT_EQ(merged.exitCode, 0) << merged.err;
        auto json = checkedJson(merged.out, "extract");
        EXPECT_EQ(foldersOf(json, out), whole) << count;
        EXPECT_EQ(json["summary.documents"], "9");
        EXPECT_EQ(json["summary.attachmentsWritten"], "18");
    }
}

// A report goes where it is told only when that harms nothing: never over an input, the other
// report, a file of the output folder or a folder; into a FIFO as it comes.
TEST(CliRun, ReportsNeverReplaceWhatTheyMustNot)
{
    std::ofstream(root() / "list.txt") << "a.pdf\n";
    std::ofstream(root() / "pw.txt") << "pw\n";
    ASSERT_EQ(run("$CLI extract -o reports a.pdf").exitCode, 0);
    const std::pair<std::string, std::string> refused[] = {
        { "--report a.pdf a.pdf", "--report a.pdf: it is the input a.pdf" },
        { "--report-csv ./a.pdf --files-from list.txt", "it is the input a.pdf" },
        { "--report list.txt --files-from list.txt", "it is the --files-from list" },
        { "--report pw.txt --password-file pw.txt a.pdf", "it is the --password-file file" },
        { "--report in a.pdf", "it is a folder" },
        { "--report in/nest.pdf in", "it is a document in the input folder in" },
        { "--report reports/a/x.txt a.pdf", "it is inside the output folder reports" },
        { "--report r --report-csv ./r a.pdf", "--report and --report-csv name the same file" },
        { "--json --report - a.pdf", "--json writes standard output too" },
    };
    const std::string before = readFile(root() / "a.pdf");
    for (const auto &[arguments, message] : refused) {
        const RunResult result = run("$CLI extract -o reports " + arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments;
        EXPECT_EQ(result.err.rfind("quenlith-cli: not writing the report ", 0), 0u) << arguments;
        EXPECT_NE(result.err.find(message), std::string::npos) << arguments << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    EXPECT_EQ(readFile(root() / "a.pdf"), before);
    EXPECT_EQ(readFile(root() / "reports/a/x.txt"), "one");

    const RunResult toStdout = run("$CLI extract -o reports --report - a.pdf");
    EXPECT_EQ(toStdout.exitCode, 0) << toStdout.err;
    auto json = checkedJson(toStdout.out, "extract");
    EXPECT_EQ(json["summary.attachmentsUnchanged"], "2");
    EXPECT_EQ(json["documents.0.attachments.0.sha256"], '"' + sha256OfOne + '"');
    ASSERT_EQ(::mkfifo((root() / "fifo").c_str(), 0600), 0);
    const RunResult fifo
        = run("cat fifo > fifo.csv & $CLI extract -o reports --report-csv fifo a.pdf; wait");
    EXPECT_EQ(fifo.exitCode, 0) << fifo.err;
    EXPECT_EQ(fs::status(root() / "fifo").type(), fs::file_type::fifo);
    EXPECT_EQ(readFile(root() / "fifo.csv").rfind("document,", 0), 0u);
    if (::geteuid() == 0) { // only root could replace a device node
        EXPECT_EQ(run("$CLI extract -o reports --report /dev/null a.pdf").exitCode, 0);
        EXPECT_EQ(fs::status("/dev/null").type(), fs::file_type::character);
    }
}

} // namespace
