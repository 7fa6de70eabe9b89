// The XMP scan for invoice declarations, on packets as writers make them and as attackers might.
#include "extract/InvoiceMetadata.h"

#include "tests/support/PdfFixtures.h"

#include <chrono>
#include <gtest/gtest.h>

namespace quenlith {
namespace {

using fixtures::invoiceXmp;

std::string description(const std::string &namespaces, const std::string &body)
{
    return "<?xpacket begin=\"\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
           "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
        + namespaces + ">" + body + "</rdf:Description></rdf:RDF></x:xmpmeta>";
}

std::string cutBefore(const std::string &text, const std::string &marker)
{
    return text.substr(0, text.find(marker));
}

struct DeclarationCase {
    const char *name;
    std::string xmp;
    // Of the first declaration; standard empty: none expected.
    std::string standard;
    std::string profile;
    std::string fileName;
    std::string version = "1.0";
    std::string documentType = "INVOICE";
};

TEST(InvoiceMetadata, ReadsEachStandardInEachForm)
{
    const std::string orderX = "urn:factur-x:pdfa:CrossIndustryDocument:1p0#";
    const std::string order = description("xmlns:fx=\"" + orderX + "\"",
        "<fx:DocumentType>ORDER_RESPONSE</fx:DocumentType>"
        "<fx:DocumentFileName>order-x.xml</fx:DocumentFileName>"
        "<fx:Version>1.0</fx:Version><fx:ConformanceLevel>BASIC</fx:ConformanceLevel>");
    const DeclarationCase cases[] = {
        { "factur-x elements",
            invoiceXmp("factur-x.xml", "EN 16931"),
            "Factur-X",
            "EN 16931",
            "factur-x.xml" },
        { "factur-x attributes",
            invoiceXmp("factur-x.xml", "BASIC WL", fixtures::facturXNamespace, "fx", true),
            "Factur-X",
            "BASIC WL",
            "factur-x.xml" },
        { "xrechnung on the factur-x schema",
            invoiceXmp("xrechnung.xml", "XRECHNUNG"),
            "ZUGFeRD 2.1",
            "XRECHNUNG",
            "xrechnung.xml" },
        { "zugferd 2.0",
            invoiceXmp("zugferd-invoice.xml", "MINIMUM", fixtures::zugferd2Namespace),
            "ZUGFeRD 2.0",
            "MINIMUM",
            "zugferd-invoice.xml" },
        { "zugferd 1.0 with its zf prefix, attributes",
            invoiceXmp("ZUGFeRD-invoice.xml", "COMFORT", fixtures::zugferd1Namespace, "zf", true),
            "ZUGFeRD 1.0",
            "COMFORT",
            "ZUGFeRD-invoice.xml" },
        { "any prefix the packet binds",
            invoiceXmp("factur-x.xml", "EXTENDED", fixtures::facturXNamespace, "inv"),
            "Factur-X",
            "EXTENDED",
            "factur-x.xml" },
        { "order-x", order, "Order-X", "BASIC", "order-x.xml", "1.0", "ORDER_RESPONSE" },
        { "order-x namespace",
            invoiceXmp(
                "order-x.xml", "COMFORT", "urn:factur-x:pdfa:CrossIndustryDocument:order:1p0#"),
            "Order-X",
            "COMFORT",
            "order-x.xml" },
        { "levels in other spellings",
            invoiceXmp("factur-x.xml", " en16931 "),
            "Factur-X",
            "EN 16931",
            "factur-x.xml" },
        { "an unknown level as declared",
            invoiceXmp("factur-x.xml", "no thing"),
            "Factur-X",
            "no thing",
            "factur-x.xml" },
        { "entities and character references",
            invoiceXmp("a&amp;b&#x20;&#99;&lt;&bogus;.xml", "BASIC"),
            "Factur-X",
            "BASIC",
            "a&b c<&bogus;.xml" },
        { "CDATA, comments and single quotes",
            description("xmlns:fx='" + std::string(fixtures::facturXNamespace) + "'",
                "<!-- <fx:DocumentFileName>no.xml</fx:DocumentFileName> -->"
                "<fx:DocumentFileName><![CDATA[x&amp;.xml]]></fx:DocumentFileName>"),
            "Factur-X",
            "",
            "x&amp;.xml",
            "",
            "" },
        { "a default namespace",
            description("",
                "<DocumentFileName xmlns=\"" + std::string(fixtures::facturXNamespace)
                    + "\">factur-x.xml</DocumentFileName>"),
            "Factur-X",
            "",
            "factur-x.xml",
            "",
            "" },
        // The extension schema's description names the properties as text, not as properties.
        { "the schema description alone",
            description("xmlns:pdfaSchema=\"http://www.aiim.org/pdfa/ns/schema#\"",
                "<pdfaSchema:namespaceURI>" + std::string(fixtures::facturXNamespace)
                    + "</pdfaSchema:namespaceURI><pdfaSchema:prefix>fx</pdfaSchema:prefix>"
                      "<pdfaProperty:name>DocumentFileName</pdfaProperty:name>"),
            "",
            "",
            "" },
        { "a prefix bound to another namespace",
            invoiceXmp("additional.xml", "BASIC", "urn:ferd:pdfa:AdditionalData:1p0#", "fx"),
            "",
            "",
            "" },
        { "a prefix bound to nothing",
            description("", "<fx:DocumentFileName>factur-x.xml</fx:DocumentFileName>"),
            "",
            "",
            "" },
        { "a binding out of scope",
            description("",
                "<a xmlns:fx=\"" + std::string(fixtures::facturXNamespace)
                    + "\"/><fx:DocumentFileName>factur-x.xml</fx:DocumentFileName>"),
            "",
            "",
            "" },
        { "a property holding elements",
            description("xmlns:fx=\"" + std::string(fixtures::facturXNamespace) + "\"",
                "<fx:DocumentFileName><rdf:Alt>x.xml</rdf:Alt></fx:DocumentFileName>"),
            "",
            "",
            "" },
        { "utf-16 big-endian",
            fixtures::utf16be(invoiceXmp("fäctur-x.xml", "BASIC")),
            "Factur-X",
            "BASIC",
            "fäctur-x.xml" },
        { "utf-16 little-endian",
            fixtures::utf16le(invoiceXmp("factur-x.xml", "MINIMUM")),
            "Factur-X",
            "MINIMUM",
            "factur-x.xml" },
        { "unterminated after the file name",
            cutBefore(invoiceXmp("factur-x.xml", "BASIC"), "<fx:Version>") + "<fx:Version a=\"",
            "Factur-X",
            "",
            "factur-x.xml",
            "",
            "INVOICE" },
        { "not XML", std::string(1000, '<') + "\x01\xff&#;&", "", "", "" },
        { "empty", "", "", "", "" },
    };
    for (const DeclarationCase &c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<InvoiceInfo> found = readInvoiceDeclarations(c.xmp);
        if (c.standard.empty()) {
            EXPECT_TRUE(found.empty());
            continue;
        }
        ASSERT_FALSE(found.empty());
        const InvoiceInfo &info = found.front();
        EXPECT_TRUE(info.declared);
        EXPECT_EQ(info.standard, c.standard);
        EXPECT_EQ(info.profile, c.profile);
        EXPECT_EQ(info.fileName, c.fileName);
        EXPECT_EQ(info.version, c.version);
        EXPECT_EQ(info.documentType, c.documentType);
        EXPECT_FALSE(info.present);
    }
}

// A packet that moves from ZUGFeRD 1 to Factur-X declares both; each schema is its own
// declaration, and the first value of each property counts.
TEST(InvoiceMetadata, KeepsSchemasApartAndTheirFirstValues)
{
    const std::string xmp = description("xmlns:zf=\"" + std::string(fixtures::zugferd1Namespace)
            + "\" xmlns:fx=\"" + fixtures::facturXNamespace + "\" zf:ConformanceLevel=\"BASIC\"",
        "<zf:DocumentFileName>ZUGFeRD-invoice.xml</zf:DocumentFileName>"
        "<fx:DocumentFileName>factur-x.xml</fx:DocumentFileName>"
        "<fx:DocumentFileName>second.xml</fx:DocumentFileName>");
    const auto found = readInvoiceDeclarations(xmp);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].standard, "ZUGFeRD 1.0");
    EXPECT_EQ(found[0].profile, "BASIC");
    EXPECT_EQ(found[0].fileName, "ZUGFeRD-invoice.xml");
    EXPECT_EQ(found[1].standard, "Factur-X");
    EXPECT_EQ(found[1].fileName, "factur-x.xml");
}

