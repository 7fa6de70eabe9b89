#include "extract/DocumentExtraction.h"

#include "extract/output/PartFile.h"
#include "extract/output/Placement.h"
#include "extract/pdf/InvoiceXmlReader.h"
#include "extract/report/ReportText.h"
#include "tests/support/FileContents.h"
#include "tests/support/FileDigest.h"
#include "tests/support/PdfFixtures.h"
#include "tests/support/ScratchFolder.h"
#include "util/modMain.h"
#include "util/registry.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <map>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace quenlith {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>; // relative path -> content

using fixtures::filesBelow;
using fixtures::readFile;
using fixtures::treeFile;
constexpr auto P = &fixtures::nativeSeparators;

// Records every call in one text; `onYield` gives yieldPoint's answer.
class RecordingObserver : public ExtractionObserver {
public:
    bool yieldPoint() override
    {
        trace += "yield; ";
        return onYield();
    }
    void attachmentLabel(const std::string &text) override
    {
        trace += "label " + text + "; ";
    }
    void waitNotice(bool shown) override
    {
        trace += shown ? "wait shown; " : "wait hidden; ";
    }
    void attachmentDone(const AttachmentOutcome &outcome) override
    {
        trace += "done " + std::to_string(outcome.index) + " " + outcomeWord(outcome.kind) + " "
            + FileNameOfPath(outcome.outputPath) + "; ";
    }

    std::string trace;
    std::function<bool()> onYield = [] { return true; };
};

const std::string opening = "label Extracted Attachment(s) 0 (of 0); wait shown; wait hidden; ";

class DocumentExtractionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directory(m_scratch.path() / "doc");
    }
    DocumentResult extract(const std::vector<fixtures::Attachment> &attachments)
    {
        fixtures::writePdf(m_scratch.file("in.pdf"), attachments);
        return extractDocumentAttachments(m_scratch.file("in.pdf"), m_folder, m_observer);
    }
    // Extracts in.pdf into the document folder, reporting to an observer of its own.
    DocumentResult run(const ExtractionOptions &options = {}, const std::string &flatPrefix = {})
    {
        RecordingObserver observer;
        return extractDocumentAttachments(
            m_scratch.file("in.pdf"), m_folder, observer, options, flatPrefix);
    }
    Files written() const
    {
        return filesBelow(m_scratch.path() / "doc");
    }

    fixtures::ScratchFolder m_scratch { "quenlith-extraction" };
    const std::string m_folder = m_scratch.file("doc") + preferredSeparator();
    RecordingObserver m_observer;
};

// A name met before is numbered.
TEST_F(DocumentExtractionTest, WritesEachAttachmentAndReportsInOrder)
{
    const auto result = extract({ { "a.txt", "alpha", 0 },
        { "dir\\sub/b.xml", "<b/>", 0 },
        { "x/a.txt", "second", 0 },
        { "c.bin", std::string("\0\1\2", 3), 1 } });
    EXPECT_EQ(m_observer.trace,
        opening
            + "yield; done 1 written a.txt; yield; label Extracted Attachment(s) 1 (of 4); "
              "yield; done 2 written b.xml; yield; label Extracted Attachment(s) 2 (of 4); "
              "yield; done 3 renamed a (2).txt; yield; label Extracted Attachment(s) 3 (of 4); "
              "yield; done 4 written c.bin; yield; label Extracted Attachment(s) 4 (of 4); ");
    ASSERT_EQ(result.attachments.size(), 4u);
    EXPECT_EQ(result.attachments[1].outputPath, m_folder + "b.xml");
    EXPECT_EQ(result.attachments[0].bytes, 5u);
    EXPECT_EQ(written(),
        (Files { { "a.txt", "alpha" },
            { "b.xml", "<b/>" },
            { "a (2).txt", "second" },
            { "c.bin", std::string("\0\1\2", 3) } }));
}

// A document that does not open gets no folder; one that opens gets it, even when empty.
TEST_F(DocumentExtractionTest, OnlyAnOpenedDocumentGetsItsFolder)
{
    std::ofstream(m_scratch.file("junk.pdf")) << "this is not a PDF document";
    fixtures::writePdf(m_scratch.file("empty.pdf"), {});
    for (const std::string name : { "junk.pdf", "missing.pdf", "empty.pdf" }) {
        RecordingObserver observer;
        const std::string folder = m_scratch.file("out-" + name) + preferredSeparator();
        const auto result = extractDocumentAttachments(m_scratch.file(name), folder, observer);
        const bool opens = name == "empty.pdf";
        EXPECT_EQ(result.openStatus == OpenStatus::Opened, opens) << name;
        EXPECT_EQ(result.openReason.empty(), opens) << name;
        EXPECT_EQ(documentFailure(result).empty(), opens) << name;
        EXPECT_EQ(fs::is_directory(folder), opens) << name;
        EXPECT_EQ(result.folderExists, opens) << name;
        EXPECT_EQ(observer.trace, opening) << name;
    }
}

