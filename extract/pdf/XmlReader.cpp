#include "extract/pdf/XmlReader.h"

#include <algorithm>
#include <climits>
#include <expat.h>

namespace quenlith {

namespace {
// Between a name's namespace URI and its local name; URIs cannot hold a space.
constexpr char separator = ' ';
} // namespace

struct XmlReader::Parser {
    Parser(Handler &reportTo, Limits bounds)
        : handler(reportTo)
        , limits(bounds)
        , expat(XML_ParserCreateNS(nullptr, separator))
    {
        if (expat == nullptr)
            return;
        XML_SetUserData(expat, this);
        XML_SetElementHandler(expat, &Parser::onStart, &Parser::onEnd);
        XML_SetCharacterDataHandler(expat, &Parser::onText);
        // Invoices and metadata never declare entities: one that does is refused outright, before
        // any expansion, which also leaves no external entity to resolve.
        XML_SetEntityDeclHandler(expat, &Parser::onEntityDeclaration);
        XML_SetParamEntityParsing(expat, XML_PARAM_ENTITY_PARSING_NEVER);
    }
    ~Parser()
    {
        if (expat != nullptr)
            XML_ParserFree(expat);
    }

    void fail(std::string why)
    {
        if (error.empty())
            error = std::move(why);
        XML_StopParser(expat, XML_FALSE);
    }

    // After XML_Parse failed: expat's reason, unless a bound or the handler stopped it.
    void noteParseError()
    {
        if (error.empty() && XML_GetErrorCode(expat) != XML_ERROR_ABORTED)
            error = std::string(XML_ErrorString(XML_GetErrorCode(expat))) + " at line "
                + std::to_string(XML_GetCurrentLineNumber(expat));
    }

    static void XMLCALL onStart(void *data, const XML_Char *name, const XML_Char **attributes)
    {
        auto &self = *static_cast<Parser *>(data);
        if (++self.depth > self.limits.maxDepth)
            return self.fail(
                "nested deeper than " + std::to_string(self.limits.maxDepth) + " elements");
        const auto [uri, local] = splitName(name);
        self.handler.startElement(uri, local, attributes);
    }
    static void XMLCALL onEnd(void *data, const XML_Char *)
    {
        auto &self = *static_cast<Parser *>(data);
        --self.depth;
        self.handler.endElement();
    }
    static void XMLCALL onText(void *data, const XML_Char *text, int length)
    {
        static_cast<Parser *>(data)->handler.text(
            std::string_view(text, static_cast<std::size_t>(length)));
    }
    static void XMLCALL onEntityDeclaration(void *data,
        const XML_Char *,
        int,
        const XML_Char *,
        int,
        const XML_Char *,
        const XML_Char *,
        const XML_Char *,
        const XML_Char *)
    {
        static_cast<Parser *>(data)->fail("declares entities");
    }

    Handler &handler;
    Limits limits;
    XML_Parser expat;
    std::uint64_t bytes = 0;
    int depth = 0;
    bool ended = false;
    std::string error;
};

XmlReader::XmlReader(Handler &handler, Limits limits)
    : m_parser(std::make_unique<Parser>(handler, limits))
{
    if (m_parser->expat == nullptr) {
        m_parser->error = "out of memory";
        m_parser->ended = true;
    }
}

XmlReader::~XmlReader() = default;

bool XmlReader::feed(const char *data, std::size_t size)
{
    Parser &p = *m_parser;
    if (p.ended)
        return false;
    p.bytes += size;
    if (p.bytes > p.limits.maxBytes) {
        p.error = "larger than " + std::to_string(p.limits.maxBytes >> 20) + " MiB";
        p.ended = true;
        return false;
    }
    while (size > 0 && !p.ended) {
        const int piece = static_cast<int>(std::min<std::size_t>(size, INT_MAX));
        if (XML_Parse(p.expat, data, piece, XML_FALSE) != XML_STATUS_OK)
            p.ended = true;
        data += piece;
        size -= static_cast<std::size_t>(piece);
    }
    if (p.ended)
        p.noteParseError();
    return !p.ended;
}

bool XmlReader::finish()
{
    Parser &p = *m_parser;
    if (p.ended)
        return false;
    p.ended = true;
    if (XML_Parse(p.expat, nullptr, 0, XML_TRUE) == XML_STATUS_OK)
        return true;
    p.noteParseError();
    return false;
}

void XmlReader::stop()
{
    XML_StopParser(m_parser->expat, XML_FALSE);
}

std::pair<std::string_view, std::string_view> XmlReader::splitName(const char *name)
{
    const std::string_view full(name);
    const std::size_t at = full.find(separator);
    if (at == std::string_view::npos)
        return { {}, full };
    return { full.substr(0, at), full.substr(at + 1) };
}

const std::string &XmlReader::error() const
{
    return m_parser->error;
}

std::string_view trimmedXmlSpace(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace quenlith
