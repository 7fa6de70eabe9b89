#include "extract/pdf/InvoiceXmlReader.h"

#include <array>

namespace quenlith {

// A value of InvoiceContent and where a syntax keeps it, below the root. A fallback counts only
// when the document lacks the first choice.
struct InvoiceXmlReader::Field {
    std::string_view path;
    std::string InvoiceContent::*member;
    bool fallback = false;
};

namespace {

using Field = InvoiceXmlReader::Field;

constexpr std::size_t maxValueBytes = 1024;
constexpr int maxInvoiceDepth = 256;

// CII dates are "20241115" (format 102); anything else stays as given.
std::string isoDate(const std::string &date)
{
    if (date.size() != 8 || date.find_first_not_of("0123456789") != std::string::npos)
        return date;
    const int month = std::stoi(date.substr(4, 2));
    const int day = std::stoi(date.substr(6, 2));
    if (month < 1 || month > 12 || day < 1 || day > 31)
        return date;
    return date.substr(0, 4) + "-" + date.substr(4, 2) + "-" + date.substr(6, 2);
}

} // namespace

InvoiceXmlReader::InvoiceXmlReader()
    : m_reader(*this, { maxInvoiceXmlBytes, maxInvoiceDepth })
{
}

bool InvoiceXmlReader::feed(const char *data, std::size_t size)
{
    return m_reader.feed(data, size);
}

bool InvoiceXmlReader::finish()
{
    if (m_stopped || !m_reader.finish() || m_fields == nullptr) {
        m_content = {};
        return false;
    }
    m_content.issueDate = isoDate(m_content.issueDate);
    for (std::string InvoiceContent::*member :
        { &InvoiceContent::seller, &InvoiceContent::buyer }) {
        if ((m_content.*member).empty())
            m_content.*member = std::move(m_fallback.*member);
    }
    return true;
}

namespace {

struct Root {
    std::string_view uri;
    std::string_view name;
    const char *syntax;
    const std::vector<Field> *fields;
};

// The invoice roots this reader knows, with where each keeps the values.
const std::array<Root, 4> &knownRoots()
{
    using C = InvoiceContent;
    static const std::vector<Field> cii = {
        { "ExchangedDocumentContext/GuidelineSpecifiedDocumentContextParameter/ID", &C::guideline },
        { "ExchangedDocument/ID", &C::number },
        { "ExchangedDocument/TypeCode", &C::typeCode },
        { "ExchangedDocument/IssueDateTime/DateTimeString", &C::issueDate },
        { "SupplyChainTradeTransaction/ApplicableHeaderTradeAgreement/SellerTradeParty/Name",
            &C::seller },
        { "SupplyChainTradeTransaction/ApplicableHeaderTradeAgreement/BuyerTradeParty/Name",
            &C::buyer },
        { "SupplyChainTradeTransaction/ApplicableHeaderTradeSettlement/InvoiceCurrencyCode",
            &C::currency },
        { "SupplyChainTradeTransaction/ApplicableHeaderTradeSettlement/"
          "SpecifiedTradeSettlementHeaderMonetarySummation/GrandTotalAmount",
            &C::grandTotal },
        { "SupplyChainTradeTransaction/ApplicableHeaderTradeSettlement/"
          "SpecifiedTradeSettlementHeaderMonetarySummation/DuePayableAmount",
            &C::duePayable },
    };
    static const std::vector<Field> zugferd1 = {
        { "SpecifiedExchangedDocumentContext/GuidelineSpecifiedDocumentContextParameter/ID",
            &C::guideline },
        { "HeaderExchangedDocument/ID", &C::number },
        { "HeaderExchangedDocument/TypeCode", &C::typeCode },
        { "HeaderExchangedDocument/IssueDateTime/DateTimeString", &C::issueDate },
        { "SpecifiedSupplyChainTradeTransaction/ApplicableSupplyChainTradeAgreement/"
          "SellerTradeParty/Name",
            &C::seller },
        { "SpecifiedSupplyChainTradeTransaction/ApplicableSupplyChainTradeAgreement/"
          "BuyerTradeParty/Name",
            &C::buyer },
        { "SpecifiedSupplyChainTradeTransaction/ApplicableSupplyChainTradeSettlement/"
          "InvoiceCurrencyCode",
            &C::currency },
        { "SpecifiedSupplyChainTradeTransaction/ApplicableSupplyChainTradeSettlement/"
          "SpecifiedTradeSettlementMonetarySummation/GrandTotalAmount",
            &C::grandTotal },
        { "SpecifiedSupplyChainTradeTransaction/ApplicableSupplyChainTradeSettlement/"
          "SpecifiedTradeSettlementMonetarySummation/DuePayableAmount",
            &C::duePayable },
    };
    // Invoice and CreditNote differ only in the name of the type code.
    static const std::vector<Field> ubl = {
        { "CustomizationID", &C::guideline },
        { "ID", &C::number },
        { "InvoiceTypeCode", &C::typeCode },
        { "CreditNoteTypeCode", &C::typeCode },
        { "IssueDate", &C::issueDate },
        { "AccountingSupplierParty/Party/PartyLegalEntity/RegistrationName", &C::seller },
        { "AccountingSupplierParty/Party/PartyName/Name", &C::seller, true },
        { "AccountingCustomerParty/Party/PartyLegalEntity/RegistrationName", &C::buyer },
        { "AccountingCustomerParty/Party/PartyName/Name", &C::buyer, true },
        { "DocumentCurrencyCode", &C::currency },
        { "LegalMonetaryTotal/TaxInclusiveAmount", &C::grandTotal },
        { "LegalMonetaryTotal/PayableAmount", &C::duePayable },
    };
    static const std::array<Root, 4> roots { {
        { "urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100",
            "CrossIndustryInvoice",
            "CII",
            &cii },
        { "urn:ferd:CrossIndustryDocument:invoice:1p0",
            "CrossIndustryDocument",
            "ZUGFeRD 1.0 CII",
            &zugferd1 },
        { "urn:oasis:names:specification:ubl:schema:xsd:Invoice-2", "Invoice", "UBL", &ubl },
        { "urn:oasis:names:specification:ubl:schema:xsd:CreditNote-2", "CreditNote", "UBL", &ubl },
    } };
    return roots;
}

} // namespace

void InvoiceXmlReader::startElement(std::string_view uri, std::string_view local, const char **)
{
    m_pending = nullptr;
    if (m_fields == nullptr) {
        for (const Root &root : knownRoots()) {
            if (root.uri == uri && root.name == local) {
                m_fields = root.fields;
                m_content.syntax = root.syntax;
                m_pathLengths.push_back(0);
                return;
            }
        }
        m_stopped = true;
        m_reader.stop();
        return;
    }
    m_pathLengths.push_back(m_path.size());
    if (m_pathLengths.size() > 2)
        m_path += '/';
    m_path.append(local);
    for (const Field &field : *m_fields) {
        if (field.path != m_path)
            continue;
        std::string &value = field.fallback ? m_fallback.*field.member : m_content.*field.member;
        if (value.empty()) {
            m_pending = &value;
            m_text.clear();
        }
        return;
    }
}

void InvoiceXmlReader::endElement()
{
    if (m_pending != nullptr)
        *m_pending = trimmedXmlSpace(m_text);
    m_pending = nullptr;
    if (m_pathLengths.empty())
        return;
    m_path.resize(m_pathLengths.back());
    m_pathLengths.pop_back();
}

void InvoiceXmlReader::text(std::string_view text)
{
    if (m_pending != nullptr && m_text.size() < maxValueBytes)
        m_text.append(text.substr(0, maxValueBytes - m_text.size()));
}

InvoiceContent readInvoiceXml(std::string_view xml, std::string *error)
{
    InvoiceXmlReader reader;
    reader.feed(xml.data(), xml.size());
    const bool read = reader.finish();
    if (error != nullptr)
        *error = reader.error();
    return read ? reader.content() : InvoiceContent();
}

} // namespace quenlith
