#include "extract/DocumentExtraction.h"

#include "extract/PdfLibrary.h"
#include "tests/support/PdfFixtures.h"
#include "tests/support/ScratchFolder.h"
#include "util/registry.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>

using namespace quenlith;
using fixtures::Attachment;
using fixtures::ScratchFolder;
using fixtures::writePdf;
namespace fs = std::filesystem;

namespace {

const std::string S(1, preferredSeparator());

const char *kindName(AttachmentOutcome::Kind kind)
{
    switch (kind) {
    case AttachmentOutcome::Kind::Written:
        return "written";
    case AttachmentOutcome::Kind::Renamed:
        return "renamed";
    case AttachmentOutcome::Kind::Failed:
        return "failed";
    case AttachmentOutcome::Kind::ChecksumMismatch:
        return "checksum-mismatch";
    case AttachmentOutcome::Kind::Abandoned:
        return "abandoned";
    }
    return "?";
}

// Records every call in one trace; yieldPoint answers false from its `stopAt`-th call on.
class RecordingObserver : public ExtractionObserver {
public:
    explicit RecordingObserver(int stopAt = 0)
        : m_stopAt(stopAt)
    {
    }
    bool yieldPoint() override
    {
        trace.push_back("yield");
        ++m_yields;
        return m_stopAt == 0 || m_yields < m_stopAt;
    }
    void attachmentLabel(const std::string &text) override
    {
        trace.push_back("label " + text);
    }
    void waitNotice(bool shown) override
    {
        trace.push_back(shown ? "wait shown" : "wait hidden");
    }
    void attachmentDone(const AttachmentOutcome &outcome) override
    {
        trace.push_back("done " + std::to_string(outcome.index) + " " + kindName(outcome.kind) + " "
            + FileNameOfPath(outcome.outputPath));
    }

    std::vector<std::string> trace;

private:
    int m_stopAt;
    int m_yields = 0;
};

std::string contentOf(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::string> filesBelow(const fs::path &folder)
{
    std::set<std::string> files;
    for (const auto &entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_directory())
            files.insert(entry.path().lexically_relative(folder).string());
    }
    return files;
}

class DocumentExtractionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directory(m_scratch.path() / "doc");
    }
    // The document folder, with its trailing separator.
    std::string folder() const
    {
        return m_scratch.file("doc") + S;
    }
    DocumentResult extract(const std::vector<Attachment> &attachments, RecordingObserver &observer)
    {
        const std::string pdf = m_scratch.file("in.pdf");
        writePdf(pdf, attachments);
        return extractDocumentAttachments(m_library, pdf, folder(), observer);
    }

    ScratchFolder m_scratch { "quenlith-extraction" };
    PdfLibrary m_library;
};

const std::vector<std::string> notOpenedOrEmpty {
    "label Extracted Attachment(s) 0 (of 0)", "wait shown", "wait hidden"
};

TEST_F(DocumentExtractionTest, WritesEachAttachmentAndReportsInOrder)
{
    RecordingObserver observer;
    const auto result = extract({ { "a.txt", "alpha", 0 },
                                    { "dir\\sub/b.xml", "<b/>", 0 },
                                    { "c.bin", std::string("\0\1\2", 3), 1 } },
        observer);

    EXPECT_EQ(result.openStatus, static_cast<int>(OpenStatus::Opened));
    EXPECT_EQ(result.count, 3);
    EXPECT_FALSE(result.stopped);
    const std::vector<std::string> expected { "label Extracted Attachment(s) 0 (of 0)",
        "wait shown",
        "wait hidden",
        "yield",
        "done 1 written a.txt",
        "yield",
        "label Extracted Attachment(s) 1 (of 3)",
        "yield",
        "done 2 written b.xml",
        "yield",
        "label Extracted Attachment(s) 2 (of 3)",
        "yield",
        "done 3 written c.bin",
        "yield",
        "label Extracted Attachment(s) 3 (of 3)" };
    EXPECT_EQ(observer.trace, expected);

    ASSERT_EQ(result.attachments.size(), 3u);
    EXPECT_EQ(result.attachments[1].storedName, "dir\\sub/b.xml");
    EXPECT_EQ(result.attachments[1].outputPath, folder() + "b.xml");
    EXPECT_EQ(result.attachments[0].bytes, 5u);
    EXPECT_EQ(contentOf(folder() + "a.txt"), "alpha");
    EXPECT_EQ(contentOf(folder() + "b.xml"), "<b/>");
    EXPECT_EQ(contentOf(folder() + "c.bin"), std::string("\0\1\2", 3));
    EXPECT_EQ(filesBelow(m_scratch.path() / "doc"),
        (std::set<std::string> { "a.txt", "b.xml", "c.bin" }));
}

