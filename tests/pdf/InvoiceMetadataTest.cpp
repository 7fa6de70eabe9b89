// The XMP declarations and the invoice XML, on documents as writers make them and as attackers
// might.
#include "extract/pdf/InvoiceMetadata.h"

#include "extract/pdf/InvoiceXmlReader.h"
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
        { invoiceXmp("a&amp;b&#x20;&#99;&lt;.xml", "BASIC"),
            "Factur-X|BASIC|a&b c<.xml|1.0|INVOICE" },
        // Damaged: what was complete before the damage counts.
        { invoiceXmp("a&bogus;.xml", "BASIC"), "Factur-X||||INVOICE" },
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
        { description("xmlns:fx=\"" + fx + "\"",
              "<fx:DocumentFileName><rdf:Alt>x.xml</rdf:Alt></fx:DocumentFileName>"),
            "" },
        { fixtures::utf16be(invoiceXmp("fä.xml", "BASIC")), "Factur-X|BASIC|fä.xml|1.0|INVOICE" },
        { cutBefore(invoiceXmp("f.xml", "BASIC"), "<fx:Version>") + "<fx:Version a=\"",
            "Factur-X||f.xml||INVOICE" }, // unterminated
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

// Hostile XML ends quickly and bounded, in the metadata and in the invoice alike: nothing of the
// attack reaches a value.
TEST(InvoiceMetadata, HostileXmlEndsQuicklyAndBounded)
{
    const std::string invoice = fixtures::invoiceXml("CII", "urn:cen.eu:en16931:2017");
    const std::string xmp = invoiceXmp("471102", "BASIC");
    // `dtd` before the root element, `content` in place of the invoice number.
    const auto attack
        = [](std::string document, const std::string &dtd, const std::string &content) {
              const std::size_t root = document.find("<rsm:") != std::string::npos
                  ? document.find("<rsm:")
                  : document.find("<x:xmpmeta");
              document.insert(root, dtd);
              const std::size_t number = document.find("471102");
              return document.replace(number, 6, content);
          };
    std::string laughs = "<!DOCTYPE r [<!ENTITY a \"" + std::string(100, 'a') + "\">";
    for (char c = 'b'; c <= 'k'; ++c)
        laughs += std::string("<!ENTITY ") + c + " \"" + std::string(10, '&') + "\">";
    for (char c = 'b'; c <= 'k'; ++c) // each expands to ten of the one before
        laughs.replace(laughs.find("&&&&&&&&&&"), 10, [&] {
            std::string refs;
            for (int i = 0; i < 10; ++i)
                refs += std::string("&") + static_cast<char>(c - 1) + ";";
            return refs;
        }());
    laughs += "]>";
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    for (int i = 0; i < 100000; ++i)
        deep += "</a>";
    static const std::string text(maxInvoiceXmlBytes, 'x');
    const struct {
        const char *name;
        std::string dtd;
        std::string content;
        const char *error; // the start of the invoice reader's reason
    } rows[] = {
        { "entity expansion", laughs, "&k;", "declares entities" },
        { "external entity",
            "<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>",
            "&x;",
            "declares entities" },
        { "parameter entity",
            "<!DOCTYPE r [<!ENTITY % p SYSTEM \"http://127.0.0.1/p.dtd\"> %p;]>",
            "1",
            "declares entities" },
        { "100,000 elements deep", "", deep, "nested deeper than 256 elements" },
        { "64 MiB of text", "", text, "larger than 64 MiB" },
        { "invalid UTF-8", "", "47\xff\xfe", "not well-formed (invalid token)" },
        { "undefined entity", "", "&bogus;", "undefined entity" },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        std::string error;
        const InvoiceContent content
            = readInvoiceXml(attack(invoice, row.dtd, row.content), &error);
        EXPECT_EQ(content.syntax, "");
        EXPECT_EQ(error.substr(0, std::string_view(row.error).size()), row.error);
        for (const InvoiceInfo &declared :
            readInvoiceDeclarations(attack(xmp, row.dtd, row.content)))
            EXPECT_EQ(declared.fileName, "");
    }
    EXPECT_TRUE(readInvoiceDeclarations(invoiceXmp("f.xml", "BASIC") + text).empty());
    EXPECT_TRUE(readInvoiceDeclarations(std::string(1 << 20, '\0')).empty());
}

