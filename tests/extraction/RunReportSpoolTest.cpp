#include "extract/report/RunReport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace quenlith {
namespace {

namespace fs = std::filesystem;

std::string contentsOf(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<DocumentResult> sampleDocuments(std::size_t count)
{
    std::vector<DocumentResult> documents(count);
    for (std::size_t i = 0; i < documents.size(); ++i) {
        DocumentResult &document = documents[i];
        document.documentPath = "/in/doc" + std::to_string(i) + ".pdf";
        document.documentFolder = "/out/doc" + std::to_string(i) + "/";
        document.processed = true;
        document.count = static_cast<int>(i % 4);
        for (int k = 1; k <= document.count; ++k) {
            AttachmentOutcome outcome;
            outcome.kind
                = k == 2 ? AttachmentOutcome::Kind::Failed : AttachmentOutcome::Kind::Written;
            outcome.index = k;
            outcome.storedName = "a,\"" + std::to_string(k) + "\".xml";
            outcome.reason = k == 2 ? "No space left on device" : "";
            outcome.bytes = 100U * static_cast<unsigned>(k);
            document.attachments.push_back(outcome);
        }
    }
    documents[0].openReason = "not a PDF document";
    return documents;
}

// The report saved from the spool is byte for byte the one written from the whole run, in both
// formats, however often it is saved, also when the documents come faster than the spool's
// writer takes them; nothing of the spool stays in the temporary folder.
TEST(RunReportSpool, SavesWhatTheWholeRunWouldGive)
{
    const fs::path folder
        = fs::temp_directory_path() / ("quenlith-spool-test-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const auto spoolsInTemp = [] {
        int count = 0;
        for (const auto &entry : fs::directory_iterator(fs::temp_directory_path()))
            count += entry.path().filename().string().starts_with("quenlith-report-") ? 1 : 0;
        return count;
    };
    const int spoolsBefore = spoolsInTemp();

    RunRecord run;
    run.program = "quenlith";
    run.outputFolder = "/out/";
    run.documents = sampleDocuments(1000);
    std::string error;
    {
        RunReportSpool spool;
        ASSERT_TRUE(spool.open(run, error)) << error;
        EXPECT_EQ(spoolsInTemp(), spoolsBefore); // unlinked while open
        for (const DocumentResult &document : run.documents)
            spool.add(document);
        EXPECT_EQ(spool.totals().failed, totalsOf(run.documents).failed);
        for (const ReportFormat format :
            { ReportFormat::Json, ReportFormat::Csv, ReportFormat::Json }) {
            const fs::path expected = folder / "expected";
            const fs::path saved = folder / "saved";
            ASSERT_TRUE(saveRunReport(expected.string(), run, format, error)) << error;
            ASSERT_TRUE(spool.save(saved.string(), format, error)) << error;
            EXPECT_EQ(contentsOf(saved), contentsOf(expected));
        }
        EXPECT_FALSE(
            spool.save((folder / "missing" / "report.json").string(), ReportFormat::Json, error));
        EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
    }
    EXPECT_EQ(spoolsInTemp(), spoolsBefore);
    fs::remove_all(folder);
}

} // namespace
} // namespace quenlith