TEST_F(DocumentExtractionTest, DocumentThatDoesNotOpenWritesNothing)
{
    std::ofstream(m_scratch.file("junk.pdf")) << "this is not a PDF document";
    for (const std::string &pdf : { m_scratch.file("junk.pdf"), m_scratch.file("missing.pdf") }) {
        RecordingObserver observer;
        const auto result = extractDocumentAttachments(m_library, pdf, folder(), observer);
        EXPECT_NE(result.openStatus, static_cast<int>(OpenStatus::Opened)) << pdf;
        EXPECT_FALSE(result.openReason.empty()) << pdf;
        EXPECT_EQ(observer.trace, notOpenedOrEmpty) << pdf;
        EXPECT_TRUE(fs::is_empty(m_scratch.path() / "doc"));
    }
}

TEST_F(DocumentExtractionTest, DocumentWithoutAttachmentsOnlyShowsTheWaitNotice)
{
    RecordingObserver observer;
    const auto result = extract({}, observer);
    EXPECT_EQ(result.openStatus, static_cast<int>(OpenStatus::Opened));
    EXPECT_EQ(result.count, 0);
    EXPECT_EQ(observer.trace, notOpenedOrEmpty);
    EXPECT_TRUE(fs::is_empty(m_scratch.path() / "doc"));
}

TEST_F(DocumentExtractionTest, RepeatedNamesAreNumberedAndEarlierFilesReplaced)
{
    std::ofstream(folder() + "a.xml") << "from an earlier run";
    RecordingObserver observer;
    const auto result = extract(
        { { "a.xml", "first", 0 }, { "x/a.xml", "second", 0 }, { "a.xml", "third", 1 } }, observer);
    ASSERT_EQ(result.attachments.size(), 3u);
    EXPECT_EQ(result.attachments[0].kind, AttachmentOutcome::Kind::Written);
    EXPECT_EQ(result.attachments[1].kind, AttachmentOutcome::Kind::Renamed);
    EXPECT_EQ(result.attachments[2].kind, AttachmentOutcome::Kind::Renamed);
    EXPECT_EQ(contentOf(folder() + "a.xml"), "first");
    EXPECT_EQ(contentOf(folder() + "a (2).xml"), "second");
    EXPECT_EQ(contentOf(folder() + "a (3).xml"), "third");
}

TEST_F(DocumentExtractionTest, HostileNamesStayInsideTheDocumentFolder)
{
    RecordingObserver observer;
    const auto result = extract({ { "../../evil.txt", "1", 0 },
                                    { "/etc/passwd", "2", 0 },
                                    { "C:\\x\\y.txt", "3", 0 },
                                    { "..", "4", 0 },
                                    { "sub/", "5", 1 } },
        observer);
    ASSERT_EQ(result.count, 5);
    // The name tree keeps its keys sorted, so the index of ".." is looked up, not assumed.
    std::set<std::string> expected { "in.pdf",
        "doc" + S + "evil.txt",
        "doc" + S + "passwd",
        "doc" + S + "y.txt",
        "doc" + S + "attachment-5" };
    for (const auto &outcome : result.attachments) {
        EXPECT_EQ(outcome.kind, AttachmentOutcome::Kind::Written)
            << outcome.storedName << ": " << outcome.reason;
        if (outcome.storedName == "..")
            expected.insert("doc" + S + "attachment-" + std::to_string(outcome.index));
    }
    EXPECT_EQ(filesBelow(m_scratch.path()), expected);
}

