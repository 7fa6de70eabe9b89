// quenlith-cli run as a program on generated document trees: exit statuses, output, JSON, the
// layout it writes and that it writes nothing outside its output folder.

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
#include <tuple>
#include <unistd.h>

namespace fs = std::filesystem;
using quenlith::fixtures::Attachment;

namespace {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

// Runs the shell command `line` in `folder` with `input` on its standard input. The streams pass
// through files in a scratch folder of their own, so that `folder` gets none of them.
RunResult runShell(const std::string &line, const fs::path &folder, const std::string &input = "")
{
    static const quenlith::fixtures::ScratchFolder io("quenlith-cli-io");
    std::ofstream(io.path() / "in", std::ios::binary) << input;
    const std::string command = "cd '" + folder.string() + "' && " + line + " <'" + io.file("in")
        + "' >'" + io.file("out") + "' 2>'" + io.file("err") + "'";
    const int status = std::system(command.c_str());
    return { WIFEXITED(status) ? WEXITSTATUS(status) : -1,
        readFile(io.path() / "out"),
        readFile(io.path() / "err") };
}

// `text` checked as the JSON output of `command` ("list" or "extract"), flattened:
// {"documents.0.status" → "\"opened\"", "documents.#" → "1", ...}.
std::map<std::string, std::string> checkedJson(const std::string &text, const std::string &command)
{
    const RunResult check
        = runShell("python3 '" QUENLITH_JSON_CHECK "' " + command, fs::temp_directory_path(), text);
    EXPECT_EQ(check.exitCode, 0) << check.err << text;
    std::map<std::string, std::string> flat;
    std::istringstream lines(check.out);
    for (std::string line; std::getline(lines, line);)
        flat[line.substr(0, line.find('\t'))] = line.substr(line.find('\t') + 1);
    return flat;
}

// Every regular file below `root` (relative to it) with its content.
std::map<std::string, std::string> filesBelow(const fs::path &root)
{
    std::map<std::string, std::string> files;
    for (const auto &entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), root).generic_string()] = readFile(entry.path());
    return files;
}

class CliRun : public ::testing::Test {
protected:
    void document(const std::string &relative, const std::vector<Attachment> &files, int pages = 1)
    {
        fs::create_directories((m_root / relative).parent_path());
        quenlith::fixtures::writePdf((m_root / relative).string(), files, pages);
    }

    // Runs quenlith-cli with `arguments`, in shell syntax, in the test's folder.
    RunResult run(const std::string &arguments)
    {
        return runShell(QUENLITH_CLI_PATH " " + arguments, m_root);
    }

    // Runs quenlith-cli with `arguments` (and --json) expecting `exitCode`; checkedJson's result.
    std::map<std::string, std::string> runJson(const std::string &arguments, int exitCode)
    {
        const RunResult result = run(arguments);
        EXPECT_EQ(result.exitCode, exitCode) << result.err;
        return checkedJson(result.out, arguments.substr(0, arguments.find(' ')));
    }

    // A document with these attachments in its name tree and `xmp` as its metadata.
    void invoiceDocument(const std::string &relative,
        const std::vector<std::pair<std::string, std::string>> &files,
        const std::string &xmp)
    {
        quenlith::fixtures::DocumentFixture d;
        for (const auto &[name, data] : files) {
            quenlith::fixtures::FileSpecFixture spec;
            spec.data = data;
            spec.names = { { "/UF", name }, { "/F", name } };
            spec.treeKeys = { name };
            d.files.push_back(spec);
        }
        d.metadata = xmp;
        fs::create_directories((m_root / relative).parent_path());
        quenlith::fixtures::writeDocument((m_root / relative).string(), d);
    }

    quenlith::fixtures::ScratchFolder m_scratch { "quenlith-cli" };
    const fs::path &m_root = m_scratch.path();
};

TEST_F(CliRun, VersionHelpAndUsageErrors)
{
    const RunResult version = run("--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "Quenlith 1.03\n");
    const std::string help = run("--help").out;
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
             "list --layout flat a.pdf" }) {
        const RunResult result = run(refused);
        EXPECT_EQ(result.exitCode, 2) << refused;
        EXPECT_EQ(result.out, "") << refused;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 2) << result.err;
        EXPECT_NE(result.err.find("--help"), std::string::npos) << refused;
    }
}

