#include "extract/pdf/InvoiceMetadata.h"

#include "util/Utf8Text.h"

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
// Elements nest a few levels in XMP; past this the packet is not read further.
constexpr int maxDepth = 1000;
// Packets bind a dozen namespaces or so; past this many in scope the packet is not read further,
// so that resolving a prefix stays cheap.
constexpr std::size_t maxBindings = 256;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isNameEnd(char c)
{
    return isBlank(c) || c == '>' || c == '/' || c == '=';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Appends `raw` with the XML entities decoded (&amp; &lt; &gt; &quot; &apos; and character
// references); an unknown or malformed entity stays as it is, a reference to a character XML
// cannot hold becomes U+FFFD.
void appendDecoded(std::string &out, std::string_view raw)
{
    std::size_t at = 0;
    while (at < raw.size() && out.size() < maxValueBytes) {
        const std::size_t amp = raw.find('&', at);
        out.append(raw.substr(at, amp == std::string_view::npos ? amp : amp - at));
        if (amp == std::string_view::npos)
            break;
        const std::size_t semicolon = raw.find(';', amp);
        const std::string_view entity = semicolon == std::string_view::npos || semicolon - amp > 12
            ? std::string_view()
            : raw.substr(amp + 1, semicolon - amp - 1);
        static constexpr std::array<std::pair<std::string_view, char>, 5> named { {
            { "amp", '&' },
            { "lt", '<' },
            { "gt", '>' },
            { "quot", '"' },
            { "apos", '\'' },
        } };
        const auto known = std::find_if(
            named.begin(), named.end(), [&](const auto &pair) { return pair.first == entity; });
        if (known != named.end()) {
            out += known->second;
        } else if (entity.size() >= 2 && entity[0] == '#') {
            const bool hex = entity[1] == 'x';
            char32_t value = 0;
            bool valid = entity.size() > (hex ? 2u : 1u);
            for (std::size_t i = hex ? 2 : 1; i < entity.size() && valid; ++i) {
                const char c = entity[i];
                const int digit = c >= '0' && c <= '9' ? c - '0'
                    : hex && c >= 'a' && c <= 'f'      ? c - 'a' + 10
                    : hex && c >= 'A' && c <= 'F'      ? c - 'A' + 10
                                                       : -1;
                valid = digit >= 0 && value <= 0x10FFFF;
                value = value * (hex ? 16 : 10) + static_cast<char32_t>(std::max(digit, 0));
            }
            if (!valid) {
                out += '&';
                at = amp + 1;
                continue;
            }
            const bool allowed = (value >= 0x20 || value == 0x9 || value == 0xA || value == 0xD)
                && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
            appendUtf8(out, allowed ? value : 0xFFFD);
        } else {
            out += '&';
            at = amp + 1;
            continue;
        }
        at = semicolon + 1;
    }
    if (out.size() > maxValueBytes)
        out.resize(maxValueBytes);
}

// UTF-16 packets (XMP allows them) as UTF-8; anything else as it is.
std::optional<std::string> utf16AsUtf8(std::string_view xmp)
{
    if (xmp.size() < 2)
        return std::nullopt;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(xmp[i]); };
    bool bigEndian = false;
    std::size_t at = 0;
    if (byte(0) == 0xFE && byte(1) == 0xFF) {
        bigEndian = true;
        at = 2;
    } else if (byte(0) == 0xFF && byte(1) == 0xFE) {
        at = 2;
    } else if (byte(0) == 0 && byte(1) != 0) {
        bigEndian = true;
    } else if (byte(0) == 0 || byte(1) != 0) {
        return std::nullopt; // UTF-8, or nothing this reader knows
    }
    std::string out;
    out.reserve(xmp.size() / 2);
    char32_t high = 0;
    for (; at + 1 < xmp.size(); at += 2) {
        const char32_t unit
            = bigEndian ? (byte(at) << 8 | byte(at + 1)) : (byte(at + 1) << 8 | byte(at));
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            high = unit;
            continue;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            appendUtf8(
                out, high != 0 ? 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00) : 0xFFFD);
        } else {
            if (high != 0)
                appendUtf8(out, 0xFFFD);
            appendUtf8(out, unit);
        }
        high = 0;
    }
    return out;
}

struct Binding {
    std::string prefix; // empty for the default namespace
    std::string uri;
    int depth; // of the element that declares it
};

struct Found {
    Schema schema;
    std::array<std::optional<std::string>, 4> values; // by Property
};

class Scanner {
public:
    explicit Scanner(std::string_view xml)
        : m_xml(xml)
    {
    }

    std::vector<Found> run()
    {
        std::size_t at = 0;
        while (at < m_xml.size()) {
            const std::size_t open = m_xml.find('<', at);
            if (open == std::string_view::npos)
                break;
            if (m_pending)
                appendDecoded(m_text, m_xml.substr(at, open - at));
            const std::string_view rest = m_xml.substr(open);
            std::size_t end = std::string_view::npos;
            if (rest.substr(0, 4) == "<!--") {
                end = skipPast(open, "-->");
            } else if (rest.substr(0, 9) == "<![CDATA[") {
                end = skipPast(open, "]]>");
                if (m_pending && end != std::string_view::npos && m_text.size() < maxValueBytes)
                    m_text.append(
                        m_xml.substr(open + 9, std::min(end - 3 - open - 9, maxValueBytes)));
            } else if (rest.substr(0, 2) == "<?") {
                end = skipPast(open, "?>");
            } else if (rest.substr(0, 2) == "<!") {
                end = skipPast(open, ">");
            } else if (rest.substr(0, 2) == "</") {
                end = endTag(open);
            } else {
                end = startTag(open);
            }
            if (end == std::string_view::npos)
                break; // unterminated or too deep: keep what was found
            at = end;
        }
        return std::move(m_found);
    }

private:
    std::size_t skipPast(std::size_t from, std::string_view marker) const
    {
        const std::size_t found = m_xml.find(marker, from + 2);
        return found == std::string_view::npos ? found : found + marker.size();
    }

