// The real-world documents of the corpus folder, written outside this project, against the
// answers of an independent reference in its expected.tsv.
#include "extract/PdfLibrary.h"
#include "tests/support/FileDigest.h"
#include "tests/support/ScratchFolder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace quenlith {
namespace {

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);)
        parts.push_back(part);
    return parts;
}

// For every document: status, count, names (a '|' inside a name shows as '/') and the SHA-256 of
// every attachment written, no temporary file left beside them. The documents that need a
// password open with the one the corpus README gives.
TEST(Corpus, MatchesTheReference)
{
    const std::filesystem::path corpus(QUENLITH_CORPUS_DIR);
    const std::map<std::string, std::string> passwords = {
        { "pdf.js__auth-event-ef-open.pdf", "000000" },
        { "qpdf__nontrivial-crypt-filter.pdf", "asdfqwer" },
        { "qpdf__enc-XI-R6,V5,U=attachment,encrypted-attachments.pdf", "attachment" },
        { "qpdf__enc-XI-R6,V5,U=view,attachments,cleartext-metadata.pdf", "view" },
    };
    constexpr int opened = static_cast<int>(OpenStatus::Opened);
    constexpr int needsPassword = static_cast<int>(OpenStatus::NeedsPassword);
    std::ifstream table(corpus / "expected.tsv");
    if (!table)
        GTEST_SKIP() << "no corpus at " << corpus;
    std::string line;
    std::getline(table, line); // file, status, count, names, sha256, ...
    int documents = 0;
    for (; std::getline(table, line); ++documents) {
        const auto columns = split(line, '\t');
        ASSERT_GE(columns.size(), 5u) << line;
        SCOPED_TRACE(columns[0]);
        const auto path = (corpus / columns[0]).string();
        const bool locked = columns[1] == "needs-password";
        PdfLibrary pdf;
        const int status = pdf.OpenDocument(path, "");
        if (columns[1] != "ok") {
            EXPECT_NE(status, opened);
            EXPECT_EQ(status == needsPassword, locked);
            EXPECT_EQ(pdf.lastError() == "needs a password", locked) << pdf.lastError();
            EXPECT_FALSE(pdf.lastError().empty());
            EXPECT_EQ(pdf.AttachmentCount(), 0);
            if (!locked)
                continue;
            EXPECT_EQ(pdf.OpenDocument(path, "wrong"), needsPassword);
            ASSERT_EQ(pdf.OpenDocument(path, passwords.at(columns[0])), opened) << pdf.lastError();
            ASSERT_GT(pdf.AttachmentCount(), 0);
        } else {
            ASSERT_EQ(status, opened) << pdf.lastError();
            // The reference counts the name tree and annotations; associated files come after.
            int referenced = 0;
            while (referenced < pdf.AttachmentCount()
                && pdf.attachmentInfo(referenced + 1).origin != "af")
                ++referenced;
            ASSERT_EQ(std::to_string(referenced), columns[2]);
        }
        const auto names = split(columns[3], '|');
        const auto sha256 = split(columns[4], '|');
        const fixtures::ScratchFolder out;
        for (int i = 1; i <= pdf.AttachmentCount(); ++i) {
            const auto target = out.file(std::to_string(i));
            EXPECT_EQ(pdf.WriteAttachment(i, target), static_cast<int>(WriteStatus::Written))
                << i << ": " << pdf.lastError();
            EXPECT_EQ(pdf.lastWrittenBytes(), std::filesystem::file_size(target));
            if (locked || pdf.attachmentInfo(i).origin == "af")
                continue;
            const auto k = static_cast<std::size_t>(i - 1);
            auto name = pdf.AttachmentText(i, static_cast<int>(AttachmentTag::Name));
            std::replace(name.begin(), name.end(), '|', '/');
            EXPECT_EQ(name, k < names.size() ? names[k] : "") << i;
            EXPECT_EQ(fixtures::sha256OfFile(target), sha256.at(k)) << i;
        }
        const std::filesystem::directory_iterator entries(out.path());
        EXPECT_EQ(std::distance(begin(entries), end(entries)), pdf.AttachmentCount());
    }
    EXPECT_GE(documents, 60);
}

// The corpus's one portfolio has a /Collection without /Folders: its files stay at the top, as
// the reference lists them, and nothing is warned about.
TEST(Corpus, APortfolioWithoutFoldersListsItsFilesAtTheTop)
{
    const std::filesystem::path path
        = std::filesystem::path(QUENLITH_CORPUS_DIR) / "pdfbox__testPDFPackage.pdf";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "no corpus at " << path;
    PdfLibrary pdf;
    ASSERT_EQ(pdf.OpenDocument(path.string(), ""), static_cast<int>(OpenStatus::Opened));
    ASSERT_EQ(pdf.AttachmentCount(), 2);
    for (int i = 1; i <= 2; ++i) {
        const AttachmentInfo info = pdf.attachmentInfo(i);
        EXPECT_EQ(info.name, "PDF" + std::to_string(i) + ".pdf");
        EXPECT_EQ(info.origin, "names");
        EXPECT_TRUE(info.folderPath.empty());
    }
    EXPECT_EQ(pdf.warnings(), std::vector<std::string> {});
}

} // namespace
} // namespace quenlith