// A rerun never loses what is in the output folder, and the reports say where each file is.
TEST_F(CliRun, RerunsKeepWhatIsThereAndTheReportsMatchTheDisk)
{
    document("in/a.pdf", { { "x.txt", "one", 0 }, { "y, \"z\".txt", "two", 0 } });
    ASSERT_EQ(run("extract -o out in").exitCode, 0);
    const RunResult again = run("extract -o out in");
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_NE(again.out.find("0 attachments written (0 bytes), 2 unchanged"), std::string::npos)
        << again.out;

    std::ofstream(m_root / "out/a/x.txt") << "edited";
    const RunResult edited = run("extract -o out --report r.json --report-csv r.csv in");
    EXPECT_EQ(edited.exitCode, 0) << edited.err;
    EXPECT_NE(
        edited.out.find("written as x (2).txt because x.txt already existed with other content"),
        std::string::npos)
        << edited.out;

    auto json = checkedJson(readFile(m_root / "r.json"), "extract");
    ASSERT_EQ(json["documents.0.attachments.#"], "2");
    EXPECT_EQ(json["summary.attachmentsRenamed"], "1");
    EXPECT_EQ(json["summary.attachmentsUnchanged"], "1");
    std::istringstream csv(readFile(m_root / "r.csv"));
    std::vector<std::string> rows;
    for (std::string row; std::getline(csv, row);)
        rows.push_back(row);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], "document,document_folder,attachment,key,size,sha256,status,reason\r");
    const std::string paths[] = { "out/a/x (2).txt", "out/a/y, \"z\".txt" };
    for (int i = 0; i < 2; ++i) {
        const std::string at = "documents.0.attachments." + std::to_string(i) + ".";
        const std::string &path = paths[i];
        const std::string sha = quenlith::fixtures::sha256OfFile((m_root / path).string());
        EXPECT_EQ(json[at + "sha256"], "\"" + sha + "\"") << path;
        EXPECT_NE(rows[1 + i].find("," + sha + ","), std::string::npos) << rows[1 + i];
    }
    EXPECT_EQ(rows[1].rfind("in/a.pdf,out/a/,x.txt,x.txt,3,", 0), 0u) << rows[1];
    EXPECT_NE(rows[2].find(R"(,"y, ""z"".txt",)"), std::string::npos) << rows[2];

    // --existing reaches the extraction, whose tests check the files on disk.
    const RunResult overwritten = run("extract -o out --existing=overwrite in");
    EXPECT_EQ(overwritten.exitCode, 0);
    EXPECT_NE(overwritten.out.find("1 overwritten"), std::string::npos) << overwritten.out;

    // A report that cannot be written fails the run, with the reason.
    const RunResult unwritable = run("extract -o out --report no/such/folder/r.json in");
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.err.find("cannot create no/such/folder/r.json"), std::string::npos)
        << unwritable.err;
    auto json2 = runJson("extract --json -o out --report no/such/folder/r.json in", 1);
    EXPECT_EQ(json2["error"].rfind("\"cannot create no/such/folder/r.json", 0), 0u);
}

// Output that does not arrive is a failure; a reader that went away ends the program quietly,
// by SIGPIPE, as it ends other tools; --json gives one document whatever happens.
TEST_F(CliRun, OutputThatCannotBeWrittenOrStartedFailsLoudly)
{
    document("in/a.pdf", { { "x.txt", "one", 0 } });
    // The exit status goes to standard error, past the redirection and the pipe.
    for (const auto &[arguments, message, status] : { std::tuple("list in > /dev/full", true, 1),
             std::tuple("extract -o out in > /dev/full", true, 1),
             std::tuple("--help > /dev/full", true, 1),
             std::tuple("list --json in | (exec 0<&-; true)", false, 141) }) {
        std::string command = arguments;
        const auto pipe = command.find(" |");
        const std::string tail = pipe == std::string::npos ? "" : command.substr(pipe);
        command = "{ ( " QUENLITH_CLI_PATH " " + command.substr(0, pipe) + "; echo status $? >&2 )"
            + tail + "; }";
        const RunResult result = runShell(command, m_root);
        EXPECT_EQ(result.err.find("cannot write the output") != std::string::npos, message)
            << command << result.err;
        EXPECT_NE(result.err.find("status " + std::to_string(status)), std::string::npos)
            << result.err;
    }
    std::ofstream(m_root / "file") << "in the way";
    const RunResult blocked = run("extract --json -o file/out in");
    EXPECT_EQ(blocked.exitCode, 1);
    auto json = checkedJson(blocked.out, "extract");
    EXPECT_EQ(json["error"].rfind("\"cannot create the output folder file/out: ", 0), 0u)
        << json["error"];
    EXPECT_EQ(json["documents.#"], "0");
}

// Paths from a file or a pipe keep every byte; a missing one is reported like a PATH argument.
TEST_F(CliRun, FilesFromTakesPathsLineByLineOrNulSeparated)
{
    document("in/with space.pdf", { { "a.txt", "1", 0 } });
    document("in/caf\xe9.pdf", { { "b.txt", "2", 0 } }); // Latin-1, not UTF-8
    document("in/x.pdf", { { "c.txt", "3", 0 } });
    std::ofstream(m_root / "lines.txt", std::ios::binary)
        << "in/with space.pdf\nin/caf\xe9.pdf\r\n\nin/missing.pdf\n";
    std::ofstream(m_root / "nul.txt", std::ios::binary)
        << std::string("in/with space.pdf\0in/caf\xe9.pdf\0in/missing.pdf\0", 46);
    for (const std::string arguments : { "--files-from lines.txt in/x.pdf",
             "--files-from - -0 in/x.pdf",
             "in/x.pdf --files-from=nul.txt --null" }) {
        fs::remove_all(m_root / "out");
        const RunResult result = runShell(
            QUENLITH_CLI_PATH " extract -o out " + arguments, m_root, readFile(m_root / "nul.txt"));
        EXPECT_EQ(result.exitCode, 1) << arguments << result.err; // in/missing.pdf
        EXPECT_NE(result.out.find("in/missing.pdf: FAILED: cannot be read"), std::string::npos)
            << result.out;
        EXPECT_EQ(filesBelow(m_root / "out"),
            (std::map<std::string, std::string> {
                { "with space/a.txt", "1" }, { "caf_/b.txt", "2" }, { "x/c.txt", "3" } }))
            << arguments;
    }
    const RunResult unreadable = run("list --files-from no-such-list.txt");
    EXPECT_EQ(unreadable.exitCode, 1);
    EXPECT_NE(unreadable.err.find("cannot read no-such-list.txt"), std::string::npos);
}

