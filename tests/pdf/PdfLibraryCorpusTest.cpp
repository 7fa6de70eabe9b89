// The real-world documents of the corpus folder, written outside this project, against the
// answers of an independent reference in its expected.tsv.
#include "extract/PdfLibrary.h"
#include "tests/support/FileDigest.h"
#include "tests/support/ScratchFolder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace quenlith {
namespace {

struct CorpusRow {
    std::string file;
    std::string status; // ok, needs-password or open-failed
    int count = 0;
    std::vector<std::string> names;
    std::vector<std::string> sha256;
};

std::filesystem::path corpusDir()
{
    return std::filesystem::path(QUENLITH_CORPUS_DIR);
}

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    if (!text.empty() && text.back() == separator)
        parts.emplace_back();
    return parts;
}

std::vector<CorpusRow> loadRows()
{
    std::vector<CorpusRow> rows;
    std::ifstream in(corpusDir() / "expected.tsv");
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        auto columns = split(line, '\t');
        if (columns.size() < 5)
            continue;
        CorpusRow row;
        row.file = columns[0];
        row.status = columns[1];
        row.count = std::stoi(columns[2]);
        if (row.count > 0) {
            row.names = split(columns[3], '|');
            row.sha256 = split(columns[4], '|');
        }
        rows.push_back(row);
    }
    return rows;
}

std::string testName(const testing::TestParamInfo<CorpusRow> &info)
{
    std::string name = std::to_string(info.index) + "_";
    for (char c : info.param.file)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

class CorpusDocument : public testing::TestWithParam<CorpusRow> { };

TEST_P(CorpusDocument, MatchesReference)
{
    const auto &row = GetParam();
    const auto path = (corpusDir() / row.file).string();
    PdfLibrary pdf;
    const int status = pdf.OpenDocument(path, "");
    if (row.status == "needs-password") {
        EXPECT_EQ(status, static_cast<int>(OpenStatus::NeedsPassword));
        EXPECT_EQ(pdf.lastError(), "needs a password");
        EXPECT_EQ(pdf.AttachmentCount(), 0);
        return;
    }
    if (row.status == "open-failed") {
        EXPECT_NE(status, static_cast<int>(OpenStatus::Opened));
        EXPECT_FALSE(pdf.lastError().empty());
        EXPECT_EQ(pdf.AttachmentCount(), 0);
        return;
    }
    ASSERT_EQ(status, static_cast<int>(OpenStatus::Opened)) << pdf.lastError();
    ASSERT_EQ(pdf.AttachmentCount(), row.count);
    fixtures::ScratchFolder out;
    for (int i = 1; i <= row.count; ++i) {
        const auto k = static_cast<std::size_t>(i - 1);
        std::string name = pdf.AttachmentText(i, static_cast<int>(AttachmentTag::Name));
        std::replace(name.begin(), name.end(), '|', '/'); // as expected.tsv shows it
        ASSERT_LT(k, row.names.size());
        EXPECT_EQ(name, row.names[k]) << "attachment " << i;
        const auto target = out.file("attachment-" + std::to_string(i));
        EXPECT_EQ(pdf.WriteAttachment(i, target), static_cast<int>(WriteStatus::Written))
            << "attachment " << i << ": " << pdf.lastError();
        ASSERT_LT(k, row.sha256.size());
        EXPECT_EQ(fixtures::sha256OfFile(target), row.sha256[k]) << "attachment " << i;
        EXPECT_EQ(pdf.lastWrittenBytes(), std::filesystem::file_size(target));
    }
    // Only the written attachments are there: no temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.path()),
                  std::filesystem::directory_iterator()),
        row.count);
}

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusDocument);
INSTANTIATE_TEST_SUITE_P(Corpus, CorpusDocument, testing::ValuesIn(loadRows()), testName);

TEST(Corpus, IsPresent)
{
    if (!std::filesystem::exists(corpusDir() / "expected.tsv"))
        GTEST_SKIP() << "no corpus at " << corpusDir();
    EXPECT_GE(loadRows().size(), 60u);
}

// The passwords the corpus README gives open the documents that need one.
TEST(Corpus, PasswordsOpenEncryptedDocuments)
{
    if (!std::filesystem::exists(corpusDir() / "expected.tsv"))
        GTEST_SKIP() << "no corpus at " << corpusDir();
    const std::vector<std::pair<std::string, std::string>> documents = {
        { "pdf.js__auth-event-ef-open.pdf", "000000" },
        { "qpdf__nontrivial-crypt-filter.pdf", "asdfqwer" },
        { "qpdf__enc-XI-R6,V5,U=attachment,encrypted-attachments.pdf", "attachment" },
        { "qpdf__enc-XI-R6,V5,U=view,attachments,cleartext-metadata.pdf", "view" },
    };
    for (const auto &[file, password] : documents) {
        SCOPED_TRACE(file);
        const auto path = (corpusDir() / file).string();
        PdfLibrary pdf;
        EXPECT_EQ(pdf.OpenDocument(path, "wrong"), static_cast<int>(OpenStatus::NeedsPassword));
        ASSERT_EQ(pdf.OpenDocument(path, password), static_cast<int>(OpenStatus::Opened))
            << pdf.lastError();
        ASSERT_GT(pdf.AttachmentCount(), 0);
        fixtures::ScratchFolder out;
        for (int i = 1; i <= pdf.AttachmentCount(); ++i) {
            EXPECT_EQ(pdf.WriteAttachment(i, out.file(std::to_string(i))),
                static_cast<int>(WriteStatus::Written))
                << pdf.lastError();
        }
    }
}

} // namespace
} // namespace quenlith