// Files already in the document folder, as a rerun meets them: nothing the user has is lost.
TEST_F(DocumentExtractionTest, ExistingFilesAreKeptUnchangedOrNumbered)
{
    const std::vector<fixtures::Attachment> attachments
        = { { "a.txt", "alpha", 0 }, { "b.xml", "<b/>", 0 }, { "x/a.txt", "second", 0 } };
    const Files firstRun = { { "a.txt", "alpha" }, { "b.xml", "<b/>" }, { "a (2).txt", "second" } };
    fixtures::writePdf(m_scratch.file("in.pdf"), attachments);
    const auto kindsOf = [&](ExistingFiles existing) {
        ExtractionOptions options;
        options.existing = existing;
        options.sha256 = true;
        const auto result = run(options);
        std::string kinds;
        for (const auto &outcome : result.attachments) {
            kinds += outcomeWord(outcome.kind) + " " + FileNameOfPath(outcome.outputPath) + "; ";
            if (outcomeSucceeded(outcome.kind)
                && outcome.kind != AttachmentOutcome::Kind::Skipped) {
                EXPECT_EQ(outcome.sha256, fixtures::sha256OfFile(outcome.outputPath))
                    << outcome.outputPath;
            }
        }
        return kinds;
    };

    EXPECT_EQ(kindsOf(ExistingFiles::Keep), "written a.txt; written b.xml; renamed a (2).txt; ");
    const auto time = fs::last_write_time(m_folder + "a.txt");
    EXPECT_EQ(
        kindsOf(ExistingFiles::Keep), "unchanged a.txt; unchanged b.xml; unchanged a (2).txt; ");
    EXPECT_EQ(written(), firstRun);
    EXPECT_EQ(fs::last_write_time(m_folder + "a.txt"), time) << "an unchanged file is not touched";

    // The user edits a.txt: it stays, and the attachment goes beside it, once.
    std::ofstream(m_folder + "a.txt") << "edited";
    const auto edited = kindsOf(ExistingFiles::Keep);
    EXPECT_EQ(edited, "renamed a (3).txt; unchanged b.xml; unchanged a (2).txt; ");
    EXPECT_EQ(kindsOf(ExistingFiles::Keep),
        "unchanged a (3).txt; unchanged b.xml; unchanged a (2).txt; ");
    Files expected = firstRun;
    expected["a.txt"] = "edited";
    expected["a (3).txt"] = "alpha";
    EXPECT_EQ(written(), expected);

    // Skip leaves what is there and writes only what is missing; overwrite replaces.
    fs::remove(m_folder + "b.xml");
    std::ofstream(m_folder + "a (2).txt") << "edited too";
    EXPECT_EQ(kindsOf(ExistingFiles::Skip), "skipped a.txt; written b.xml; skipped a (2).txt; ");
    EXPECT_EQ(kindsOf(ExistingFiles::Overwrite),
        "overwritten a.txt; unchanged b.xml; overwritten a (2).txt; ");
    expected = firstRun;
    expected["a (3).txt"] = "alpha";
    EXPECT_EQ(written(), expected);
}

// On a drive that ignores case, "A.xml" and "a.xml" are one file: both attachments are kept.
// Without folding, the rename that never replaces still keeps the first one.
TEST_F(DocumentExtractionTest, NamesThatDifferInCaseOnlyClashWhereCaseIsIgnored)
{
    fixtures::writePdf(
        m_scratch.file("in.pdf"), { { "A.xml", "<A/>", 0 }, { "a.xml", "<a/>", 0 } });
    for (const bool foldCase : { true, false }) {
        fs::remove_all(m_folder);
        ExtractionOptions options;
        options.foldCase = foldCase;
        const auto result = run(options);
        ASSERT_EQ(result.attachments.size(), 2u);
        EXPECT_EQ(
            FileNameOfPath(result.attachments[1].outputPath), foldCase ? "a (2).xml" : "a.xml");
    }
    const bool ignoresCase = folderIgnoresCase(m_folder);
    EXPECT_EQ(ignoresCase, fs::exists(m_folder + "A.XML"));
    EXPECT_EQ(written().size(), ignoresCase ? 1u : 2u) << "no probe file is left behind";
}

// While an attachment is written, no name of it exists where Linux allows: a killed run leaves
// nothing. Every commit kind ends with exactly the target.
TEST_F(DocumentExtractionTest, AnUnfinishedWriteLeavesNoNameBehind)
{
    for (const auto replace : { PartFile::Replace::Never, PartFile::Replace::Existing }) {
        fs::remove_all(m_folder);
        fs::create_directory(m_folder);
        PartFile file;
        ASSERT_TRUE(file.create(fs::path(m_folder) / "a.txt"));
        ASSERT_TRUE(file.write("data", 4));
        ASSERT_TRUE(file.close());
#ifdef __linux__
        EXPECT_EQ(written(), Files {}) << "the data has no name yet";
#endif
        ASSERT_TRUE(file.commit(replace));
        EXPECT_EQ(written(), (Files { { "a.txt", "data" } }));
    }
    PartFile abandoned;
    ASSERT_TRUE(abandoned.create(fs::path(m_folder) / "b.txt"));
    ASSERT_TRUE(abandoned.write("partial", 7));
    abandoned.discard();
    EXPECT_EQ(written(), (Files { { "a.txt", "data" } }));
}

// Another run of the same documents puts its file at the target after this write began: under
// Keep, equal bytes leave it unchanged and only other bytes take a numbered name.
TEST_F(DocumentExtractionTest, AFileThatAppearsAtTheTargetMeanwhileIsComparedFirst)
{
    std::ofstream(m_scratch.file("source.txt")) << "same";
    for (const bool copy : { false, true }) {
        for (const std::string theirs : { "same", "other" }) {
            fs::remove_all(m_folder);
            fs::create_directory(m_folder);
            const fs::path target = fs::path(m_folder) / "a.txt";
            WriteRequest request;
            request.path = target.string();
            request.existing = ExistingFiles::Keep;
            request.folderIsNew = true; // the target is not looked for before the write
            PlacedFile result;
            PartFile file;
            if (copy) {
                std::ofstream(target) << theirs;
                result = placeCopy(m_scratch.file("source.txt"), -1, request);
            } else {
                ASSERT_TRUE(file.create(target));
                ASSERT_TRUE(file.write("same", 4));
                ASSERT_TRUE(file.close());
                std::ofstream(target) << theirs;
                ASSERT_EQ(placeFile(file, target, false, request, result), PlaceOutcome::Placed);
            }
            const bool equal = theirs == "same";
            EXPECT_EQ(result.placement, equal ? Placement::Unchanged : Placement::Alternative)
                << copy << theirs << result.reason;
            Files expected { { "a.txt", theirs } };
            if (!equal)
                expected["a (2).txt"] = "same";
            EXPECT_EQ(written(), expected) << copy;
        }
    }
}

// Something other than a regular file at the target is never followed, read or replaced.
TEST_F(DocumentExtractionTest, ANonFileAtTheTargetIsLeftAlone)
{
    fs::create_directory(m_folder + "a.txt");
    std::ofstream(m_scratch.file("outside.txt")) << "outside";
#ifndef _WIN32
    fs::create_symlink(m_scratch.file("outside.txt"), m_folder + "b.txt");
#endif
    for (const ExistingFiles existing : { ExistingFiles::Keep, ExistingFiles::Overwrite }) {
        ExtractionOptions options;
        options.existing = existing;
        fixtures::writePdf(
            m_scratch.file("in.pdf"), { { "a.txt", "alpha", 0 }, { "b.txt", "beta", 0 } });
        run(options);
    }
    EXPECT_EQ(readFile(m_scratch.file("outside.txt")), "outside");
    EXPECT_TRUE(fs::is_directory(m_folder + "a.txt"));
    EXPECT_EQ(readFile(m_folder + "a (2).txt"), "alpha");
}