TEST_F(DocumentExtractionTest, ObserverCanStopBeforeOrAfterAWrite)
{
    const std::vector<Attachment> three {
        { "1.txt", "1", 0 }, { "2.txt", "2", 0 }, { "3.txt", "3", 0 }
    };

    RecordingObserver stopFirst(1);
    auto result = extract(three, stopFirst);
    EXPECT_TRUE(result.stopped);
    EXPECT_TRUE(result.attachments.empty());
    EXPECT_TRUE(fs::is_empty(m_scratch.path() / "doc"));

    RecordingObserver stopAfterWrite(2);
    result = extract(three, stopAfterWrite);
    EXPECT_TRUE(result.stopped);
    ASSERT_EQ(result.attachments.size(), 1u);
    EXPECT_EQ(stopAfterWrite.trace.back(), "label Extracted Attachment(s) 1 (of 3)");
    EXPECT_EQ(filesBelow(m_scratch.path() / "doc"), std::set<std::string> { "1.txt" });

    RecordingObserver stopAtTheEnd(6); // the yield after the last write: nothing is left to stop
    result = extract(three, stopAtTheEnd);
    EXPECT_FALSE(result.stopped);
    EXPECT_EQ(result.attachments.size(), 3u);
}

// The window's add commands share the library and may run from a yield point.
TEST_F(DocumentExtractionTest, DocumentOpenedFromAYieldPointDoesNotRedirectTheWrites)
{
    const std::string other = m_scratch.file("other.pdf");
    writePdf(other, { { "other.txt", "wrong document", 0 } });
    class OpeningObserver : public RecordingObserver {
    public:
        OpeningObserver(PdfLibrary &library, std::string path)
            : m_library(library)
            , m_path(std::move(path))
        {
        }
        bool yieldPoint() override
        {
            m_library.OpenDocument(m_path, "");
            return RecordingObserver::yieldPoint();
        }

    private:
        PdfLibrary &m_library;
        std::string m_path;
    };
    OpeningObserver observer(m_library, other);
    const auto result = extract({ { "1.txt", "one", 0 }, { "2.txt", "two", 0 } }, observer);
    EXPECT_FALSE(result.stopped);
    EXPECT_EQ(filesBelow(m_scratch.path() / "doc"), (std::set<std::string> { "1.txt", "2.txt" }));
    EXPECT_EQ(contentOf(folder() + "2.txt"), "two");
}

TEST_F(DocumentExtractionTest, PasswordIsTriedOnlyWhenTheEmptyOneIsRefused)
{
    const fs::path pdf = fs::path(QUENLITH_CORPUS_DIR)
        / "qpdf__enc-XI-R6,V5,U=view,attachments,cleartext-metadata.pdf";
    if (!fs::exists(pdf))
        GTEST_SKIP() << "the real-world documents are not at " << pdf;

    RecordingObserver withoutPassword;
    auto result = extractDocumentAttachments(m_library, pdf.string(), folder(), withoutPassword);
    EXPECT_EQ(result.openStatus, static_cast<int>(OpenStatus::NeedsPassword));
    EXPECT_EQ(withoutPassword.trace, notOpenedOrEmpty);

    RecordingObserver wrongPassword;
    result = extractDocumentAttachments(m_library, pdf.string(), folder(), wrongPassword, "wrong");
    EXPECT_EQ(result.openStatus, static_cast<int>(OpenStatus::NeedsPassword));

    RecordingObserver rightPassword;
    result = extractDocumentAttachments(m_library, pdf.string(), folder(), rightPassword, "view");
    EXPECT_EQ(result.openStatus, static_cast<int>(OpenStatus::Opened));
    EXPECT_GT(result.count, 0);
    for (const auto &outcome : result.attachments) {
        EXPECT_EQ(outcome.kind, AttachmentOutcome::Kind::Written) << outcome.reason;
        EXPECT_TRUE(fs::is_regular_file(outcome.outputPath)) << outcome.outputPath;
    }
}

