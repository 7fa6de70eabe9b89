#include "extract/DocumentExtraction.h"

#include "extract/PdfLibrary.h"
#include "tests/support/PdfFixtures.h"
#include "tests/support/ScratchFolder.h"
#include "util/registry.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <map>

namespace quenlith {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>; // relative path -> content

// `text` with every '/' read as the platform's separator.
std::string P(std::string text)
{
    std::replace(text.begin(), text.end(), '/', preferredSeparator());
    return text;
}

Files filesBelow(const fs::path &folder)
{
    Files files;
    for (const auto &entry : fs::recursive_directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        if (!entry.is_directory())
            files[entry.path().lexically_relative(folder).string()].assign(
                std::istreambuf_iterator<char>(in), {});
    }
    return files;
}

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
        const char *kinds[] = { "written", "renamed", "failed", "checksum-mismatch", "abandoned" };
        trace += "done " + std::to_string(outcome.index) + " "
            + kinds[static_cast<int>(outcome.kind)] + " " + FileNameOfPath(outcome.outputPath)
            + "; ";
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
        return extractDocumentAttachments(
            m_library, m_scratch.file("in.pdf"), m_folder, m_observer);
    }
    Files written() const
    {
        return filesBelow(m_scratch.path() / "doc");
    }

    fixtures::ScratchFolder m_scratch { "quenlith-extraction" };
    const std::string m_folder = m_scratch.file("doc") + preferredSeparator();
    PdfLibrary m_library;
    RecordingObserver m_observer;
};

// A name met before is numbered; a file left in the folder by an earlier run is replaced. The
// window's add commands share the library: another document opened at a yield point must not
// redirect the writes.
TEST_F(DocumentExtractionTest, WritesEachAttachmentAndReportsInOrder)
{
    std::ofstream(m_folder + "a.txt") << "from an earlier run";
    fixtures::writePdf(m_scratch.file("other.pdf"), { { "other.txt", "wrong document", 0 } });
    m_observer.onYield = [this] {
        return m_library.OpenDocument(m_scratch.file("other.pdf"), "")
            == static_cast<int>(OpenStatus::Opened);
    };
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

TEST_F(DocumentExtractionTest, DocumentNotOpenedOrWithoutAttachmentsWritesNothing)
{
    std::ofstream(m_scratch.file("junk.pdf")) << "this is not a PDF document";
    fixtures::writePdf(m_scratch.file("empty.pdf"), {});
    for (const std::string name : { "junk.pdf", "missing.pdf", "empty.pdf" }) {
        RecordingObserver observer;
        const auto result
            = extractDocumentAttachments(m_library, m_scratch.file(name), m_folder, observer);
        const bool opens = name == "empty.pdf";
        EXPECT_EQ(result.openStatus == static_cast<int>(OpenStatus::Opened), opens) << name;
        EXPECT_EQ(result.openReason.empty(), opens) << name;
        EXPECT_EQ(observer.trace, opening) << name;
    }
    EXPECT_EQ(written(), Files {});
}

TEST_F(DocumentExtractionTest, HostileNamesStayInsideTheDocumentFolder)
{
    extract({ { "../../evil.txt", "1", 0 },
        { "/etc/passwd", "2", 0 },
        { "C:\\x\\y.txt", "3", 0 },
        { "..", "4", 0 },
        { "sub/", "5", 1 } });
    // The name tree sorts its keys: ".." is the first attachment, the annotation's the fifth.
    EXPECT_EQ(written(),
        (Files { { "evil.txt", "1" },
            { "passwd", "2" },
            { "y.txt", "3" },
            { "attachment-1", "4" },
            { "attachment-5", "5" } }));
}

TEST(DocumentFolder, EveryPdfBecomesASeparatorInsideTheOutputFolder)
{
    const std::pair<const char *, const char *> rows[] = { { "Report.PDF", "Report/" },
        { "a.pdf.pdf", "a/" },
        { "x.pdfa.pdf", "x/a/" },
        { "a.pdf.txt", "a/.txt/" },
        { ".pdf", "_/" },
        { "..pdf", "_/" },
        { "...pdf.pdf.pdf", "_/" },
        { "a..pdf", "a./" } };
    for (const auto &[name, expected] : rows) {
        EXPECT_EQ(documentFolderFor(P("/out"), P("/docs/") + name), P("/out/") + P(expected));
    }
}

TEST(DocumentFolderAllocator, CoincidingFoldersOfDifferentDocumentsAreNumbered)
{
    DocumentFolderAllocator allocator;
    const auto folderFor
        = [&](const char *document) { return allocator.folderFor(P("/out/"), P(document)); };
    EXPECT_EQ(folderFor("/a/report.pdf"), P("/out/report/"));
    EXPECT_EQ(folderFor("/b/report.pdf"), P("/out/report (2)/"));
    EXPECT_EQ(folderFor("/a/report.pdf"), P("/out/report/")) << "the same document again";
    EXPECT_EQ(folderFor("/c/report.pdf"), P("/out/report (3)/"));
    EXPECT_EQ(folderFor("/d/report (2).pdf"), P("/out/report (2) (2)/"));
    EXPECT_EQ(folderFor("/f/x.pdfa.pdf"), P("/out/x/a/"));
    EXPECT_EQ(folderFor("/g/x.pdfa.pdf"), P("/out/x/a (2)/"));
}

} // namespace
} // namespace quenlith
