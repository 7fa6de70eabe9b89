#include "extract/pdf/InvoiceMetadata.h"

#include "extract/pdf/XmlReader.h"

#include <algorithm>
#include <array>
#include <optional>

namespace quenlith {

namespace {

enum class Schema { Zugferd1, Zugferd2, FacturX, OrderX, CrossIndustry };

struct KnownNamespace {
    std::string_view uri;
    Schema schema;
};

// The namespaces of the invoice standards' XMP extension schemas. Order-X documents in the wild
// use the unqualified CrossIndustryDocument namespace, which tells orders and invoices apart by
// DocumentType only.
constexpr std::array<KnownNamespace, 5> knownNamespaces { {
    { "urn:ferd:pdfa:CrossIndustryDocument:invoice:1p0#", Schema::Zugferd1 },
    { "urn:zugferd:pdfa:CrossIndustryDocument:invoice:2p0#", Schema::Zugferd2 },
    { "urn:factur-x:pdfa:CrossIndustryDocument:invoice:1p0#", Schema::FacturX },
    { "urn:factur-x:pdfa:CrossIndustryDocument:order:1p0#", Schema::OrderX },
    { "urn:factur-x:pdfa:CrossIndustryDocument:1p0#", Schema::CrossIndustry },
} };

enum class Property { DocumentFileName, ConformanceLevel, Version, DocumentType, None };

Property propertyNamed(std::string_view localName)
{
    if (localName == "DocumentFileName")
        return Property::DocumentFileName;
    if (localName == "ConformanceLevel")
        return Property::ConformanceLevel;
    if (localName == "Version")
        return Property::Version;
    if (localName == "DocumentType")
        return Property::DocumentType;
    return Property::None;
}

// Property values are short names; past this a value is cut.
constexpr std::size_t maxValueBytes = 1024;

std::optional<Schema> schemaOf(std::string_view uri)
{
    for (const KnownNamespace &known : knownNamespaces) {
        if (known.uri == uri)
            return known.schema;
    }
    return std::nullopt;
}

struct Found {
    Schema schema;
    std::array<std::optional<std::string>, 4> values; // by Property
};

// Collects the invoice schemas' properties as XmlReader reports the packet.
class XmpHandler : public XmlReader::Handler {
public:
    void startElement(
        std::string_view uri, std::string_view local, const char **attributes) override
    {
        m_pending.reset(); // a property holding elements is not a simple value
        m_text.clear();
        for (const char **attribute = attributes; *attribute != nullptr; attribute += 2) {
            const auto [attributeUri, attributeName] = XmlReader::splitName(attribute[0]);
            if (const auto target = resolve(attributeUri, attributeName))
                record(target->first, target->second, attribute[1]);
        }
        m_pending = resolve(uri, local);
    }
    void endElement() override
    {
        if (m_pending)
            record(m_pending->first, m_pending->second, m_text);
        m_pending.reset();
    }
    void text(std::string_view text) override
    {
        if (m_pending && m_text.size() < maxValueBytes)
            m_text.append(text.substr(0, maxValueBytes - m_text.size()));
    }

    std::vector<Found> found;

private:
    static std::optional<std::pair<Schema, Property>> resolve(
        std::string_view uri, std::string_view local)
    {
        const auto schema = schemaOf(uri);
        const Property property = propertyNamed(local);
        if (!schema || property == Property::None)
            return std::nullopt;
        return std::pair(*schema, property);
    }

    void record(Schema schema, Property property, std::string_view value)
    {
        auto entry = std::find_if(
            found.begin(), found.end(), [&](const Found &f) { return f.schema == schema; });
        if (entry == found.end()) {
            found.push_back({ schema, {} });
            entry = found.end() - 1;
        }
        auto &slot = entry->values[static_cast<std::size_t>(property)];
        if (!slot)
            slot = std::string(trimmedXmlSpace(value.substr(0, maxValueBytes)));
    }