// Hostile packets end quickly, without recursion, and bounded.
TEST(InvoiceMetadata, HostilePacketsEndQuicklyAndBounded)
{
    const std::string ns = std::string("xmlns:fx=\"") + fixtures::facturXNamespace + "\"";
    std::string deep = "<a " + ns + ">";
    for (int i = 0; i < 200000; ++i)
        deep += "<a>";
    const std::string huge = description(
        ns, "<fx:DocumentFileName>" + std::string(2 << 20, 'x') + "</fx:DocumentFileName>");
    std::string versions;
    for (int i = 0; i < 100000; ++i)
        versions += "<fx:Version>" + std::to_string(i) + "</fx:Version>";
    const std::string many = description(ns, versions);
    // Many bindings in scope, then many properties to resolve against them.
    std::string bindings;
    for (int i = 0; i < 20000; ++i)
        bindings += " xmlns:n" + std::to_string(i) + "=\"urn:n\"";
    std::string properties;
    for (int i = 0; i < 100000; ++i)
        properties += "<fx:Version>1</fx:Version>";
    const std::string crowded = description(ns + bindings, properties);
    const std::string tooLarge
        = invoiceXmp("factur-x.xml", "BASIC") + std::string(maxXmpPacketBytes, ' ');

    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(
        readInvoiceDeclarations(deep + "<fx:DocumentFileName>x</fx:DocumentFileName>").empty());
    const auto longName = readInvoiceDeclarations(huge);
    ASSERT_EQ(longName.size(), 1u);
    EXPECT_LE(longName[0].fileName.size(), 1024u);
    const auto first = readInvoiceDeclarations(many);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].version, "0");
    EXPECT_TRUE(readInvoiceDeclarations(tooLarge).empty());
    EXPECT_TRUE(readInvoiceDeclarations(crowded).empty());
    EXPECT_TRUE(readInvoiceDeclarations(std::string(1 << 20, '\0')).empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(InvoiceMetadata, AttachmentFitPrefersTheNamedFileWithItsRelationship)
{
    struct {
        const char *name;
        const char *relation;
        int fit;
    } const rows[] = {
        { "factur-x.xml", "Alternative", 3 },
        { "factur-x.xml", "Data", 3 },
        { "factur-x.xml", "Source", 3 },
        { "factur-x.xml", "Supplement", 2 },
        { "factur-x.xml", "", 2 },
        { "Factur-X.XML", "Alternative", 1 },
        { "factur-x.xml.pdf", "Alternative", 0 },
        { "", "", 0 },
    };
    for (const auto &row : rows)
        EXPECT_EQ(invoiceAttachmentFit("factur-x.xml", row.name, row.relation), row.fit)
            << row.name << " " << row.relation;
    EXPECT_EQ(invoiceAttachmentFit("", "", "Alternative"), 0);
}

} // namespace
} // namespace quenlith