// N shards of one job, one after the other or all at once into one folder, do every document
// once and give exactly the files and folders of a single run.
TEST_F(CliRun, ShardsSplitTheWorkAndTogetherGiveOneRunsFiles)
{
    for (int i = 0; i < 12; ++i)
        document(
            "in/" + std::string(i % 3 == 0 ? "a/" : "b/") + "doc" + std::to_string(i % 5) + ".pdf",
            { { "f.txt", "document " + std::to_string(i), 0 } }); // doc0 to doc4, twice or once
    ASSERT_EQ(run("extract -o whole in").exitCode, 0);
    const auto whole = filesBelow(m_root / "whole");
    const std::size_t all = std::stoul(runJson("list --json in", 0)["documents.#"]);
    for (const int count : { 1, 2, 7 }) {
        const std::string out = "out" + std::to_string(count);
        std::size_t documents = 0;
        for (int k = 1; k <= count; ++k) {
            const std::string shard
                = " --shard " + std::to_string(k) + "/" + std::to_string(count) + " in";
            auto json = runJson("list --json" + shard, 0);
            documents += std::stoul(json["documents.#"]);
            ASSERT_EQ(run("extract -o " + out + shard).exitCode, 0);
        }
        EXPECT_EQ(documents, all) << count;
        EXPECT_EQ(filesBelow(m_root / out), whole) << count;
    }
    // Four processes at once into one folder, the recipe of the scale guide.
    const RunResult parallel = runShell("parallel -j4 " QUENLITH_CLI_PATH
                                        " extract -o together --shard {}/4 in ::: 1 2 3 4",
        m_root);
    EXPECT_EQ(parallel.exitCode, 0) << parallel.err;
    EXPECT_EQ(filesBelow(m_root / "together"), whole);
    EXPECT_EQ(run("extract --shard 0/4 in").exitCode, 2);

    // Their --json reports join into one, with the scale guide's jq program.
    for (int k = 1; k <= 3; ++k)
        runShell("{ " QUENLITH_CLI_PATH " extract --json -o joined --shard " + std::to_string(k)
                + "/3 in > shard-" + std::to_string(k) + ".json; }",
            m_root);
    const RunResult merged = runShell(
        "jq -s -f '" QUENLITH_SOURCE_DIR "/docs/scale/merge-reports.jq' shard-*.json", m_root);
    ASSERT_EQ(merged.exitCode, 0) << merged.err;
    auto json = checkedJson(merged.out, "extract");
    EXPECT_EQ(json["documents.#"], std::to_string(all));
    EXPECT_EQ(json["summary.documents"], std::to_string(all));
    EXPECT_EQ(json["summary.attachmentsWritten"], std::to_string(all));
}

// A rerun into a folder inside the input folder does not take its own output as input.
TEST_F(CliRun, TheOutputFolderInsideAnInputFolderIsNotExtractedAgain)
{
    fs::create_directories(m_root / "in");
    quenlith::fixtures::writePdf((m_root / "inner.pdf").string(), { { "x.txt", "x", 0 } });
    document("in/a.pdf", { { "inner.pdf", readFile(m_root / "inner.pdf"), 0 } });
    ASSERT_EQ(run("extract -o in/out in").exitCode, 0);
    const RunResult again = run("extract -o in/out in");
    EXPECT_EQ(again.exitCode, 0) << again.out;
    EXPECT_NE(again.err.find("not extracting the documents in in/out/: it is the output folder"),
        std::string::npos)
        << again.err;
    EXPECT_EQ(filesBelow(m_root / "in/out"),
        (std::map<std::string, std::string> { { "a/inner.pdf", readFile(m_root / "inner.pdf") } }));
    EXPECT_EQ(run("extract -o in in").exitCode, 0) << "into the input folder itself";
}

