// The real-world documents of the corpus folder, written outside this project, against the
// answers of an independent reference in its expected.tsv.
#include "extract/pdf/Document.h"
#include "extract/pdf/InvoiceXmlReader.h"
#include "tests/support/FileContents.h"
#include "tests/support/FileDigest.h"
#include "tests/support/OpenedDocument.h"
#include "tests/support/ScratchFolder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <variant>

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
        auto opened = Document::open(path, "");
        if (columns[1] != "ok") {
            const auto *failure = std::get_if<OpenFailure>(&opened);
            ASSERT_NE(failure, nullptr);
            EXPECT_EQ(failure->reason == OpenFailure::Reason::NeedsPassword, locked);
            EXPECT_EQ(failure->text == "needs a password", locked) << failure->text;
            if (!locked)
                continue;
            opened = fixtures::openDocument(path, passwords.at(columns[0]));
            ASSERT_FALSE(std::get<Document>(opened).attachments().empty());
        } else {
            ASSERT_TRUE(std::holds_alternative<Document>(opened))
                << std::get<OpenFailure>(opened).text;
            // The reference counts the name tree and annotations, without the platform variants
            // of a file; associated files come after.
            int referenced = 0;
            for (const Attachment &listed : std::get<Document>(opened).attachments())
                referenced += listed.origin != Attachment::Origin::AssociatedFile
                    && listed.platform.empty();
            ASSERT_EQ(std::to_string(referenced), columns[2]);
        }
        const Document &pdf = std::get<Document>(opened);
        const auto names = split(columns[3], '|');
        const auto sha256 = split(columns[4], '|');
        const fixtures::ScratchFolder out;
        for (const Attachment &listed : pdf.attachments()) {
            const auto target = out.file(std::to_string(listed.position));
            WriteRequest request;
            request.path = target;
            const WriteResult result = write(pdf, listed, request);
            if (!listed.platform.empty())
                continue; // beyond the reference (and in the corpus declaring the /F's /Size)
            EXPECT_EQ(result.status, WriteStatus::Written)
                << listed.position << ": " << result.reason;
            EXPECT_EQ(result.bytes, std::filesystem::file_size(target));
            if (locked || listed.origin == Attachment::Origin::AssociatedFile)
                continue;
            const auto k = static_cast<std::size_t>(listed.position - 1);
            auto name = listed.name;
            std::replace(name.begin(), name.end(), '|', '/');
            EXPECT_EQ(name, k < names.size() ? names[k] : "") << listed.position;
            EXPECT_EQ(fixtures::sha256OfFile(target), sha256.at(k)) << listed.position;
        }
        const std::filesystem::directory_iterator entries(out.path());
        EXPECT_EQ(static_cast<std::size_t>(std::distance(begin(entries), end(entries))),
            pdf.attachments().size());
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
    const Document pdf = fixtures::openDocument(path.string());
    ASSERT_EQ(pdf.attachments().size(), 2u);
    for (const Attachment &info : pdf.attachments()) {
        EXPECT_EQ(info.name, "PDF" + std::to_string(info.position) + ".pdf");
        EXPECT_EQ(info.origin, Attachment::Origin::Names);
        EXPECT_TRUE(info.folderPath.empty());
    }
    EXPECT_EQ(pdf.warnings(), std::vector<std::string> {});
}

