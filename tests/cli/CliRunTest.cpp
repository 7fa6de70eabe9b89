// quenlith-cli run as a program on generated document trees: exit statuses, output, JSON, the
// layout it writes and that it writes nowhere else.

#include "tests/cli/MiniJson.h"
#include "tests/support/PdfFixtures.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using quenlith::fixtures::Attachment;
using quenlith::testing::JsonValue;
using quenlith::testing::parseJson;

namespace {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs quenlith-cli with `arguments` in `folder` and collects both streams and the exit status.
CliResult runCli(const std::vector<std::string> &arguments, const fs::path &folder)
{
    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0)
        throw std::runtime_error("pipe failed");
    std::vector<std::string> texts = { QUENLITH_CLI_PATH };
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.c_str()) != 0)
            _exit(126);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        close(outPipe[0]);
        close(errPipe[0]);
        close(outPipe[1]);
        close(errPipe[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    CliResult run;
    pollfd fds[2] = { { outPipe[0], POLLIN, 0 }, { errPipe[0], POLLIN, 0 } };
    std::string *sinks[2] = { &run.out, &run.err };
    int open = 2;
    while (open > 0) {
        if (poll(fds, 2, -1) < 0)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buffer[65536];
            const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(got));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

// Every regular file below `root`, as paths relative to it.
std::set<std::string> filesBelow(const fs::path &root)
{
    std::set<std::string> files;
    for (const auto &entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file())
            files.insert(fs::relative(entry.path(), root).generic_string());
    }
    return files;
}

class CliRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "quenlith-cli-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
    }

    void TearDown() override
    {
        std::error_code error;
        fs::remove_all(m_root, error);
    }

    // Writes a document at `relative` (parents created) and returns its path.
    fs::path document(
        const std::string &relative, const std::vector<Attachment> &attachments, int pages = 1)
    {
        const fs::path path = m_root / relative;
        fs::create_directories(path.parent_path());
        quenlith::fixtures::writePdf(path.string(), attachments, pages);
        return path;
    }

    CliResult run(const std::vector<std::string> &arguments)
    {
        return runCli(arguments, m_root);
    }

    fs::path m_root;
};

TEST_F(CliRun, VersionAndHelp)
{
    CliResult version = run({ "--version" });
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "Quenlith 1.03\n");
    CliResult help = run({ "--help" });
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("quenlith-cli extract [-o DIR]"), std::string::npos);
    EXPECT_EQ(help.err, "");
}

TEST_F(CliRun, UsageErrorsExitWithTwoAndPointToHelp)
{
    for (const std::vector<std::string> &arguments : std::vector<std::vector<std::string>> { {},
             { "unpack", "a.pdf" },
             { "list" },
             { "extract", "--jobs", "none", "a.pdf" },
             { "list", "--frob", "a.pdf" } }) {
        const CliResult result = run(arguments);
        EXPECT_EQ(result.exitCode, 2) << ::testing::PrintToString(arguments);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 2) << result.err;
        EXPECT_NE(result.err.find("--help"), std::string::npos);
    }
}

TEST_F(CliRun, ListsAFolderTreeTakingOnlyPdfNames)
{
    document("in/a.pdf", { { "one.txt", "1111", 0 }, { "two.xml", "<x/>", 0 } });
    document("in/b.PDF", { { "on-page.txt", "page two", 2 } }, 3);
    document("in/c.pdf.bak", { { "no.txt", "x", 0 } });
    document("in/d.pdfx", { { "no.txt", "x", 0 } });
    document("in/sub/e.Pdf", {});
    document("in/sub/deeper/f.pdf", { { "deep.bin", std::string(300, '\0'), 0 } });

    const CliResult result = run({ "list", "--json", "in" });
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const JsonValue json = parseJson(result.out);
    std::map<std::string, const JsonValue *> byName;
    std::vector<std::string> order;
    for (const JsonValue &doc : json["documents"].items) {
        const std::string name = fs::path(doc["path"].text).filename().string();
        byName[name] = &doc;
        order.push_back(name);
    }
    EXPECT_EQ(byName.size(), 4u);
    ASSERT_EQ(order.size(), 4u);
    // Breadth-first: the folder's own documents before its subfolders'.
    EXPECT_EQ(std::set<std::string>(order.begin(), order.begin() + 2),
        (std::set<std::string> { "a.pdf", "b.PDF" }));
    EXPECT_EQ(order[2], "e.Pdf");
    EXPECT_EQ(order[3], "f.pdf");

    const JsonValue &a = *byName.at("a.pdf");
    EXPECT_EQ(a["status"].text, "opened");
    EXPECT_EQ(a["attachmentCount"].number, 2);
    EXPECT_EQ(a["attachments"][0]["name"].text, "one.txt");
    EXPECT_TRUE(a["attachments"][0]["page"].isNull());
    const JsonValue &b = *byName.at("b.PDF");
    EXPECT_EQ(b["attachments"][0]["name"].text, "on-page.txt");
    EXPECT_EQ(b["attachments"][0]["page"].number, 2);
    EXPECT_EQ(byName.at("e.Pdf")->operator[]("attachmentCount").number, 0);
    EXPECT_EQ(json["summary"]["documents"].number, 4);
    EXPECT_EQ(json["summary"]["attachments"].number, 4);

    const CliResult text = run({ "list", "in/a.pdf" });
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("in/a.pdf: 2 attachments\n  one.txt  (4 bytes"), std::string::npos)
        << text.out;
}