TEST(AttachmentLabel, PlainDecimalNumbers)
{
    EXPECT_EQ(attachmentLabelText(0, 0), "Extracted Attachment(s) 0 (of 0)");
    EXPECT_EQ(attachmentLabelText(2, 5), "Extracted Attachment(s) 2 (of 5)");
    EXPECT_EQ(attachmentLabelText(1234, 10000), "Extracted Attachment(s) 1234 (of 10000)");
}

struct FolderCase {
    const char *label;
    std::string documentName;
    std::string expected; // relative to the output folder, '/' for the separator
};

class DocumentFolderCases : public ::testing::TestWithParam<FolderCase> { };

std::string withPlatformSeparators(std::string text)
{
    for (char &c : text) {
        if (c == '/')
            c = preferredSeparator();
    }
    return text;
}

TEST_P(DocumentFolderCases, ReplacesEveryPdfAndStaysInsideTheOutputFolder)
{
    const std::string out = S + "out" + S;
    const std::string document = S + "docs" + S + GetParam().documentName;
    const std::string folder = documentFolderFor(out, document);
    EXPECT_EQ(folder, out + withPlatformSeparators(GetParam().expected));
    EXPECT_EQ(documentFolderFor(S + "out", document), folder) << "output folder without separator";

    const fs::path relative = fs::path(folder).lexically_normal().lexically_relative(out);
    ASSERT_FALSE(relative.empty());
    EXPECT_NE(*relative.begin(), "..");
    EXPECT_NE(*relative.begin(), ".");
}

std::string folderCaseName(const ::testing::TestParamInfo<FolderCase> &row)
{
    return row.param.label;
}

INSTANTIATE_TEST_SUITE_P(DocumentFolder,
    DocumentFolderCases,
    ::testing::Values(FolderCase { "Lowercase", "report.pdf", "report/" },
        FolderCase { "Capitals", "Report.PDF", "Report/" },
        FolderCase { "MixedCase", "x.PdF", "x/" },
        FolderCase { "Twice", "a.pdf.pdf", "a/" },
        FolderCase { "InTheMiddle", "x.pdfa.pdf", "x/a/" },
        FolderCase { "NotAtTheEnd", "a.pdf.txt", "a/.txt/" },
        FolderCase { "NoPdf", "notes", "notes/" },
        FolderCase { "OnlyPdf", ".pdf", "_/" },
        FolderCase { "DotPdf", "..pdf", "_/" },
        FolderCase { "DotDotPdf", "...pdf", "_/" },
        FolderCase { "DotDotInside", "...pdf.pdf.pdf", "_/" },
        FolderCase { "DotsKeptWhenNotAlone", "a..pdf", "a./" }),
    folderCaseName);

TEST(DocumentFolderAllocator, CoincidingFoldersOfDifferentDocumentsAreNumbered)
{
    const std::string out = S + "out" + S;
    DocumentFolderAllocator allocator;
    EXPECT_EQ(allocator.folderFor(out, S + "a" + S + "report.pdf"), out + "report" + S);
    EXPECT_EQ(allocator.folderFor(out, S + "b" + S + "report.pdf"), out + "report (2)" + S);
    EXPECT_EQ(allocator.folderFor(out, S + "a" + S + "report.pdf"), out + "report" + S);
    EXPECT_EQ(allocator.folderFor(out, S + "c" + S + "report.pdf"), out + "report (3)" + S);
    EXPECT_EQ(allocator.folderFor(out, S + "d" + S + "report (2).pdf"), out + "report (2) (2)" + S);
#if defined(_WIN32) || defined(__APPLE__)
    EXPECT_EQ(allocator.folderFor(out, S + "e" + S + "REPORT.PDF"), out + "REPORT (4)" + S);
#else
    EXPECT_EQ(allocator.folderFor(out, S + "e" + S + "REPORT.PDF"), out + "REPORT" + S);
#endif
    EXPECT_EQ(allocator.folderFor(out, S + "f" + S + "x.pdfa.pdf"), out + "x" + S + "a" + S);
    EXPECT_EQ(allocator.folderFor(out, S + "g" + S + "x.pdfa.pdf"), out + "x" + S + "a (2)" + S);
}

} // namespace