// Damage is shown for what it is: a repaired document (a rebuilt cross-reference table) is no
// failure, one whose listing stopped at a bound is, and so is one whose metadata cannot be read
// when only its invoice is asked for.
TEST_F(CliRun, DamagedDocumentsAreShownForWhatTheyAre)
{
    using namespace quenlith::fixtures;
    document("plain.pdf", { { "a.txt", "alpha", 0 } });
    document("rebuilt.pdf", { { "a.txt", "alpha", 0 } });
    breakXref((m_root / "rebuilt.pdf").string());
    DocumentFixture deep;
    deep.files = { treeFile({}, "deep", "deep.txt") };
    deep.files[0].treeKeys.clear();
    deep.files[0].afOwners = { "structure" };
    deep.structureDepth = 20000;
    writeDocument((m_root / "deep.pdf").string(), deep);
    DocumentFixture largeXmp;
    largeXmp.metadata = std::string(5 << 20, ' ') + invoiceXmp("factur-x.xml", "EN 16931");
    largeXmp.metadataCompressed = true;
    writeDocument((m_root / "bigxmp.pdf").string(), largeXmp);
    const std::string incomplete = "not every attachment could be listed";
    struct Row {
        std::string command;
        int exitCode;
        std::string member; // of the JSON output, or empty: `value` is a line of the text
        std::string value;
    } rows[] = {
        { "list --json rebuilt.pdf", 0, "documents.0.repaired", "true" },
        { "list --json plain.pdf", 0, "documents.0.repaired", "false" },
        { "list --json plain.pdf", 0, "documents.0.warnings.#", "0" },
        { "list rebuilt.pdf", 0, "", "\n  repaired: " },
        { "extract --json -o out rebuilt.pdf", 0, "documents.0.repaired", "true" },
        { "extract -o out rebuilt.pdf", 0, "", "\n  warning: " },
        { "list --json deep.pdf", 1, "summary.documentsFailed", "1" },
        { "list deep.pdf", 1, "", "\n  warning: " + incomplete },
        { "extract --json -o out deep.pdf", 1, "summary.documentsFailed", "1" },
        { "extract --json --invoices-only -o out bigxmp.pdf",
            1,
            "documents.0.reason",
            "\"the XMP metadata is not read: it is larger than 4 MiB\"" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.command);
        if (!row.member.empty()) {
            EXPECT_EQ(runJson(row.command, row.exitCode)[row.member], row.value);
            continue;
        }
        const RunResult text = run(row.command);
        EXPECT_EQ(text.exitCode, row.exitCode);
        EXPECT_NE(text.out.find(row.value), std::string::npos) << text.out;
    }
}

// --max-size stops an attachment while it is written and keeps nothing of it.
TEST_F(CliRun, MaxSizeStopsALargeAttachment)
{
    document(
        "in/big.pdf", { { "big.txt", std::string(3'000'000, 'a'), 0 }, { "small.txt", "s", 0 } });
    auto json = runJson("extract --json --max-size 1000000 -o out in", 1);
    EXPECT_EQ(json["documents.0.attachments.0.status"], R"("failed")");
    EXPECT_NE(json["documents.0.attachments.0.reason"].find("stopped: "), std::string::npos)
        << json["documents.0.attachments.0.reason"];
    EXPECT_EQ(json["summary.documentsFailed"], "0"); // the attachment failed, not the document
    EXPECT_NE(run("list in").out.find("big.txt  (names, 2.86 MiB, "), std::string::npos);
    EXPECT_EQ(run("extract --max-ratio 0 in").exitCode, 2);
    EXPECT_EQ(run("extract --max-document-size 0 in").exitCode, 2);
    EXPECT_EQ(run("list --max-document-size 5 in").exitCode, 2);
    auto perDocument = runJson("extract --json --max-document-size 2000000 -o out2 in", 1);
    EXPECT_EQ(perDocument["documents.0.attachments.0.reason"],
        R"("stopped: the document's attachments together pass the limit of 2000000 bytes per )"
        R"(document")");
}

TEST_F(CliRun, ListsAFolderTreeTakingOnlyPdfNames)
{
    document("in/a.pdf", { { "one.txt", "1111", 0 }, { "two.xml", "<x/>", 0 } });
    document("in/c.pdf.bak", { { "no.txt", "x", 0 } });
    document("in/d.pdfx", { { "no.txt", "x", 0 } });
    document("in/sub/b.PDF", { { "on-page.txt", "page two", 2 } }, 3);
    document("in/sub/deeper/e.Pdf", {});

    auto json = runJson("list --json in", 0);
    EXPECT_EQ(json["documents.#"], "3");
    EXPECT_EQ(json["documents.0.path"], R"("in/a.pdf")"); // a folder's documents before its
    EXPECT_EQ(json["documents.1.path"], R"("in/sub/b.PDF")"); // subfolders'
    EXPECT_EQ(json["documents.2.path"], R"("in/sub/deeper/e.Pdf")");
    EXPECT_EQ(json["documents.0.attachmentCount"], "2");
    EXPECT_EQ(json["documents.0.attachments.1.name"], R"("two.xml")");
    EXPECT_EQ(json["documents.0.attachments.1.page"], "null");
    EXPECT_EQ(json["documents.1.attachments.0.page"], "2");
    EXPECT_EQ(json["documents.2.attachmentCount"], "0");
    EXPECT_EQ(json["summary.attachments"], "3");

    const std::string text = run("list in/a.pdf").out;
    EXPECT_NE(text.find("in/a.pdf: 2 attachments\n  one.txt  (names, 4 bytes"), std::string::npos)
        << text;
}