// The real e-invoices of the corpus: each declaration is recognised and matched to the
// attachment that holds it, whose XML, written out and read again, says what the listing read;
// every other document of the corpus declares none.
TEST(Corpus, RecognisesTheRealInvoices)
{
    const std::filesystem::path corpus(QUENLITH_CORPUS_DIR);
    if (!std::filesystem::exists(corpus / "expected.tsv"))
        GTEST_SKIP() << "no corpus at " << corpus;
    struct Expected {
        const char *standard;
        const char *profile;
        const char *fileName;
        int index; // 0: not among the attachments
    };
    const std::map<std::string, Expected> invoices = {
        { "ZUGFeRD-csharp__EN16931_Betriebskostenabrechnung.pdf",
            { "Factur-X", "EN 16931", "factur-x.xml", 2 } },
        { "ZUGFeRD-csharp__Extended_einfach_Bau__1_Abschlagsrechnung_fx.pdf",
            { "Factur-X", "EXTENDED", "factur-x.xml", 2 } },
        { "ZUGFeRD-csharp__ORDER-X_EX08_RESPONSE_A&R_NO_CHANGE-BASIC.pdf",
            { "Order-X", "BASIC", "order-x.xml", 1 } },
        { "ZUGFeRD-csharp__XRECHNUNG_Einfach.pdf",
            { "ZUGFeRD 2.1", "XRECHNUNG", "xrechnung.xml", 1 } },
        { "ZUGFeRD-csharp__ZUGFeRD_1p0_COMFORT_Kraftfahrversicherung_Bruttopreise.pdf",
            { "ZUGFeRD 1.0", "COMFORT", "ZUGFeRD-invoice.xml", 1 } },
        { "ZUGFeRD-csharp__zugferd_2p0_EN16931_Reisekostenabrechnung.pdf",
            { "ZUGFeRD 2.0", "EN 16931", "zugferd-invoice.xml", 3 } },
        { "ZUGFeRD-csharp__zugferd_2p0_MINIMUM.pdf",
            { "ZUGFeRD 2.0", "MINIMUM", "zugferd-invoice.xml", 1 } },
        { "factur-x__invoice_EN16931.pdf", { "Factur-X", "EN 16931", "factur-x.xml", 2 } },
        { "mustangproject__103767-Invoice-2026-03-24-1.pdf",
            { "Factur-X", "EN 16931", "factur-x.xml", 1 } },
        { "mustangproject__EN16931_Einfach.pdf", { "Factur-X", "EN 16931", "factur-x.xml", 1 } },
        { "mustangproject__MustangGnuaccountingBeispielRE-20170509_505.pdf",
            { "ZUGFeRD 1.0", "BASIC", "ZUGFeRD-invoice.xml", 1 } },
        { "mustangproject__ORDER-X_EX01_ORDER_FULL_DATA-COMFORT.pdf",
            { "Order-X", "COMFORT", "order-x.xml", 1 } },
        // Its name tree is lost to the damage; the catalog's /AF still holds the invoice.
        { "mustangproject__corruptedV2PDF.pdf", { "Factur-X", "EN 16931", "factur-x.xml", 1 } },
        { "mustangproject__invalidXMP.pdf", { "Factur-X", "no thing", "factur-x.xml", 2 } },
        { "mustangproject__validAvoir_FR_type380_BASICWL.pdf",
            { "Factur-X", "BASIC WL", "factur-x.xml", 1 } },
        // Its additional-data schema names a second file, which is no invoice.
        { "mustangproject__validV1WithAdditionalData.pdf",
            { "ZUGFeRD 1.0", "EXTENDED", "ZUGFeRD-invoice.xml", 1 } },
        { "mustangproject__validXRechnung.pdf", { "ZUGFeRD 2.1", "XRECHNUNG", "factur-x.xml", 1 } },
        { "mustangproject__zugferd_invoice.pdf",
            { "ZUGFeRD 1.0", "BASIC", "ZUGFeRD-invoice.xml", 1 } },
        { "zugferd__pdf_fx_extended_1.pdf", { "Factur-X", "EXTENDED", "factur-x.xml", 1 } },
        { "zugferd__pdf_fx_minimum_1.pdf", { "Factur-X", "MINIMUM", "factur-x.xml", 1 } },
        { "zugferd__pdf_zf_xrechnung_1.pdf", { "ZUGFeRD 2.1", "XRECHNUNG", "xrechnung.xml", 1 } },
    };
    std::size_t recognised = 0;
    fixtures::ScratchFolder scratch;
    for (const auto &entry : std::filesystem::directory_iterator(corpus)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".pdf")
            continue;
        SCOPED_TRACE(name);
        auto opened = Document::open(entry.path().string(), "");
        if (!std::holds_alternative<Document>(opened))
            continue;
        const Document &pdf = std::get<Document>(opened);
        const InvoiceInfo info = pdf.invoice();
        const auto expected = invoices.find(name);
        if (expected == invoices.end()) {
            EXPECT_FALSE(info.declared) << info.standard;
            continue;
        }
        ++recognised;
        EXPECT_EQ(info.standard, expected->second.standard);
        EXPECT_EQ(info.profile, expected->second.profile);
        EXPECT_EQ(info.fileName, expected->second.fileName);
        EXPECT_EQ(info.index, expected->second.index);
        EXPECT_EQ(info.present, expected->second.index > 0);
        ASSERT_NE(pdf.at(info.index), nullptr);
        EXPECT_EQ(pdf.at(info.index)->name, expected->second.fileName);
        const std::string written = (scratch.path() / "invoice.xml").string();
        ASSERT_EQ(fixtures::writeAttachment(pdf, info.index, written).status, WriteStatus::Written);
        const InvoiceContent xml = readInvoiceXml(fixtures::readFile(written));
        EXPECT_EQ(info.content.number + "|" + info.content.issueDate + "|" + info.content.currency
                + "|" + info.content.grandTotal,
            xml.number + "|" + xml.issueDate + "|" + xml.currency + "|" + xml.grandTotal);
        EXPECT_TRUE(info.standard == "Order-X"
            || (!xml.number.empty() && xml.issueDate.size() == 10 && !xml.currency.empty()
                && !xml.grandTotal.empty()))
            << xml.number << "|" << xml.issueDate << "|" << xml.currency << "|" << xml.grandTotal;
    }
    EXPECT_EQ(recognised, invoices.size());
}

} // namespace
} // namespace quenlith