TEST_F(CliRun, UnopenableDocumentFailsWithItsReasonAndTheRestIsDone)
{
    document("in/good.pdf", { { "kept.txt", "kept", 0 } });
    std::ofstream(m_root / "in" / "bad.pdf") << "this is not a PDF document at all\n";

    const CliResult listed = run({ "list", "in/bad.pdf", "in/good.pdf", "in/missing.pdf" });
    EXPECT_EQ(listed.exitCode, 1);
    EXPECT_NE(listed.out.find("in/bad.pdf: cannot open: "), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("in/missing.pdf: cannot open: "), std::string::npos);
    EXPECT_NE(listed.out.find("kept.txt"), std::string::npos);

    const CliResult extracted = run({ "extract", "--json", "-o", "out", "in" });
    EXPECT_EQ(extracted.exitCode, 1);
    const JsonValue json = parseJson(extracted.out);
    bool sawBad = false;
    for (const JsonValue &doc : json["documents"].items) {
        if (fs::path(doc["path"].text).filename() == "bad.pdf") {
            sawBad = true;
            EXPECT_NE(doc["status"].text, "opened");
            ASSERT_FALSE(doc["reason"].isNull());
            EXPECT_FALSE(doc["reason"].text.empty());
        }
    }
    EXPECT_TRUE(sawBad);
    EXPECT_EQ(json["summary"]["documentsFailed"].number, 1);
    EXPECT_EQ(readFile(m_root / "out/good/kept.txt"), "kept");
    // No empty folder is left for the document that did not open.
    EXPECT_FALSE(fs::exists(m_root / "out/bad"));
}

TEST_F(CliRun, SameOutputWhateverTheJobCount)
{
    for (int i = 0; i < 12; ++i) {
        std::vector<Attachment> attachments;
        for (int k = 0; k < i % 4; ++k)
            attachments.push_back({ "file" + std::to_string(k) + ".txt",
                std::string(1000 * (i + k), 'a' + k),
                k == 2 ? 1 : 0 });
        attachments.push_back({ "same.txt", "first " + std::to_string(i), 0 });
        attachments.push_back({ "same.txt", "second " + std::to_string(i), 0 });
        document(
            "in/d" + std::to_string(i % 3) + "/doc" + std::to_string(i) + ".pdf", attachments, 2);
    }
    document("in/d0/doc5.pdf", { { "x.txt", "x", 0 } }); // a second doc5.pdf: a coinciding folder

    for (const bool json : { true, false }) {
        const std::string format = json ? "--json" : "--jobs=2";
        const CliResult one = run({ "extract", format, "-j", "1", "-o", "out", "in" });
        const CliResult four = run({ "extract", format, "-j", "4", "-o", "out", "in" });
        EXPECT_EQ(one.exitCode, 0) << one.out << one.err;
        EXPECT_EQ(four.exitCode, 0);
        EXPECT_EQ(one.out, four.out);
        if (json) {
            EXPECT_EQ(parseJson(four.out)["summary"]["attachmentsWritten"].number, 43);
        }
    }
    const CliResult oneList = run({ "list", "--jobs", "1", "in" });
    const CliResult fourList = run({ "list", "--jobs", "4", "in" });
    EXPECT_EQ(oneList.out, fourList.out);
    EXPECT_EQ(readFile(m_root / "out/doc4/same.txt"), "first 4");
    EXPECT_EQ(readFile(m_root / "out/doc4/same (2).txt"), "second 4");
}