// list shows every origin, unlisted files included; extract writes those only with --unlisted.
TEST_F(CliRun, ListShowsEveryOriginAndExtractWritesUnlistedFilesOnRequest)
{
    const auto spec = [](const std::string &name) {
        quenlith::fixtures::FileSpecFixture file;
        file.data = "data of " + name;
        file.names = { { "/F", name } };
        return file;
    };
    auto named = spec("named.txt");
    named.treeKeys = { "named.txt" };
    auto associated = spec("invoice.xml");
    associated.afOwners = { "catalog" };
    associated.afRelationship = "Alternative";
    associated.creationDate = "D:20240501120000Z";
    auto hidden = spec("hidden.bin");
    hidden.unreferenced = true;
    quenlith::fixtures::DocumentFixture d;
    d.files = { named, associated, hidden };
    fs::create_directories(m_root / "in");
    quenlith::fixtures::writeDocument((m_root / "in/a.pdf").string(), d);

    auto json = runJson("list --json in", 0);
    EXPECT_EQ(json["documents.0.attachmentCount"], "3");
    EXPECT_EQ(json["documents.0.attachments.0.origin"], R"("names")");
    EXPECT_EQ(json["documents.0.attachments.0.afOwner"], "null");
    EXPECT_EQ(json["documents.0.attachments.1.origin"], R"("af")");
    EXPECT_EQ(json["documents.0.attachments.1.afOwner"], R"("catalog")");
    EXPECT_EQ(json["documents.0.attachments.1.afRelationship"], R"("Alternative")");
    EXPECT_EQ(json["documents.0.attachments.1.created"], R"("2024-05-01T12:00:00Z")");
    EXPECT_EQ(json["documents.0.attachments.2.origin"], R"("unlisted")");
    EXPECT_EQ(json["documents.0.attachments.2.name"], R"("hidden.bin")");
    const std::string text = run("list in").out;
    EXPECT_NE(text.find("invoice.xml  (af of the catalog, "), std::string::npos) << text;
    EXPECT_NE(text.find("hidden.bin  (unlisted, "), std::string::npos) << text;

    json = runJson("extract --json -o out in", 0);
    EXPECT_EQ(json["documents.0.attachments.#"], "2");
    json = runJson("extract --json --unlisted -o out2 in", 0);
    EXPECT_EQ(json["documents.0.attachments.2.origin"], R"("unlisted")");
    EXPECT_EQ(run("list --unlisted in").exitCode, 2);
}

// --nested extracts from attachments that are PDF documents and reports them after their parent.
TEST_F(CliRun, NestedDocumentsOnRequest)
{
    document("in/inner.pdf", { { "deep.txt", "deep", 0 } });
    document("in/a.pdf", { { "inner.pdf", readFile(m_root / "in/inner.pdf"), 0 } });
    fs::remove(m_root / "in/inner.pdf");
    auto json = runJson("extract --json --nested -o out in", 0);
    EXPECT_EQ(json["documents.#"], "2");
    EXPECT_EQ(json["documents.1.path"], R"("out/a/inner.pdf")");
    EXPECT_EQ(json["documents.1.nestedIn"], R"("in/a.pdf")");
    EXPECT_EQ(json["documents.1.nesting"], "1");
    const std::string text = run("extract --nested -o out2 in").out;
    EXPECT_NE(text.find("out2/a/inner.pdf -> out2/a/inner.pdf.attachments/\n  deep.txt"),
        std::string::npos)
        << text;
    EXPECT_EQ(run("list --nested in").exitCode, 2);
}

// Portfolio folders: list names each file's folder, extract writes into it and shows the path
// inside the document folder.
TEST_F(CliRun, PortfolioFilesAreListedAndWrittenInTheirFolders)
{
    const auto spec = [](const std::string &key, const std::string &data) {
        quenlith::fixtures::FileSpecFixture file;
        file.data = data;
        file.treeKeys = { key };
        return file;
    };
    quenlith::fixtures::DocumentFixture d;
    d.files = { spec("<2>deep.txt", "deep"), spec("top.txt", "top") };
    fs::create_directories(m_root / "in");
    const std::string path = (m_root / "in/p.pdf").string();
    quenlith::fixtures::writeDocument(path, d);
    quenlith::fixtures::addPortfolio(
        path, { 0, "Root", { { 1, "a", -1, -1 }, { 2, "b", 0, -1 } } });

    const std::string listed = run("list in").out;
    EXPECT_NE(listed.find("  deep.txt  (portfolio folder a/b, ? bytes"), std::string::npos)
        << listed;
    EXPECT_NE(listed.find("  top.txt  (names, ? bytes"), std::string::npos) << listed;
    auto json = runJson("list --json in", 0);
    EXPECT_EQ(json["documents.0.attachments.0.origin"], R"("portfolio")");
    EXPECT_EQ(json["documents.0.attachments.0.folder"], R"("a/b")");
    EXPECT_EQ(json["documents.0.attachments.0.key"], R"("<2>deep.txt")");
    EXPECT_EQ(json["documents.0.attachments.1.folder"], "null");

    const RunResult extracted = run("extract -o out in");
    EXPECT_EQ(extracted.exitCode, 0) << extracted.err;
    EXPECT_NE(extracted.out.find("\n  a/b/deep.txt  (4 bytes)\n"), std::string::npos)
        << extracted.out;
    json = runJson("extract --json -o out in", 0);
    EXPECT_EQ(json["documents.0.attachments.0.outputPath"], R"("out/p/a/b/deep.txt")");
    EXPECT_EQ(json["documents.0.attachments.0.status"], R"("unchanged")");
}