    std::string_view nameAt(std::size_t &at) const
    {
        const std::size_t start = at;
        while (at < m_xml.size() && !isNameEnd(m_xml[at]))
            ++at;
        return m_xml.substr(start, at - start);
    }

    void skipBlanks(std::size_t &at) const
    {
        while (at < m_xml.size() && isBlank(m_xml[at]))
            ++at;
    }

    // The schema that `qualifiedName`'s prefix is bound to, with the property it names.
    std::optional<std::pair<Schema, Property>> resolve(std::string_view qualifiedName) const
    {
        const std::size_t colon = qualifiedName.find(':');
        const std::string_view prefix
            = colon == std::string_view::npos ? std::string_view() : qualifiedName.substr(0, colon);
        const Property property = propertyNamed(
            colon == std::string_view::npos ? qualifiedName : qualifiedName.substr(colon + 1));
        if (property == Property::None)
            return std::nullopt;
        for (auto binding = m_bindings.rbegin(); binding != m_bindings.rend(); ++binding) {
            if (binding->prefix != prefix)
                continue;
            for (const KnownNamespace &known : knownNamespaces) {
                if (known.uri == binding->uri)
                    return std::pair(known.schema, property);
            }
            return std::nullopt; // the innermost binding of the prefix is another namespace
        }
        return std::nullopt;
    }

    void record(Schema schema, Property property, std::string value)
    {
        auto found = std::find_if(
            m_found.begin(), m_found.end(), [&](const Found &f) { return f.schema == schema; });
        if (found == m_found.end()) {
            m_found.push_back({ schema, {} });
            found = m_found.end() - 1;
        }
        auto &slot = found->values[static_cast<std::size_t>(property)];
        if (!slot)
            slot = std::string(trimmed(value));
    }

    std::size_t endTag(std::size_t open)
    {
        const std::size_t close = m_xml.find('>', open);
        if (close == std::string_view::npos)
            return close;
        if (m_pending) {
            record(m_pending->first, m_pending->second, std::move(m_text));
            m_pending.reset();
        }
        while (!m_bindings.empty() && m_bindings.back().depth == m_depth)
            m_bindings.pop_back();
        m_depth = std::max(m_depth - 1, 0);
        return close + 1;
    }

    std::size_t startTag(std::size_t open)
    {
        m_pending.reset(); // a property holding elements is not a simple value
        m_text.clear();
        std::size_t at = open + 1;
        const std::string_view element = nameAt(at);
        std::vector<std::pair<std::string_view, std::string>> attributes;
        bool selfClosing = false;
        for (;;) {
            skipBlanks(at);
            if (at >= m_xml.size())
                return std::string_view::npos;
            if (m_xml[at] == '>') {
                ++at;
                break;
            }
            if (m_xml[at] == '/') {
                if (at + 1 >= m_xml.size() || m_xml[at + 1] != '>')
                    return std::string_view::npos;
                selfClosing = true;
                at += 2;
                break;
            }
            const std::string_view name = nameAt(at);
            skipBlanks(at);
            if (name.empty() || at >= m_xml.size() || m_xml[at] != '=')
                return std::string_view::npos;
            ++at;
            skipBlanks(at);
            if (at >= m_xml.size() || (m_xml[at] != '"' && m_xml[at] != '\''))
                return std::string_view::npos;
            const std::size_t close = m_xml.find(m_xml[at], at + 1);
            if (close == std::string_view::npos)
                return std::string_view::npos;
            std::string value;
            appendDecoded(value, m_xml.substr(at + 1, close - at - 1));
            attributes.emplace_back(name, std::move(value));
            at = close + 1;
        }
        if (++m_depth > maxDepth)
            return std::string_view::npos;
        const auto declares = [](const auto &attribute) {
            return attribute.first == "xmlns" || attribute.first.substr(0, 6) == "xmlns:";
        };
        if (m_bindings.size()
                + static_cast<std::size_t>(
                    std::count_if(attributes.begin(), attributes.end(), declares))
            > maxBindings)
            return std::string_view::npos;
        for (const auto &[name, value] : attributes) {
            if (name == "xmlns")
                m_bindings.push_back({ std::string(), value, m_depth });
            else if (name.substr(0, 6) == "xmlns:")
                m_bindings.push_back({ std::string(name.substr(6)), value, m_depth });
        }
        for (auto &[name, value] : attributes) {
            // An unprefixed attribute belongs to no namespace (XML Namespaces 6.2).
            if (name.find(':') == std::string_view::npos)
                continue;
            if (const auto target = resolve(name))
                record(target->first, target->second, std::move(value));
        }
        if (selfClosing) {
            while (!m_bindings.empty() && m_bindings.back().depth == m_depth)
                m_bindings.pop_back();
            --m_depth;
        } else {
            m_pending = resolve(element);
        }
        return at;
    }

    std::string_view m_xml;
    std::vector<Binding> m_bindings;
    int m_depth = 0;
    std::optional<std::pair<Schema, Property>> m_pending; // the open element is a property
    std::string m_text; // its text so far
    std::vector<Found> m_found;
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
    if (xmp.size() > maxXmpPacketBytes)
        return {};
    const std::optional<std::string> transcoded = utf16AsUtf8(xmp);
    std::vector<InvoiceInfo> declarations;
    for (Found &found : Scanner(transcoded ? std::string_view(*transcoded) : xmp).run()) {
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

} // namespace quenlith