TEST_F(CliRun, TwoDocumentsOfOneNameGetTwoFolders)
{
    document("in/x/report.pdf", { { "a.txt", "from x", 0 } });
    document("in/y/report.pdf", { { "a.txt", "from y", 0 } });
    document("in/y/Report.PDF", { { "a.txt", "from Y", 0 } });

    const CliResult result = run({ "extract",
        "--json",
        "-o",
        "out",
        "in/y/report.pdf",
        "in/x/report.pdf",
        "in/y/Report.PDF" });
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(readFile(m_root / "out/report/a.txt"), "from y");
    EXPECT_EQ(readFile(m_root / "out/report (2)/a.txt"), "from x");
    // Folder names are compared as the file system would; a differently cased name keeps its own.
    EXPECT_EQ(readFile(m_root / "out/Report/a.txt"), "from Y");
    const JsonValue json = parseJson(result.out);
    EXPECT_EQ(json["documents"][1]["documentFolder"].text, "out/report (2)/");
    EXPECT_EQ(json["documents"][1]["attachments"][0]["outputPath"].text, "out/report (2)/a.txt");
}

TEST_F(CliRun, WritesNothingOutsideTheOutputFolder)
{
    document("in/evil.pdf",
        { { "../../escaped.txt", "1", 0 },
            { "/tmp/absolute.txt", "2", 0 },
            { "..", "3", 0 },
            { "", "4", 0 },
            { "C:\\x\\win.txt", "5", 0 },
            { std::string("ctl\x01\x1b[2J.txt"), "6", 1 } });
    document("in/...pdf", { { "dots.txt", "7", 0 } });
    const std::set<std::string> before = filesBelow(m_root);

    const CliResult result = run({ "extract", "--json", "-o", "work/out", "in" });
    const JsonValue json = parseJson(result.out);
    std::set<std::string> written;
    for (const std::string &file : filesBelow(m_root)) {
        if (before.count(file) == 0)
            written.insert(file);
    }
    for (const std::string &file : written)
        EXPECT_EQ(file.rfind("work/out/", 0), 0u) << file;
    EXPECT_FALSE(fs::exists(m_root / "work/escaped.txt"));
    EXPECT_FALSE(fs::exists(m_root / "escaped.txt"));

    // The control characters reach the JSON escaped, the terminal text made visible.
    bool sawControlName = false;
    for (const JsonValue &doc : json["documents"].items) {
        for (const JsonValue &attachment : doc["attachments"].items)
            sawControlName = sawControlName || attachment["name"].text == "ctl\x01\x1b[2J.txt";
    }
    EXPECT_TRUE(sawControlName);
    const CliResult text = run({ "list", "in/evil.pdf" });
    EXPECT_EQ(text.out.find('\x1b'), std::string::npos);
    EXPECT_NE(text.out.find("ctl\\x01\\x1b[2J.txt"), std::string::npos) << text.out;
}

TEST_F(CliRun, DocumentNamedTwiceIsDoneOnce)
{
    document("in/one.pdf", { { "a.txt", "a", 0 } });
    const CliResult result
        = run({ "extract", "--json", "-o", "out", "in/one.pdf", "in", "./in/one.pdf" });
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(parseJson(result.out)["documents"].items.size(), 1u);
    EXPECT_FALSE(fs::exists(m_root / "out/one (2)"));
}

TEST_F(CliRun, PasswordIsTriedWhenTheEmptyOneIsRefused)
{
    const fs::path encrypted = fs::path(QUENLITH_CORPUS_DIR)
        / "qpdf__enc-XI-R6,V5,U=attachment,encrypted-attachments.pdf";
    if (!fs::exists(encrypted))
        GTEST_SKIP() << "the corpus document " << encrypted << " is not here";
    const CliResult without = run({ "list", "--json", encrypted.string() });
    EXPECT_EQ(without.exitCode, 1);
    EXPECT_EQ(parseJson(without.out)["documents"][0]["status"].text, "needs-password");
    const CliResult with
        = run({ "extract", "--password", "attachment", "-o", "out", encrypted.string() });
    EXPECT_EQ(with.exitCode, 0) << with.out;
    EXPECT_EQ(filesBelow(m_root / "out").size(), 2u);
}

} // namespace
