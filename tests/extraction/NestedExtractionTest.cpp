#include "extract/NestedExtraction.h"

#include "extract/report/RunReport.h"
#include "tests/support/FileContents.h"
#include "tests/support/PdfFixtures.h"
#include "tests/support/ScratchFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace quenlith {
namespace {

namespace fs = std::filesystem;

using fixtures::readFile;

class NestedExtractionTest : public testing::Test {
protected:
    // A document of `attachments`, returned as its bytes, to attach to the next one.
    std::string pdf(const std::vector<fixtures::Attachment> &attachments)
    {
        const std::string path = m_folder.file("scratch-" + std::to_string(++m_written) + ".pdf");
        fixtures::writePdf(path, attachments);
        return readFile(path);
    }

    // Extracts `document` into the output folder, then the documents nested in it.
    std::vector<DocumentResult> extract(const std::string &document,
        const NestedLimits &limits = {},
        std::uint64_t maxDocumentSize = ExtractionOptions::defaultMaxDocumentSize)
    {
        const std::string path = m_folder.file("top.pdf");
        std::ofstream(path, std::ios::binary) << document;
        ExtractionObserver observer;
        ExtractionOptions options;
        options.maxDocumentSize = maxDocumentSize;
        std::vector<DocumentResult> all { extractDocumentAttachments(
            path, m_out.file("top/"), observer, options) };
        auto nested = extractNestedDocuments(all.front(), observer, options, limits);
        std::move(nested.begin(), nested.end(), std::back_inserter(all));
        return all;
    }

    std::string out(const std::string &relative) const
    {
        return readFile(m_out.path() / relative);
    }

    fixtures::ScratchFolder m_folder;
    fixtures::ScratchFolder m_out { "quenlith-nested" };
    int m_written = 0;
};

// Documents inside documents are extracted beside themselves, depth first; files that are not
// PDF documents are left as they are; a rerun finds everything unchanged.
TEST_F(NestedExtractionTest, ExtractsDocumentsInsideDocuments)
{
    const std::string inner = pdf({ { "deep.txt", "deepest" } });
    const std::string middle
        = pdf({ { "inner.pdf", inner }, { "fake.pdf", "not a document" }, { "m.txt", "m" } });
    const std::string top = pdf({ { "middle.pdf", middle }, { "t.txt", "t" } });
    for (const bool rerun : { false, true }) {
        SCOPED_TRACE(rerun);
        const auto results = extract(top);
        ASSERT_EQ(results.size(), 3u);
        EXPECT_EQ(results[1].documentPath, m_out.file("top/middle.pdf"));
        EXPECT_EQ(results[1].nestedIn, m_folder.file("top.pdf"));
        EXPECT_EQ(results[1].nesting, 1);
        EXPECT_EQ(results[2].documentPath, m_out.file("top/middle.pdf.attachments/inner.pdf"));
        EXPECT_EQ(results[2].nestedIn, results[1].documentPath);
        EXPECT_EQ(results[2].nesting, 2);
        EXPECT_EQ(out("top/middle.pdf.attachments/inner.pdf.attachments/deep.txt"), "deepest");
        EXPECT_EQ(out("top/middle.pdf.attachments/fake.pdf"), "not a document");
        EXPECT_FALSE(fs::exists(m_out.path() / "top/middle.pdf.attachments/fake.pdf.attachments"));
        for (const auto &result : results) {
            EXPECT_TRUE(documentSucceeded(result)) << result.documentPath;
            for (const auto &outcome : result.attachments)
                EXPECT_EQ(outcome.kind,
                    rerun ? AttachmentOutcome::Kind::Unchanged : AttachmentOutcome::Kind::Written)
                    << outcome.outputPath;
        }
    }
}

// The same bytes met again, a tree deeper or wider than the limits, and a nested document that
// does not open end the walk there, said so; none of them fails the document that holds it.
TEST_F(NestedExtractionTest, StopsAtLoopsLimitsAndBrokenDocuments)
{
    const std::string leaf = pdf({ { "leaf.txt", "leaf" } });
    const std::string twice = pdf({ { "a.pdf", leaf }, { "b.pdf", leaf } });
    auto results = extract(twice);
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[1].notSearched, "");
    EXPECT_EQ(results[2].notSearched,
        "not searched for attachments again: the same bytes as " + m_out.file("top/a.pdf"));
    EXPECT_TRUE(documentSucceeded(results[2]));
    EXPECT_FALSE(fs::exists(m_out.path() / "top/b.pdf.attachments"));
    RunTotals totals;
    for (const auto &result : results)
        totals.add(result);
    EXPECT_EQ(totals.documents, 2);

    const std::string deep = pdf({ { "l1.pdf", pdf({ { "l2.pdf", leaf } }) } });
    NestedLimits shallow;
    shallow.maxDepth = 1;
    results = extract(deep, shallow);
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[2].notSearched, "not searched for attachments: nested deeper than 1 levels");
    NestedLimits narrow;
    narrow.maxDocuments = 1;
    results = extract(pdf({ { "x.pdf", leaf }, { "y.pdf", pdf({ { "z.txt", "z" } }) } }), narrow);
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[2].notSearched,
        "not searched for attachments: more than 1 nested documents in one document");

    results = extract(pdf({ { "broken.pdf", "%PDF-1.4 nothing more" }, { "ok.pdf", leaf } }));
    ASSERT_EQ(results.size(), 3u);
    EXPECT_FALSE(documentSucceeded(results[1]));
    EXPECT_TRUE(documentSucceeded(results[0]));
    EXPECT_EQ(out("top/ok.pdf.attachments/leaf.txt"), "leaf");
    totals = {};
    for (const auto &result : results)
        totals.add(result);
    EXPECT_EQ(totals.documentsFailed, 0);
}

// The documents nested in a listed document share its size budget: each byte written anywhere in
// the tree counts once, and the attachment that would pass the budget stops, said so.
TEST_F(NestedExtractionTest, NestedDocumentsShareTheListedDocumentsBudget)
{
    const std::string a = pdf({ { "a.txt", std::string(600, 'a') } });
    const std::string b = pdf({ { "b.txt", std::string(600, 'b') } });
    const auto results
        = extract(pdf({ { "a.pdf", a }, { "b.pdf", b } }), {}, a.size() + b.size() + 900);
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(out("top/a.pdf.attachments/a.txt"), std::string(600, 'a'));
    ASSERT_EQ(results[2].attachments.size(), 1u);
    const AttachmentOutcome &stopped = results[2].attachments.front();
    EXPECT_EQ(stopped.writeStatus, WriteStatus::TooLarge);
    EXPECT_EQ(stopped.reason,
        "stopped: the document's attachments together pass the limit of "
            + std::to_string(a.size() + b.size() + 900) + " bytes per document");
    EXPECT_FALSE(fs::exists(m_out.path() / "top/b.pdf.attachments/b.txt"));
}

} // namespace
} // namespace quenlith
