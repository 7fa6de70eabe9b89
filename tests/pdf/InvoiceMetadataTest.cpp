// The XMP scan for invoice declarations, on packets as writers make them and as attackers might.
#include "extract/pdf/InvoiceMetadata.h"

#include "tests/support/PdfFixtures.h"

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

// Each case expects "standard|profile|fileName|version|documentType" of the first declaration,
// or "" for none.
TEST(InvoiceMetadata, ReadsEachStandardInEachForm)
{
    const std::string fx = fixtures::facturXNamespace;
    const std::string order
        = description("xmlns:fx=\"urn:factur-x:pdfa:CrossIndustryDocument:1p0#\"",
            "<fx:DocumentType>ORDER_RESPONSE</fx:DocumentType>"
            "<fx:DocumentFileName>order-x.xml</fx:DocumentFileName>"
            "<fx:Version>1.0</fx:Version><fx:ConformanceLevel>BASIC</fx:ConformanceLevel>");
    const std::pair<std::string, std::string> cases[] = {
        { invoiceXmp("factur-x.xml", "EN 16931"), "Factur-X|EN 16931|factur-x.xml|1.0|INVOICE" },
        { invoiceXmp("xrechnung.xml", "XRECHNUNG"),
            "ZUGFeRD 2.1|XRECHNUNG|xrechnung.xml|1.0|INVOICE" },
        { invoiceXmp("z.xml", "MINIMUM", fixtures::zugferd2Namespace),
            "ZUGFeRD 2.0|MINIMUM|z.xml|1.0|INVOICE" },
        { invoiceXmp("Z.xml", "COMFORT", fixtures::zugferd1Namespace, "zf", true), // attributes
            "ZUGFeRD 1.0|COMFORT|Z.xml|1.0|INVOICE" },
        { invoiceXmp("f.xml", "EXTENDED", fx, "inv"), "Factur-X|EXTENDED|f.xml|1.0|INVOICE" },
        { order, "Order-X|BASIC|order-x.xml|1.0|ORDER_RESPONSE" },
        { invoiceXmp("o.xml", "COMFORT", "urn:factur-x:pdfa:CrossIndustryDocument:order:1p0#"),
            "Order-X|COMFORT|o.xml|1.0|INVOICE" },
        { invoiceXmp("f.xml", " en16931 "), "Factur-X|EN 16931|f.xml|1.0|INVOICE" },
        { invoiceXmp("f.xml", "basic wl", fx, "fx", true), "Factur-X|BASIC WL|f.xml|1.0|INVOICE" },
        { invoiceXmp("f.xml", "no thing"), "Factur-X|no thing|f.xml|1.0|INVOICE" },
        { invoiceXmp("a&amp;b&#x20;&#99;&lt;&bogus;.xml", "BASIC"),
            "Factur-X|BASIC|a&b c<&bogus;.xml|1.0|INVOICE" },
        { description("xmlns:fx='" + fx + "'",
              "<!-- <fx:DocumentFileName>no.xml</fx:DocumentFileName> -->"
              "<fx:DocumentFileName><![CDATA[x&amp;.xml]]></fx:DocumentFileName>"),
            "Factur-X||x&amp;.xml||" },
        { description("", "<DocumentFileName xmlns=\"" + fx + "\">f.xml</DocumentFileName>"),
            "Factur-X||f.xml||" },
        // The extension schema's description names the properties as text, not as properties.
        { description("xmlns:pdfaSchema=\"http://www.aiim.org/pdfa/ns/schema#\"",
              "<pdfaSchema:namespaceURI>" + fx
                  + "</pdfaSchema:namespaceURI><pdfaSchema:prefix>fx</pdfaSchema:prefix>"
                    "<pdfaProperty:name>DocumentFileName</pdfaProperty:name>"),
            "" },
        { invoiceXmp("additional.xml", "BASIC", "urn:ferd:pdfa:AdditionalData:1p0#", "fx"), "" },
        { description("", "<fx:DocumentFileName>f.xml</fx:DocumentFileName>"), "" },
        { description(
              "", "<a xmlns:fx=\"" + fx + "\"/><fx:DocumentFileName>f.xml</fx:DocumentFileName>"),
            "" }, // a binding out of scope
        { description("xmlns:fx=\"" + fx + "\"",
              "<fx:DocumentFileName><rdf:Alt>x.xml</rdf:Alt></fx:DocumentFileName>"),
            "" },
        { fixtures::utf16be(invoiceXmp("fä.xml", "BASIC")), "Factur-X|BASIC|fä.xml|1.0|INVOICE" },
        { fixtures::utf16le(invoiceXmp("f.xml", "MINIMUM")), "Factur-X|MINIMUM|f.xml|1.0|INVOICE" },
        { cutBefore(invoiceXmp("f.xml", "BASIC"), "<fx:Version>") + "<fx:Version a=\"",
            "Factur-X||f.xml||INVOICE" }, // unterminated
        { std::string(1000, '<') + "\x01\xff&#;&", "" },
        { "", "" },
    };
    for (const auto &[xmp, expected] : cases) {
        const std::vector<InvoiceInfo> found = readInvoiceDeclarations(xmp);
        std::string seen;
        if (!found.empty()) {
            const InvoiceInfo &i = found.front();
            EXPECT_TRUE(i.declared && !i.present);
            seen = i.standard + "|" + i.profile + "|" + i.fileName + "|" + i.version + "|"
                + i.documentType;
        }
        EXPECT_EQ(seen, expected);
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
}

TEST(InvoiceMetadata, AttachmentFitPrefersTheNamedFileWithItsRelationship)
{
    struct {
        const char *name;
        const char *relation;
        int fit;
    } const rows[] = {
        { "factur-x.xml", "Alternative", 3 },
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