#ifndef _WIN32
// A symbolic link at the document folder's name is a clash: nothing goes through the link, the
// document takes the next free numbered folder.
TEST_F(DocumentExtractionTest, ALinkOrFileAtTheFolderNameGivesANumberedFolder)
{
    struct Row {
        const char *what;
        std::function<void(const fs::path &)> block;
        const char *folder;
        const char *note;
    };
    const fs::path elsewhere = m_scratch.path() / "elsewhere";
    const Row rows[] = {
        { "link to a folder",
            [&](const fs::path &at) { fs::create_directory_symlink(elsewhere, at); },
            "x (2)",
            "written into x (2) because x is a symbolic link" },
        { "links up to (3)",
            [&](const fs::path &at) {
                fs::create_directory_symlink(elsewhere, at);
                fs::create_directory_symlink(elsewhere, at.string() + " (2)");
            },
            "x (3)",
            "written into x (3) because x is a symbolic link" },
    };
    fixtures::writePdf(m_scratch.file("in.pdf"), { { "a.txt", "alpha", 0 } });
    for (const Row &row : rows) {
        const fs::path out = m_scratch.path() / "out";
        fs::remove_all(out);
        fs::remove_all(elsewhere);
        fs::create_directories(elsewhere);
        fs::create_directory(out);
        row.block(out / "x");
        const std::string expected = row.folder;
        const DocumentResult result = extractDocumentAttachments(
            m_scratch.file("in.pdf"), (out / "x").string() + "/", m_observer);
        EXPECT_EQ(result.documentFolder, (out / expected).string() + "/") << row.what;
        EXPECT_EQ(result.notes, std::vector<std::string> { row.note }) << row.what;
        EXPECT_EQ(filesBelow(elsewhere), Files {}) << row.what;
        EXPECT_EQ(filesBelow(out / expected), (Files { { "a.txt", "alpha" } })) << row.what;
    }
}
#endif

// A document's attachments together stop at its limit: the one that would pass it keeps
// nothing, the rest are not written. Unchanged files count, so a rerun stops at the same place.
TEST_F(DocumentExtractionTest, TheDocumentLimitStopsTheAttachmentsPastIt)
{
    const std::string stopped = "stopped: the document's attachments together pass the limit of ";
    const Files a = { { "a.txt", "aaaa" } }, ab = { { "a.txt", "aaaa" }, { "b.txt", "bbbb" } };
    Files abc = ab;
    abc["c.txt"] = "cccc";
    const struct {
        std::uint64_t limit;
        const char *outcomes; // first run, then rerun
        Files files;
    } rows[] = {
        { 0, "written written written unchanged unchanged unchanged ", abc },
        { 12, "written written written unchanged unchanged unchanged ", abc },
        { 8, "written written failed unchanged unchanged failed ", ab },
        { 6, "written failed failed unchanged failed failed ", a },
    };
    fixtures::writePdf(m_scratch.file("in.pdf"),
        { { "a.txt", "aaaa", 0 }, { "b.txt", "bbbb", 0 }, { "c.txt", "cccc", 0 } });
    for (const auto &row : rows) {
        fs::remove_all(m_scratch.path() / "doc");
        ExtractionOptions options;
        options.maxDocumentSize = row.limit;
        std::string outcomes;
        for (int rerun = 0; rerun < 2; ++rerun) {
            const DocumentResult result = run(options);
            for (const AttachmentOutcome &outcome : result.attachments) {
                outcomes += outcomeWord(outcome.kind) + " ";
                if (outcome.kind == AttachmentOutcome::Kind::Failed) {
                    EXPECT_EQ(
                        outcome.reason, stopped + std::to_string(row.limit) + " bytes per document")
                        << row.limit;
                }
            }
        }
        EXPECT_EQ(outcomes, row.outcomes) << row.limit;
        EXPECT_EQ(written(), row.files) << row.limit;
    }
}

// A declared size the disk has no room for fails at once, before anything is written.
TEST_F(DocumentExtractionTest, ADeclaredSizePastTheFreeSpaceFailsAtOnce)
{
    fixtures::DocumentFixture document;
    document.files = { treeFile("huge.bin", "small in truth"), treeFile("small.txt", "s") };
    document.files[0].size = std::int64_t { 1 } << 60;
    fixtures::writeDocument(m_scratch.file("in.pdf"), document);
    const DocumentResult result = run();
    ASSERT_EQ(result.attachments.size(), 2u);
    EXPECT_EQ(result.attachments[0].writeStatus, WriteStatus::DiskFull);
    EXPECT_EQ(
        result.attachments[0].reason.rfind("disk full: 1152921504606846976 bytes needed, ", 0), 0u)
        << result.attachments[0].reason;
    EXPECT_EQ(written(), (Files { { "small.txt", "s" } }));
}