TEST_F(CliRun, UnopenableDocumentFailsWithItsReasonAndTheRestIsDone)
{
    document("in/good.pdf", { { "kept.txt", "kept", 0 } });
    std::ofstream(m_root / "in/bad.pdf") << "this is not a PDF document at all\n";

    const RunResult listed = run("list in/bad.pdf in/good.pdf in/missing.pdf");
    EXPECT_EQ(listed.exitCode, 1);
    EXPECT_NE(listed.out.find("in/bad.pdf: cannot open: "), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("in/missing.pdf: cannot open: "), std::string::npos);

    auto json = runJson("extract --json -o out in/bad.pdf in/good.pdf in/missing.pdf", 1);
    EXPECT_EQ(json["documents.0.status"], R"("not-pdf")");
    EXPECT_EQ(json["documents.1.status"], R"("opened")");
    EXPECT_EQ(json["documents.2.status"], R"("file-unreadable")");
    EXPECT_GT(json["documents.0.reason"].size(), 2u); // neither null nor ""
    EXPECT_GT(json["documents.2.reason"].size(), 2u);
    EXPECT_EQ(json["summary.documentsFailed"], "2");
}

#ifndef _WIN32
// A symbolic link at a document folder's name is never written through, in either output form.
TEST_F(CliRun, ALinkAtTheDocumentFolderGivesANumberedFolderAndANote)
{
    document("in/basic.pdf", { { "a.txt", "alpha", 0 } });
    fs::create_directories(m_root / "elsewhere");
    fs::create_directories(m_root / "out");
    fs::create_directory_symlink(m_root / "elsewhere", m_root / "out/basic");
    const RunResult text = run("extract -o out in/basic.pdf");
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("in/basic.pdf -> out/basic (2)/\n"
                            "  note: written into basic (2) because basic is a symbolic link\n"),
        std::string::npos)
        << text.out;
    auto json = runJson("extract --json -o out in/basic.pdf", 0);
    EXPECT_EQ(json["documents.0.documentFolder"], R"("out/basic (2)/")");
    EXPECT_EQ(json["documents.0.notes.0"],
        R"("written into basic (2) because basic is a symbolic link")");
    EXPECT_EQ(json["documents.0.attachments.0.status"], R"("unchanged")");
}
#endif

TEST_F(CliRun, SameOutputAndFilesWhateverTheJobCount)
{
    for (int i = 0; i < 12; ++i) {
        const std::string n = std::to_string(i);
        std::vector<Attachment> files
            = { { "same.txt", "first " + n }, { "same.txt", "second " + n } };
        for (int k = 0; k < i % 4; ++k)
            files.push_back({ "f" + std::to_string(k), std::string(1000 * i, 'a' + k), k / 2 });
        document("in/d" + std::to_string(i % 3) + "/doc" + n + ".pdf", files, 2);
    }
    document("in/d0/doc5.pdf", { { "x.txt", "x", 0 } }); // a second doc5.pdf: a shared folder

    for (const std::string format : { "--json", "--jobs=2" }) { // -j below overrides --jobs=2
        RunResult runs[2];
        for (int i = 0; i < 2; ++i) {
            fs::remove_all(m_root / "out");
            runs[i] = run("extract " + format + " -o out in -j " + (i == 0 ? "1" : "4"));
            EXPECT_EQ(runs[i].exitCode, 0) << runs[i].out << runs[i].err;
        }
        EXPECT_EQ(runs[0].out, runs[1].out) << format; // the JSON names every file's path
        if (format == "--json") {
            EXPECT_EQ(checkedJson(runs[1].out, "extract")["summary.attachmentsWritten"], "43");
        }
    }
    EXPECT_EQ(run("list --jobs 1 in").out, run("list --jobs 4 in").out);
}

TEST_F(CliRun, WritesNothingOutsideTheOutputFolderAndEscapesHostileNames)
{
    document("in/evil.pdf",
        { { "../../escaped.txt", "1", 0 },
            { "/tmp/absolute.txt", "2", 0 },
            { "..", "3", 0 },
            { "", "4", 0 },
            { "C:\\x\\win.txt", "5", 0 },
            { "ctl\x01\x1b[2J.txt", "6", 1 } });
    document("in/...pdf", { { "dots.txt", "7", 0 } });

    auto json = runJson("extract --json -o work/out in", 0);
    EXPECT_EQ(filesBelow(m_root / "work/out").size(), 7u);

    // The control characters reach the JSON escaped, the terminal text made visible.
    EXPECT_TRUE(std::any_of(json.begin(), json.end(), [](const auto &entry) {
        return entry.second == R"("ctl\u0001\u001b[2J.txt")";
    }));
    const RunResult text = run("list in/evil.pdf");
    EXPECT_EQ(text.out.find('\x1b'), std::string::npos);
    EXPECT_NE(text.out.find("ctl\\x01\\x1b[2J.txt"), std::string::npos) << text.out;
}

TEST_F(CliRun, ChecksumVerdictSaysWhatWasVerified)
{
    quenlith::fixtures::DocumentFixture d;
    for (const std::string verdict : { "verified", "none", "mismatch" }) {
        quenlith::fixtures::FileSpecFixture &file = d.files.emplace_back();
        file.data = verdict;
        file.names = { { "/F", verdict + ".txt" } };
        file.treeKeys = { verdict + ".txt" };
        file.checkSum = verdict == "none" ? "" : quenlith::fixtures::md5Of("verified");
    }
    quenlith::fixtures::writeDocument((m_root / "c.pdf").string(), d);
    auto json = runJson("extract --json -o out c.pdf", 1); // a mismatch counts as a failure
    const std::string a = "documents.0.attachments.";
    EXPECT_EQ(json[a + "0.checksum"], R"("verified")");
    EXPECT_EQ(json[a + "1.checksum"], R"("none")");
    EXPECT_EQ(json[a + "2.checksum"], R"("mismatch")");
    EXPECT_EQ(json[a + "2.status"], R"("checksum-mismatch")");
}

} // namespace