    std::optional<std::pair<Schema, Property>> m_pending; // the open element is a property
    std::string m_text; // its text so far
};

std::string upperAscii(std::string_view text)
{
    std::string out(text);
    for (char &c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

// The known conformance levels in the spelling of their standards; others as declared, with
// `isKnown` false.
std::string canonicalProfile(const std::string &declared, bool &isKnown)
{
    isKnown = true;
    std::string key;
    for (const char c : upperAscii(declared)) {
        if (c != ' ' && c != '-' && c != '_')
            key += c;
    }
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 10> known { {
        { "MINIMUM", "MINIMUM" },
        { "BASICWL", "BASIC WL" },
        { "BASIC", "BASIC" },
        { "EN16931", "EN 16931" },
        { "COMFORT", "COMFORT" },
        { "EXTENDED", "EXTENDED" },
        { "XRECHNUNG", "XRECHNUNG" },
        { "REFERENCE", "REFERENCE" },
        { "EXTENDEDCTFR", "EXTENDED-CTFR" },
        { "BASICPLUS", "BASIC+" },
    } };
    for (const auto &[spelled, canonical] : known) {
        if (key == spelled)
            return std::string(canonical);
    }
    isKnown = false;
    return declared;
}

std::string standardOf(Schema schema, const std::string &profile, const std::string &type)
{
    const bool order = upperAscii(type).rfind("ORDER", 0) == 0;
    switch (schema) {
    case Schema::Zugferd1:
        return "ZUGFeRD 1.0";
    case Schema::Zugferd2:
        return "ZUGFeRD 2.0";
    case Schema::FacturX:
        // The XRECHNUNG profile on the Factur-X schema came with ZUGFeRD 2.1; Factur-X has none.
        return order ? "Order-X" : profile == "XRECHNUNG" ? "ZUGFeRD 2.1" : "Factur-X";
    case Schema::OrderX:
        return "Order-X";
    case Schema::CrossIndustry:
        return upperAscii(type) == "INVOICE" ? "Factur-X" : "Order-X";
    }
    return {};
}

} // namespace

std::vector<InvoiceInfo> readInvoiceDeclarations(std::string_view xmp)
{
    XmpHandler handler;
    XmlReader reader(handler, { maxXmpPacketBytes });
    if (reader.feed(xmp.data(), xmp.size()))
        reader.finish();
    std::vector<InvoiceInfo> declarations;
    for (Found &found : handler.found) {
        const auto take = [&](Property property) {
            auto &value = found.values[static_cast<std::size_t>(property)];
            return value ? std::move(*value) : std::string();
        };
        InvoiceInfo info;
        info.declared = true;
        info.fileName = take(Property::DocumentFileName);
        info.profile = canonicalProfile(take(Property::ConformanceLevel), info.profileKnown);
        info.version = take(Property::Version);
        info.documentType = take(Property::DocumentType);
        info.standard = standardOf(found.schema, info.profile, info.documentType);
        declarations.push_back(std::move(info));
    }
    return declarations;
}

int invoiceAttachmentFit(
    const std::string &fileName, const std::string &attachmentName, const std::string &relation)
{
    if (fileName.empty())
        return 0;
    if (attachmentName == fileName)
        return relation == "Alternative" || relation == "Data" || relation == "Source" ? 3 : 2;
    const auto lower = [](std::string text) {
        for (char &c : text) {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
        return text;
    };
    return lower(attachmentName) == lower(fileName) ? 1 : 0;
}

std::string profileOfGuideline(std::string_view guideline)
{
    const std::string id = upperAscii(guideline);
    const auto has = [&](std::string_view part) { return id.find(part) != std::string::npos; };
    // The most specific part first: ":BASICWL" also holds ":BASIC".
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 7> parts { {
        { "XRECHNUNG", "XRECHNUNG" },
        { ":MINIMUM", "MINIMUM" },
        { ":BASICWL", "BASIC WL" },
        { ":BASIC", "BASIC" },
        { ":EXTENDED", "EXTENDED" },
        { ":COMFORT", "COMFORT" },
        { "URN:CEN.EU:EN16931:2017", "EN 16931" },
    } };
    for (const auto &[part, profile] : parts) {
        if (has(part))
            return std::string(profile);
    }
    return {};
}

std::string standardOfGuideline(std::string_view guideline)
{
    const std::string id = upperAscii(guideline);
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 5> parts { {
        { "XRECHNUNG", "XRechnung" },
        { "FACTUR-X", "Factur-X" },
        { "ZUGFERD.DE:2P0", "ZUGFeRD 2.0" },
        { "URN:FERD:", "ZUGFeRD 1.0" },
        { "PEPPOL", "Peppol BIS" },
    } };
    for (const auto &[part, standard] : parts) {
        if (id.find(part) != std::string::npos)
            return std::string(standard);
    }
    return {};
}

} // namespace quenlith