// Three names for one embedded stream: decoded once, each name placed by the usual rules, a
// new name a hard link to the first file where the file system allows.
TEST_F(DocumentExtractionTest, NamesSharingOneStreamGetCopiesOfTheFirstFile)
{
    const Files all = { { "a.txt", "shared" }, { "b.txt", "shared" }, { "c.txt", "shared" } };
    Files kept = all, beside = all;
    kept["b.txt"] = beside["b.txt"] = "other";
    beside["b (2).txt"] = "shared";
    using enum ExistingFiles;
    const struct {
        ExistingFiles existing;
        const char *before; // content of b.txt before the first run; null for none
        const char *outcomes;
        Files files;
    } rows[] = {
        { Keep, nullptr, "written written written ", all },
        { Keep, "shared", "written unchanged written ", all },
        { Keep, "other", "written renamed written ", beside },
        { Overwrite, "other", "written overwritten written ", all },
        { Skip, "other", "written skipped written ", kept },
    };
    fixtures::DocumentFixture document;
    for (const char *name : { "a.txt", "b.txt", "c.txt" })
        document.files.push_back(treeFile(name, "shared"));
    document.files[1].streamOf = document.files[2].streamOf = 0;
    fixtures::writeDocument(m_scratch.file("in.pdf"), document);
    for (const auto &row : rows) {
        fs::remove_all(m_scratch.path() / "doc");
        fs::create_directory(m_scratch.path() / "doc");
        if (row.before != nullptr)
            std::ofstream(m_folder + "b.txt") << row.before;
        ExtractionOptions options;
        options.existing = row.existing;
        options.sha256 = true;
        std::string outcomes;
        const DocumentResult result = run(options);
        EXPECT_TRUE(documentSucceeded(result)) << documentFailure(result);
        for (const AttachmentOutcome &outcome : result.attachments) {
            outcomes += outcomeWord(outcome.kind) + " ";
            if (outcome.kind != AttachmentOutcome::Kind::Skipped) {
                EXPECT_EQ(outcome.sha256, result.attachments[0].sha256) << outcome.index;
            }
        }
        const auto label = row.before == nullptr ? std::string("none") : row.before;
        EXPECT_EQ(outcomes, row.outcomes) << label;
        EXPECT_EQ(written(), row.files) << label;
    }
#ifdef __linux__
    EXPECT_EQ(fs::hard_link_count(m_folder + "a.txt"), 2u) << "c.txt is the same file";
#endif
}

// Attachments left out are neither written nor the source of another's copy.
TEST_F(DocumentExtractionTest, OnlyTheChosenAttachmentsAreWritten)
{
    fixtures::DocumentFixture document;
    for (const auto &[name, data] : { std::pair("a.txt", "shared"), { "b.xml", "<b/>" } })
        document.files.push_back(treeFile(name, data));
    document.files.push_back(treeFile("c.txt", "shared"));
    document.files[2].streamOf = 0;
    fixtures::writeDocument(m_scratch.file("in.pdf"), document);
    const auto choice = [](std::vector<std::string> include,
                            std::vector<std::string> exclude,
                            TickedAttachments ticked = {}) {
        AttachmentChoice chosen;
        for (const std::string &pattern : include)
            chosen.include.emplace_back(pattern, true);
        for (const std::string &pattern : exclude)
            chosen.exclude.emplace_back(pattern, true);
        chosen.ticked = std::move(ticked);
        return chosen;
    };
    const struct {
        AttachmentChoice choice;
        const char *outcomes; // word, or the reason of one not chosen
        Files files;
    } rows[] = {
        { choice({}, { "A.*" }),
            "excluded by --exclude 'A.*'; written; written; ",
            { { "b.xml", "<b/>" }, { "c.txt", "shared" } } },
        { choice({ "*.XML", "x" }, {}),
            "not matched by --include '*.XML', 'x'; written; not matched by --include "
            "'*.XML', 'x'; ",
            { { "b.xml", "<b/>" } } },
        { choice({}, {}, { true, { 3 } }),
            "not chosen; not chosen; written; ",
            { { "c.txt", "shared" } } },
        { choice({ "*.pdf" }, {}),
            "not matched by --include '*.pdf'; not matched by --include '*.pdf'; not matched by "
            "--include '*.pdf'; ",
            {} },
    };
    for (const auto &row : rows) {
        fs::remove_all(m_scratch.path() / "doc");
        ExtractionOptions options;
        options.choice = row.choice;
        const DocumentResult result = run(options);
        std::string outcomes;
        for (const AttachmentOutcome &outcome : result.attachments)
            outcomes
                += (outcome.kind == AttachmentOutcome::Kind::NotChosen ? outcome.reason
                                                                       : outcomeWord(outcome.kind))
                + "; ";
        EXPECT_EQ(outcomes, row.outcomes);
        EXPECT_TRUE(documentSucceeded(result));
        const bool made = fs::exists(m_scratch.path() / "doc"); // only for something to write
        EXPECT_EQ(made, !row.files.empty()) << row.outcomes;
        EXPECT_EQ(made ? written() : Files(), row.files) << row.outcomes;
    }
}

// A stream that stops at the size limit fails every name given to it, decoded once.
TEST_F(DocumentExtractionTest, AStoppedSharedStreamFailsEveryNameOfIt)
{
    fixtures::DocumentFixture document;
    for (int i = 0; i < 1000; ++i)
        document.files
            .emplace_back(treeFile("bomb" + std::to_string(i) + ".bin", std::string(4096, 'z')))
            .streamOf
            = i == 0 ? -1 : 0;
    fixtures::writeDocument(m_scratch.file("in.pdf"), document);
    ExtractionOptions options;
    options.maxAttachmentSize = 1024;
    const DocumentResult result = run(options);
    ASSERT_EQ(result.attachments.size(), 1000u);
    for (const AttachmentOutcome &outcome : result.attachments) {
        EXPECT_EQ(outcome.kind, AttachmentOutcome::Kind::Failed);
        EXPECT_EQ(outcome.reason, "stopped: expands past the size limit") << outcome.index;
    }
    EXPECT_EQ(written(), Files {});
}