TEST_F(CliRun, PasswordIsTriedOnlyWhenTheEmptyOneIsRefused)
{
    const fs::path encrypted = fs::path(QUENLITH_CORPUS_DIR)
        / "qpdf__enc-XI-R6,V5,U=attachment,encrypted-attachments.pdf";
    if (!fs::exists(encrypted))
        GTEST_SKIP() << "corpus document missing: " << encrypted;
    const std::string input = "'" + encrypted.string() + "'";
    auto refused = runJson("extract --json -o out " + input, 1);
    EXPECT_EQ(refused["documents.0.status"], R"("needs-password")");
    auto opened
        = runJson("extract --json --password wrong --password attachment -o out " + input, 0);
    EXPECT_EQ(opened["documents.0.status"], R"("opened")");
    EXPECT_EQ(opened["summary.attachmentsWritten"], "2");

    // From a file, or from standard input, so that the password is not on the command line.
    std::ofstream(m_root / "pw.txt") << "attachment\r\nnot this line\n";
    auto fromFile = runJson("extract --json --password-file pw.txt -o out2 " + input, 0);
    EXPECT_EQ(fromFile["summary.attachmentsWritten"], "2");
    const RunResult fromInput = runShell(
        QUENLITH_CLI_PATH " extract --password-file - -o out3 " + input, m_root, "attachment\n");
    EXPECT_EQ(fromInput.exitCode, 0) << fromInput.out;
    EXPECT_EQ(run("extract --password-file missing.txt " + input).exitCode, 1);
}

// list and extract tell the invoice each document declares; --invoices-only writes only it, a
// document without one is no failure, one whose declared file is missing is.
TEST_F(CliRun, InvoicesAreToldAndWrittenAlone)
{
    using quenlith::fixtures::invoiceXmp;
    invoiceDocument("in/inv.pdf",
        { { "a.pdf", "attached" }, { "factur-x.xml", "<invoice/>" } },
        invoiceXmp("factur-x.xml", "EN 16931"));
    invoiceDocument("in/missing.pdf",
        { { "other.xml", "other" } },
        invoiceXmp("ZUGFeRD-invoice.xml", "COMFORT", quenlith::fixtures::zugferd1Namespace, "zf"));
    document("in/plain.pdf", { { "x.txt", "one", 0 } });

    const RunResult list = run("list in");
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("in/inv.pdf: 2 attachments\n  invoice: Factur-X EN 16931, "
                            "factur-x.xml\n  a.pdf"),
        std::string::npos)
        << list.out;
    EXPECT_NE(list.out.find("in/missing.pdf: 1 attachment\n  invoice: ZUGFeRD 1.0 COMFORT, "
                            "ZUGFeRD-invoice.xml (missing)\n"),
        std::string::npos)
        << list.out;
    EXPECT_NE(list.out.find("in/plain.pdf: 1 attachment\n  x.txt"), std::string::npos);

    auto json = runJson("list --json in/inv.pdf in/missing.pdf in/plain.pdf", 0);
    const std::map<std::string, std::string> inv = {
        { "standard", "\"Factur-X\"" },
        { "version", "\"1.0\"" },
        { "profile", "\"EN 16931\"" },
        { "documentType", "\"INVOICE\"" },
        { "attachmentName", "\"factur-x.xml\"" },
        { "present", "true" },
        { "attachmentIndex", "2" },
    };
    for (const auto &[key, value] : inv)
        EXPECT_EQ(json["documents.0.invoice." + key], value) << key;
    EXPECT_EQ(json["documents.1.invoice.present"], "false");
    EXPECT_EQ(json["documents.1.invoice.attachmentIndex"], "null");
    EXPECT_EQ(json["documents.2.invoice"], "null");

    const RunResult extract = run("extract --invoices-only -o out in");
    EXPECT_EQ(extract.exitCode, 1);
    EXPECT_NE(extract.out.find("in/plain.pdf: no invoice\n"), std::string::npos) << extract.out;
    EXPECT_NE(extract.out.find("in/missing.pdf: FAILED: the invoice ZUGFeRD-invoice.xml that its "
                               "XMP metadata declares is not among its attachments"),
        std::string::npos)
        << extract.out;
    EXPECT_NE(extract.out.find("Summary: 3 documents (1 failed), 1 attachment written"),
        std::string::npos)
        << extract.out;

    json = runJson("extract --json --invoices-only --layout flat -o flat in/inv.pdf in/missing.pdf "
                   "in/plain.pdf",
        1);
    EXPECT_EQ(json["documents.0.invoice.attachmentIndex"], "2");
    EXPECT_EQ(json["documents.0.attachments.#"], "1");
    EXPECT_EQ(json["documents.0.attachments.0.index"], "2");
    EXPECT_EQ(json["documents.1.status"], "\"opened\"");
    EXPECT_NE(json["documents.1.reason"].find("is not among its attachments"), std::string::npos);
    EXPECT_EQ(json["documents.2.invoice"], "null");
    EXPECT_EQ(json["documents.2.reason"], "null");
    EXPECT_EQ(json["documents.2.documentFolder"], "null");
    EXPECT_EQ(json["documents.2.notes.0"], "\"no invoice: its XMP metadata declares none\"");
}