// What each syntax says, read by the same rules: "syntax|guideline|type|number|date|seller|buyer|
// currency|total|due".
TEST(InvoiceMetadata, ReadsEachInvoiceSyntax)
{
    const std::string en16931 = "urn:cen.eu:en16931:2017";
    const std::string xrechnung
        = "urn:cen.eu:en16931:2017#compliant#urn:xeinkauf.de:kosit:xrechnung_3.0";
    const std::string tail = "|471102|2024-11-15|Lieferant GmbH|Kunde AG|EUR|235.62|200.00";
    const std::pair<std::string, std::string> cases[] = {
        { fixtures::invoiceXml("CII", en16931), "CII|" + en16931 + "|380" + tail },
        { fixtures::invoiceXml("CII", xrechnung), "CII|" + xrechnung + "|380" + tail },
        { fixtures::invoiceXml(
              "ZUGFeRD 1.0 CII", "urn:ferd:CrossIndustryDocument:invoice:1p0:comfort"),
            "ZUGFeRD 1.0 CII|urn:ferd:CrossIndustryDocument:invoice:1p0:comfort|380" + tail },
        { fixtures::invoiceXml("UBL", xrechnung), "UBL|" + xrechnung + "|380" + tail },
        { fixtures::invoiceXml("UBL credit note", en16931), "UBL|" + en16931 + "|381" + tail },
        // An order, and an invoice root in another namespace, are no invoices.
        { "<SCRDMCCBDACIOMessageStructure "
          "xmlns=\"urn:un:unece:uncefact:data:SCRDMCCBDACIOMessageStructure:100\"/>",
            "|||||||||" },
        { "<Invoice xmlns=\"urn:other\"><ID>1</ID></Invoice>", "|||||||||" },
    };
    for (const auto &[xml, expected] : cases) {
        std::string error;
        const InvoiceContent c = readInvoiceXml(xml, &error);
        EXPECT_EQ(c.syntax + "|" + c.guideline + "|" + c.typeCode + "|" + c.number + "|"
                + c.issueDate + "|" + c.seller + "|" + c.buyer + "|" + c.currency + "|"
                + c.grandTotal + "|" + c.duePayable,
            expected);
        EXPECT_EQ(error, "");
    }
    // The guideline names the standard and the level: "standard|profile".
    const std::pair<std::string, std::string> guidelines[] = {
        { en16931, "|EN 16931" },
        { xrechnung, "XRechnung|XRECHNUNG" },
        { "urn:factur-x.eu:1p0:basicwl", "Factur-X|BASIC WL" },
        { "urn:cen.eu:en16931:2017#compliant#urn:factur-x.eu:1p0:basic", "Factur-X|BASIC" },
        { "urn:cen.eu:en16931:2017#conformant#urn:zugferd.de:2p0:extended",
            "ZUGFeRD 2.0|EXTENDED" },
        { "urn:zugferd.de:2p0:minimum", "ZUGFeRD 2.0|MINIMUM" },
        { "urn:ferd:CrossIndustryDocument:invoice:1p0:comfort", "ZUGFeRD 1.0|COMFORT" },
        { "urn:cen.eu:en16931:2017#compliant#urn:fdc:peppol.eu:2017:poacc:billing:3.0",
            "Peppol BIS|EN 16931" },
        { "urn:somebody:else", "|" },
    };
    for (const auto &[guideline, expected] : guidelines)
        EXPECT_EQ(standardOfGuideline(guideline) + "|" + profileOfGuideline(guideline), expected)
            << guideline;
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