#ifndef _WIN32
// Without anonymous temporary files, a run removes the parts a killed run left in the folders it
// writes to, and nothing else: not a part a running write holds, not a newer one, not other
// names.
TEST_F(DocumentExtractionTest, StalePartsOfAKilledRunAreRemoved)
{
    PartFile::allowAnonymous(false);
    const auto hourAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
    const auto later = fs::file_time_type::clock::now() + std::chrono::hours(1);
    const struct {
        const char *name;
        bool old;
        bool kept;
    } rows[] = {
        { ".a.txt.quenlith-k1ll3d.part", true, false },
        { ".other name.quenlith-abc123.part", true, false },
        { ".held.quenlith-abc123.part", true, true }, // locked below: a write in progress
        { ".new.quenlith-abc123.part", false, true },
        { ".a.txt.quenlith-abc12.part", true, true },
        { "a.txt.quenlith-abc123.part", true, true },
        { ".a.txt.quenlith-ABC123.part", true, true },
        { ".a.txt.quenlith-abc123.partial", true, true },
    };
    Files expected { { "a.txt", "alpha" } };
    for (const auto &row : rows) {
        std::ofstream(m_folder + row.name) << "left";
        fs::last_write_time(m_folder + row.name, row.old ? hourAgo : later);
        if (row.kept)
            expected[row.name] = "left";
    }
    const int held = ::open((m_folder + ".held.quenlith-abc123.part").c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    fs::create_directory_symlink(m_scratch.path(), m_folder + ".link.quenlith-abc123.part");

    const auto result = extract({ { "a.txt", "alpha", 0 } });
    ::close(held);
    PartFile::allowAnonymous(true);
    ASSERT_EQ(result.attachments.size(), 1u);
    EXPECT_EQ(outcomeWord(result.attachments[0].kind), "written");
    EXPECT_EQ(written(), expected);
    EXPECT_TRUE(fs::is_symlink(m_folder + ".link.quenlith-abc123.part"));
}

// A written part carries the attachment's old date before it gets its name; another run's sweep
// in the same folder meanwhile must still take it for a live write, not a killed one.
TEST_F(DocumentExtractionTest, AClosedPartWithAnOldDateSurvivesAnotherRunsSweep)
{
    PartFile::allowAnonymous(false);
    PartFile file;
    ASSERT_TRUE(file.create(fs::path(m_folder) / "old.txt"));
    ASSERT_TRUE(file.write("dated", 5));
    file.setModificationTime(946684800); // 2000-01-01
    ASSERT_TRUE(file.close());
    PartFile::removeStaleParts(fs::path(m_folder));
    EXPECT_TRUE(file.commit());
    PartFile::allowAnonymous(true);
    EXPECT_EQ(written(), (Files { { "old.txt", "dated" } }));
}

// The document folder swapped for a link to elsewhere after it was opened (here at a yield
// point; another program could at any time) does not lead the writes there: they go on in the
// folder that was opened, the copy of a shared stream and an overwrite included.
TEST_F(DocumentExtractionTest, AFolderSwappedForALinkIsNotFollowed)
{
    const fs::path doc = m_scratch.path() / "doc";
    const fs::path moved = m_scratch.path() / "moved";
    const fs::path outside = m_scratch.path() / "outside";
    fixtures::DocumentFixture document;
    document.files
        = { treeFile("a.txt", "shared"), treeFile("b.txt", "shared"), treeFile("c.txt", "new") };
    document.files[1].streamOf = 0;
    fixtures::writeDocument(m_scratch.file("in.pdf"), document);
    for (const ExistingFiles existing : { ExistingFiles::Keep, ExistingFiles::Overwrite }) {
        fs::remove_all(doc);
        fs::remove_all(moved);
        fs::remove_all(outside);
        fs::create_directory(doc);
        fs::create_directory(outside);
        std::ofstream(doc / "c.txt") << "old";
        std::ofstream(outside / "a.txt") << "bait";
        RecordingObserver observer;
        bool swapped = false;
        observer.onYield = [&] {
            if (!swapped) {
                fs::rename(doc, moved);
                fs::create_directory_symlink(outside, doc);
                swapped = true;
            }
            return true;
        };
        ExtractionOptions options;
        options.existing = existing;
        const DocumentResult result
            = extractDocumentAttachments(m_scratch.file("in.pdf"), m_folder, observer, options);
        EXPECT_TRUE(documentSucceeded(result)) << documentFailure(result);
        EXPECT_EQ(filesBelow(outside), (Files { { "a.txt", "bait" } }));
        const std::string c = existing == ExistingFiles::Keep ? "old" : "new";
        Files expected { { "a.txt", "shared" }, { "b.txt", "shared" }, { "c.txt", c } };
        if (existing == ExistingFiles::Keep)
            expected["c (2).txt"] = "new";
        EXPECT_EQ(filesBelow(moved), expected);
        fs::remove(doc);
    }
}

// The output folder, opened once for the run and then swapped for a link to elsewhere: the
// document folders, and the flat layout's files, still go into the folder that was opened.
TEST_F(DocumentExtractionTest, AnOutputFolderSwappedForALinkIsNotFollowed)
{
    const fs::path out = m_scratch.path() / "out";
    const fs::path moved = m_scratch.path() / "moved";
    const fs::path outside = m_scratch.path() / "outside";
    fixtures::writePdf(m_scratch.file("in.pdf"), { { "a.txt", "alpha", 0 } });
    for (const bool flat : { false, true }) {
        SCOPED_TRACE(flat ? "flat" : "folders");
        fs::remove_all(moved);
        fs::create_directory(out);
        fs::create_directory(outside);
        const std::string outputFolder = out.string() + preferredSeparator();
        const OpenedFolder opened = OpenedFolder::open(outputFolder);
        fs::rename(out, moved);
        fs::create_directory_symlink(outside, out);
        ExtractionOptions options;
        options.outputFolder = &opened;
        const DocumentResult result = extractDocumentAttachments(m_scratch.file("in.pdf"),
            flat ? outputFolder : outputFolder + "in",
            m_observer,
            options,
            flat ? "in__" : "");
        EXPECT_TRUE(documentSucceeded(result)) << documentFailure(result);
        EXPECT_TRUE(fs::is_empty(outside));
        EXPECT_EQ(filesBelow(moved), (Files { { flat ? "in__a.txt" : "in/a.txt", "alpha" } }));
        fs::remove(out);
    }
}
#endif

class PortfolioExtractionTest : public DocumentExtractionTest {
protected:
    void writePortfolio(const std::vector<fixtures::FolderFixture> &folders,
        const std::vector<fixtures::FileSpecFixture> &files)
    {
        fixtures::writeDocument(m_scratch.file("in.pdf"), { .files = files });
        fixtures::addPortfolio(m_scratch.file("in.pdf"), { 0, "Root", folders });
    }
    // "status path" of each attachment, the path relative to the document folder.
    static std::vector<std::string> outcomes(const DocumentResult &result)
    {
        std::vector<std::string> lines;
        for (const AttachmentOutcome &outcome : result.attachments)
            lines.push_back(
                outcomeWord(outcome.kind) + " " + pathInDocumentFolder(result, outcome));
        return lines;
    }
};

// The flat layout writes into the output folder itself: portfolio folders are not made (a note
// says so), files of one name in different folders are numbered, long names are cut to keep
// the prefix and the extension.
TEST_F(PortfolioExtractionTest, TheFlatLayoutKeepsNoFoldersAndBoundsNames)
{
    const std::string longName(300, 'n');
    writePortfolio({ { 1, "a", -1, -1 }, { 2, "b", -1, -1 } },
        { treeFile("<1>x.txt", "A"), treeFile("<2>x.txt", "B"), treeFile(longName + ".xml", "L") });
    const std::string prefix = "in__";
    const std::string cut = prefix + std::string(200 - prefix.size() - 4, 'n') + ".xml";
    const DocumentResult result = run({}, prefix);
    EXPECT_EQ(result.documentFolder, m_folder);
    EXPECT_EQ(outcomes(result),
        (std::vector<std::string> {
            "written in__x.txt", "renamed in__x (2).txt", "written " + cut }));
    EXPECT_EQ(result.notes,
        (std::vector<std::string> {
            "the flat layout keeps no portfolio folders: their files are named like the others" }));
    EXPECT_EQ(written(), (Files { { "in__x.txt", "A" }, { "in__x (2).txt", "B" }, { cut, "L" } }));
}

// More folders than are held open at once: one met again after many others, as the parent of
// a new folder and as the source of a shared stream's copy, is opened again by its names.
TEST_F(PortfolioExtractionTest, MoreFoldersThanAreHeldOpenStillGetTheirFiles)
{
    std::vector<fixtures::FolderFixture> folders;
    std::vector<fixtures::FileSpecFixture> files;
    Files expected;
    for (int n = 1; n <= 100; ++n) {
        const std::string number = std::to_string(n);
        folders.push_back({ n, "f" + number, -1, -1 });
        files.push_back(treeFile("<" + number + ">x.txt", number));
        expected["f" + number + "/x.txt"] = number;
    }
    // The keys sort as text: "<999>" comes last, long after "<1>".
    folders.push_back({ 999, "late", 0, -1 });
    files.push_back(treeFile("<999>copy.txt", "1"));
    files.back().streamOf = 0;
    expected["f1/late/copy.txt"] = "1";
    writePortfolio(folders, files);
    const DocumentResult result = run();
    EXPECT_TRUE(documentSucceeded(result)) << documentFailure(result);
    EXPECT_EQ(result.notes, std::vector<std::string> {});
    EXPECT_EQ(written(), expected);
}

// Each folder level gets a safe name, made like an attachment's, numbered where another file or
// folder of the document has it.
TEST_F(PortfolioExtractionTest, FilesGoIntoTheirFoldersUnderSafeNames)
{
    struct Row {
        const char *what;
        std::vector<fixtures::FolderFixture> folders;
        std::vector<fixtures::FileSpecFixture> files;
        Files expected;
        std::vector<std::string> notes;
    };
    const std::string longName(300, 'n');
    const Row rows[] = {
        { "nested three deep, a sibling and the top",
            { { 1, "a", -1, -1 }, { 2, "b", 0, -1 }, { 3, "c", 1, -1 }, { 4, "d", -1, -1 } },
            { treeFile("<3>c.xml", "C"),
                treeFile("<4>x", "D", "d.txt"),
                treeFile("<2>b.txt", "B"),
                treeFile("top.txt", "T") },
            { { "a/b/c/c.xml", "C" },
                { "d/d.txt", "D" },
                { "a/b/b.txt", "B" },
                { "top.txt", "T" } },
            {} },
        { "hostile folder names",
            { { 1, "..", -1, -1 },
                { 2, "a/b", -1, -1 },
                { 3, "", -1, -1 },
                { 4, "ctl\x01\x1b", -1, -1 },
                { 5, " . ", -1, -1 },
                { 6, longName, -1, -1 },
                { 7, "..", 0, -1 } },
            { treeFile("<1>1.txt", "1"),
                treeFile("<2>2.txt", "2"),
                treeFile("<3>3.txt", "3"),
                treeFile("<4>4.txt", "4"),
                treeFile("<5>5.txt", "5"),
                treeFile("<6>6.txt", "6"),
                treeFile("<7>7.txt", "7") },
            { { "_/1.txt", "1" },
                { "b/2.txt", "2" },
                { "_ (2)/3.txt", "3" },
                { "ctl__/4.txt", "4" },
                { "_ (3)/5.txt", "5" },
                { std::string(200, 'n') + "/6.txt", "6" },
                { "_/_/7.txt", "7" } },
            { "written into _ (2) because _ is taken by another file or folder of this document",
                "written into _ (3) because _ is taken by another file or folder of this "
                "document" } },
        { "a folder named like a file before it; sibling folders of one name share a folder",
            { { 1, "x.txt", -1, -1 }, { 2, "same", -1, -1 }, { 3, "same", -1, -1 } },
            { treeFile("x.txt", "top"),
                treeFile("<1>in-x.txt", "in x"),
                treeFile("<2>s.txt", "first"),
                treeFile("<3>t.txt", "second") },
            { { "x.txt", "top" },
                { "x.txt (2)/in-x.txt", "in x" },
                { "same/s.txt", "first" },
                { "same/t.txt", "second" } },
            { "written into x.txt (2) because x.txt is taken by another file or folder of this "
              "document" } },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove_all(m_folder);
        writePortfolio(row.folders, row.files);
        const DocumentResult result = run();
        EXPECT_TRUE(documentSucceeded(result)) << documentFailure(result);
        EXPECT_EQ(written(), row.expected);
        EXPECT_EQ(result.notes, row.notes);
    }
}

// Folders whose path would leave no room for a file name below PATH_MAX are not made: their files
// go to the top of the document folder, with one note.
TEST_F(PortfolioExtractionTest, FoldersPastThePathBoundLeaveTheirFilesAtTheTop)
{
    writePortfolio(fixtures::folderChain(20, std::string(190, 'L')),
        { treeFile("<5>ok.txt", "5"),
            treeFile("<20>far.txt", "20"),
            treeFile("<19>near.txt", "19") });
    const DocumentResult result = run();
    EXPECT_EQ(outcomes(result),
        (std::vector<std::string> {
            "written " + P(fixtures::folderChainPath(5, std::string(190, 'L')) + "/ok.txt"),
            "written far.txt",
            "written near.txt" }));
    ASSERT_EQ(result.notes.size(), 1u);
    EXPECT_NE(result.notes[0].find("are written at the top because its path would be too long"),
        std::string::npos)
        << result.notes[0];
}

#ifndef _WIN32
// A link or a file where a folder level should go is never followed or replaced: the level
// takes the next free numbered name.
TEST_F(PortfolioExtractionTest, ALinkOrFileInTheWayOfAFolderGivesANumberedOne)
{
    struct Row {
        const char *what;
        const char *blocked; // relative to the document folder
        std::function<void(const fs::path &)> block;
        std::vector<std::string> outcomes;
        std::string note;
    };
    const fs::path elsewhere = m_scratch.path() / "elsewhere";
    const Row rows[] = {
        { "a link to a folder at the first level",
            "a",
            [&](const fs::path &at) { fs::create_directory_symlink(elsewhere, at); },
            { "written " + P("a (2)/b/deep.txt"), "written " + P("a (2)/top-of-a.txt") },
            "written into a (2) because a is a symbolic link" },
        { "a dangling link at the second level",
            "a/b",
            [&](const fs::path &at) {
                fs::create_directory(at.parent_path());
                fs::create_symlink(elsewhere / "missing", at);
            },
            { "written " + P("a/b (2)/deep.txt"), "written " + P("a/top-of-a.txt") },
            "written into a/b (2) because a/b is a symbolic link" },
        { "a file at the second level",
            "a/b",
            [](const fs::path &at) {
                fs::create_directory(at.parent_path());
                std::ofstream(at) << "mine";
            },
            { "written " + P("a/b (2)/deep.txt"), "written " + P("a/top-of-a.txt") },
            "written into a/b (2) because a/b is a file" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove_all(m_folder);
        fs::remove_all(elsewhere);
        fs::create_directories(elsewhere);
        fs::create_directories(m_folder);
        row.block(fs::path(m_folder) / row.blocked);
        writePortfolio({ { 1, "a", -1, -1 }, { 2, "b", 0, -1 } },
            { treeFile("<2>deep.txt", "deep"), treeFile("<1>top-of-a.txt", "a") });
        const DocumentResult result = run();
        EXPECT_EQ(outcomes(result), row.outcomes);
        EXPECT_EQ(result.notes, std::vector<std::string> { row.note });
        EXPECT_EQ(filesBelow(elsewhere), Files {});
    }
}
#endif

TEST(DocumentFolder, OnlyTheFinalPdfGoesAndTheNameIsMadeSafe)
{
    const std::pair<const char *, const char *> rows[] = { { "Report.PDF", "Report/" },
        { "x.pdf.old.pdf", "x.pdf.old/" },
        { "a.pdf.txt", "a.pdf.txt/" },
        { "t.pdf ", "t/" },
        { ".pdf", "_/" },
        { "..pdf", "_/" },
        { "a..pdf", "a./" },
        { "a\x01"
          "b\xff.pdf",
            "a_b_/" } };
    for (const auto &[name, expected] : rows) {
        EXPECT_EQ(documentFolderFor(P("/out"), P("/docs/") + name), P("/out/") + P(expected))
            << name;
    }
}

// The folders depend on the set of paths only: every order gives every document the same one.
TEST(DocumentFolder, AssignmentIgnoresTheOrderOfThePaths)
{
    std::vector<std::string> paths = { P("/d/report (2).pdf"),
        P("/c/report.pdf"),
        P("/a/report.pdf"),
        P("/b/Report.pdf"),
        P("/a/report.pdf"),
        P("/e/x.pdf") };
    std::sort(paths.begin(), paths.end());
    std::map<std::string, std::string> expected = { { P("/a/report.pdf"), P("/out/report/") },
        { P("/b/Report.pdf"), P("/out/Report/") },
        { P("/c/report.pdf"), P("/out/report (2)/") },
        { P("/d/report (2).pdf"), P("/out/report (2) (2)/") },
        { P("/e/x.pdf"), P("/out/x/") } };
    do {
        const auto folders = assignDocumentFolders(P("/out"), paths, false);
        for (std::size_t i = 0; i < paths.size(); ++i)
            ASSERT_EQ(folders[i], expected[paths[i]]) << paths[i];
    } while (std::next_permutation(paths.begin(), paths.end()));

    // Where case does not count, "Report" and "report" are one folder name.
    const auto folded
        = assignDocumentFolders(P("/out"), { P("/b/Report.pdf"), P("/a/report.pdf") }, true);
    EXPECT_EQ(folded, (std::vector<std::string> { P("/out/Report (2)/"), P("/out/report/") }));
}

// Flat prefixes hold no "__" and end in no "_", so that the first "__" of a flat name ends
// them; they are bounded, and de-duplicated as folders are, whatever the order of the paths.
TEST(DocumentFolder, FlatPrefixesEndUnmistakably)
{
    const std::string longName(100, 'n');
    const std::vector<std::pair<std::string, std::string>> rows = {
        { "a__b.pdf", "a_b__" },
        { "a___.pdf", "a__" },
        // "..pdf" and "____.pdf" share the base name: the first path in order keeps it.
        { "____.pdf", "document (2)__" },
        { "..pdf", "document__" },
        { longName + ".pdf", std::string(80, 'n') + "__" },
        { std::string(79, 'n') + "_x.pdf", std::string(79, 'n') + "__" },
        { "a_b.pdf", "a_b (2)__" },
    };
    std::vector<std::string> paths;
    for (const auto &row : rows)
        paths.push_back(P("/docs/") + row.first);
    std::sort(paths.begin(), paths.end());
    do {
        const auto prefixes = assignFlatPrefixes(paths, false);
        std::map<std::string, std::string> byName;
        for (std::size_t i = 0; i < paths.size(); ++i)
            byName[FileNameOfPath(paths[i])] = prefixes[i];
        for (const auto &[name, expected] : rows)
            EXPECT_EQ(byName[name], expected) << name;
    } while (std::next_permutation(paths.begin(), paths.end()));
}

// A stopped document says why it failed and leaves no empty folder of this run's making; a
// folder that was there before, or one that holds a file, stays.
TEST_F(DocumentExtractionTest, AStoppedDocumentSaysWhyAndLeavesNoEmptyFolder)
{
    // Stops at the yield after `yields` have gone on; a refused write progress abandons a write.
    struct StoppingObserver : ExtractionObserver {
        bool yieldPoint() override
        {
            return yields-- > 0;
        }
        bool writeProgress(std::uint64_t) override
        {
            return yields > 0;
        }
        int yields = 0;
    };
    struct Row {
        const char *name;
        int yields;
        bool folderThere;
        Files left; // empty: no folder
    } rows[] = {
        { "before the first write", 0, false, {} },
        { "into a folder that was there", 0, true, {} },
        { "after the first write", 1, false, { { "a.txt", "alpha" } } },
        { "during the last write", 2, false, { { "a.txt", "alpha" } } },
    };
    fixtures::writePdf(m_scratch.file("in.pdf"),
        { { "a.txt", "alpha", 0 }, { "b.txt", std::string(5 << 20, 'b'), 0 } });
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(m_folder);
        if (row.folderThere)
            fs::create_directory(m_folder);
        StoppingObserver observer;
        observer.yields = row.yields;
        const auto result
            = extractDocumentAttachments(m_scratch.file("in.pdf"), m_folder, observer);
        EXPECT_TRUE(result.stopped);
        EXPECT_EQ(documentFailure(result), "stopped before every attachment was written");
        const bool kept = row.folderThere || !row.left.empty();
        EXPECT_EQ(result.folderExists, kept);
        ASSERT_EQ(fs::is_directory(m_folder), kept);
        if (kept) {
            EXPECT_EQ(written(), row.left);
        }
    }
}

// What the document itself tells about its damage reaches the result: a repair is no failure,
// metadata that cannot be read when only the invoice is asked for is.
TEST_F(DocumentExtractionTest, DamageOfTheDocumentIsTold)
{
    const fixtures::DocumentFixture rebuilt { .files = { treeFile("a.txt", "alpha") } };
    const fixtures::DocumentFixture largeXmp { .metadata
        = std::string(5 << 20, ' ') + fixtures::invoiceXmp("factur-x.xml", "EN 16931"),
        .metadataCompressed = true };
    struct Row {
        const char *name;
        const fixtures::DocumentFixture &document;
        bool brokenXref;
        bool invoicesOnly;
        bool repaired;
        std::string failure;
    } rows[] = {
        { "a rebuilt cross-reference table", rebuilt, true, false, true, "" },
        { "metadata past its bound, only the invoice asked for",
            largeXmp,
            false,
            true,
            false,
            "the XMP metadata is not read: it is larger than 4 MiB" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        fixtures::writeDocument(m_scratch.file("in.pdf"), row.document);
        if (row.brokenXref)
            fixtures::breakXref(m_scratch.file("in.pdf"));
        ExtractionOptions options;
        options.invoicesOnly = row.invoicesOnly;
        const auto result
            = extractDocumentAttachments(m_scratch.file("in.pdf"), m_folder, m_observer, options);
        EXPECT_EQ(result.repaired, row.repaired);
        EXPECT_TRUE(!result.repaired || !result.warnings.empty());
        EXPECT_EQ(documentFailure(result), row.failure);
        EXPECT_FALSE(result.noInvoice);
    }
}

// An invoice found by its XML alone is what --invoices-only writes, and --invoice-names names it
// after its number, a clash numbered as usual.
TEST_F(DocumentExtractionTest, InvoicesFoundByTheirXmlAndNamedByTheirNumber)
{
    const std::string ubl = fixtures::invoiceXml("UBL", "urn:cen.eu:en16931:2017");
    fixtures::writePdf(m_scratch.file("in.pdf"),
        { { "a.txt", "alpha", 0 }, { "471102.xml", "not it", 0 }, { "inv.xml", ubl, 0 } });
    const struct {
        bool invoicesOnly;
        Files files;
    } rows[] = {
        { true, { { "471102.xml", ubl } } },
        { false, { { "a.txt", "alpha" }, { "471102.xml", "not it" }, { "471102 (2).xml", ubl } } },
    };
    for (const auto &row : rows) {
        fs::remove_all(m_scratch.path() / "doc");
        ExtractionOptions options;
        options.invoicesOnly = row.invoicesOnly;
        options.invoiceNames = true;
        const DocumentResult result = run(options);
        EXPECT_FALSE(result.invoice.declared);
        EXPECT_EQ(result.invoice.index, 3);
        EXPECT_EQ(written(), row.files);
    }
}

// The words of an invoice in the reports and on the window's attachment line.
TEST(InvoiceTextTest, ReportsAndTheWindowTellTheInvoice)
{
    const auto declared = [](const std::string &level) {
        return readInvoiceDeclarations(fixtures::invoiceXmp("f.xml", level)).front();
    };
    InvoiceInfo read = declared("EN 16931");
    read.content = readInvoiceXml(fixtures::invoiceXml("CII", "urn:cen.eu:en16931:2017"));
    InvoiceInfo credit = read;
    credit.content = readInvoiceXml(fixtures::invoiceXml("UBL credit note", "x"));
    credit.content.seller = "Lieferant\n  GmbH";
    credit.content.buyer.clear();
    const struct {
        InvoiceInfo invoice;
        const char *text;
        const char *line;
        const char *toolTip;
    } rows[] = {
        { declared("en16931"), "invoice: Factur-X EN 16931, f.xml (missing)", "", "" },
        { declared("no thing"),
            "invoice: Factur-X, profile: \"no thing\" (unknown), f.xml (missing)",
            "",
            "" },
        { read,
            "invoice: Factur-X EN 16931, no. 471102 of 2024-11-15, Lieferant GmbH to Kunde AG, "
            "235.62 EUR",
            "Invoice 471102 of 2024-11-15, 235.62 EUR",
            "Seller: Lieferant GmbH\nBuyer: Kunde AG\nProfile: Factur-X EN 16931" },
        { credit,
            "invoice: Factur-X EN 16931, no. 471102 of 2024-11-15, Lieferant GmbH to ?, 235.62 EUR",
            "Credit note 471102 of 2024-11-15, 235.62 EUR",
            "Seller: Lieferant GmbH\nProfile: Factur-X EN 16931" },
        { InvoiceInfo(), "", "", "" },
    };
    for (const auto &row : rows) {
        EXPECT_EQ(invoiceText(row.invoice), row.text);
        const InvoiceLineText line = invoiceLineText(row.invoice);
        EXPECT_EQ(line.text, row.line);
        EXPECT_EQ(line.toolTip, row.toolTip);
    }
}

} // namespace
} // namespace quenlith