// --layout flat reaches the extraction (whose tests check the names on disk), and the reports
// give the output folder as each document's folder.
TEST_F(CliRun, FlatLayoutNamesFilesByTheirDocument)
{
    document("in/a.pdf", { { "b__c.txt", "a's", 0 } });
    const RunResult text = run("extract --layout flat -o out in/a.pdf");
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("in/a.pdf -> out/\n  a__b__c.txt  (3 bytes)"), std::string::npos)
        << text.out;
    auto json = runJson("extract --json --layout=flat -o out in/a.pdf", 0);
    EXPECT_EQ(json["documents.0.documentFolder"], "\"out/\"");
    EXPECT_EQ(json["documents.0.attachments.0.outputPath"], "\"out/a__b__c.txt\"");
    EXPECT_EQ(json["documents.0.attachments.0.status"], "\"unchanged\"");
}

// A report goes where it is told only when that harms nothing: never over an input, the other
// report, a file of the output folder or a folder; into a FIFO or standard output as it comes.
TEST_F(CliRun, ReportsNeverReplaceWhatTheyMustNot)
{
    document("in/a.pdf", { { "x.txt", "one", 0 } });
    fs::copy_file(m_root / "in/a.pdf", m_root / "b.pdf");
    std::ofstream(m_root / "list.txt") << "b.pdf\n";
    std::ofstream(m_root / "pw.txt") << "pw\n";
    ASSERT_EQ(run("extract -o out b.pdf").exitCode, 0);
    const std::pair<std::string, std::string> refused[] = {
        { "--report b.pdf b.pdf", "--report b.pdf: it is the input b.pdf" },
        { "--report-csv ./b.pdf --files-from list.txt", "it is the input b.pdf" },
        { "--report list.txt --files-from list.txt", "it is the --files-from list" },
        { "--report pw.txt --password-file pw.txt b.pdf", "it is the --password-file file" },
        { "--report in b.pdf", "it is a folder" },
        { "--report in/a.pdf in", "it is a document in the input folder in" },
        { "--report out/b/x.txt b.pdf", "it is inside the output folder out" },
        { "--report r --report-csv ./r b.pdf", "--report and --report-csv name the same file" },
        { "--json --report - b.pdf", "--json writes standard output too" },
    };
    for (const auto &[arguments, message] : refused) {
        const RunResult result = run("extract -o out " + arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments;
        EXPECT_EQ(result.err.rfind("quenlith-cli: not writing the report ", 0), 0u) << arguments;
        EXPECT_NE(result.err.find(message), std::string::npos) << arguments << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    EXPECT_EQ(readFile(m_root / "b.pdf"), readFile(m_root / "in/a.pdf"));
    EXPECT_EQ(readFile(m_root / "out/b/x.txt"), "one");

    const RunResult toStdout = run("extract -o out --report - b.pdf");
    EXPECT_EQ(toStdout.exitCode, 0) << toStdout.err;
    EXPECT_EQ(checkedJson(toStdout.out, "extract")["summary.attachmentsUnchanged"], "1");
    ASSERT_EQ(::mkfifo((m_root / "fifo").c_str(), 0600), 0);
    const RunResult fifo
        = runShell("{ cat fifo > fifo.csv & " QUENLITH_CLI_PATH " extract -o out --report-csv fifo "
                   "b.pdf; wait; }",
            m_root);
    EXPECT_EQ(fifo.exitCode, 0) << fifo.err;
    EXPECT_EQ(fs::status(m_root / "fifo").type(), fs::file_type::fifo);
    EXPECT_EQ(readFile(m_root / "fifo.csv").rfind("document,", 0), 0u);
    if (::geteuid() == 0) { // only root could replace a device node
        EXPECT_EQ(run("extract -o out --report /dev/null b.pdf").exitCode, 0);
        EXPECT_EQ(fs::status("/dev/null").type(), fs::file_type::character);
    }
}

// Lines of the files the program reads are bounded; an endless one is an error, not a hang.
TEST_F(CliRun, LongLinesOfInputFilesAreRefused)
{
    std::ofstream(m_root / "long.txt") << "a.pdf\n" << std::string(5000, 'x') << "\n";
    for (const std::string arguments : { "list --files-from long.txt",
             "list --files-from /dev/zero",
             "list --password-file /dev/zero a.pdf" }) {
        const RunResult result = run(arguments);
        EXPECT_EQ(result.exitCode, 1) << arguments;
        EXPECT_NE(result.err.find("is longer than 4096 bytes"), std::string::npos) << result.err;
    }
    EXPECT_NE(run("list --files-from long.txt").err.find("line 2 of long.txt"), std::string::npos);
}
