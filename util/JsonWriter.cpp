#include "util/JsonWriter.h"

#include "util/Utf8Text.h"

#include <cstdio>

namespace quenlith {

JsonWriter::JsonWriter(std::ostream &out)
    : m_out(out)
{
}

namespace {

// Printable ASCII that a JSON string holds as it is: all of most names and every key.
bool isPlainAscii(char c)
{
    return c >= 0x20 && c < 0x7F && c != '"' && c != '\\';
}

} // namespace

std::string JsonWriter::quoted(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + 2);
    out += '"';
    std::size_t position = 0;
    while (position < bytes.size()) {
        const std::size_t runStart = position;
        while (position < bytes.size() && isPlainAscii(bytes[position]))
            ++position;
        out.append(bytes.substr(runStart, position - runStart));
        if (position == bytes.size())
            break;
        const std::size_t start = position;
        char32_t c = 0;
        if (!nextCodePoint(bytes, position, c)) {
            appendUtf8(out, 0xFFFD);
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            // U+2028 and U+2029 are valid JSON but break JavaScript string literals.
            if (c < 0x20 || c == 0x7F || c == 0x2028 || c == 0x2029) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                out += escape;
            } else {
                out.append(bytes.substr(start, position - start)); // valid, so kept as it is
            }
        }
    }
    out += '"';
    return out;
}

void JsonWriter::newline()
{
    std::string line(1 + 2 * m_hasItems.size(), ' ');
    line[0] = '\n';
    m_out << line; // one write: a stream insert costs more than the characters
}

void JsonWriter::beforeValue()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_hasItems.empty())
        return;
    if (m_hasItems.back())
        m_out << ',';
    m_hasItems.back() = true;
    newline();
}

void JsonWriter::beginObject()
{
    beforeValue();
    m_out << '{';
    m_hasItems.push_back(false);
}

void JsonWriter::endObject()
{
    const bool hadItems = m_hasItems.back();
    m_hasItems.pop_back();
    if (hadItems)
        newline();
    m_out << '}';
    if (m_hasItems.empty())
        m_out << '\n';
}

void JsonWriter::beginArray()
{
    beforeValue();
    m_out << '[';
    m_hasItems.push_back(false);
}

void JsonWriter::endArray()
{
    const bool hadItems = m_hasItems.back();
    m_hasItems.pop_back();
    if (hadItems)
        newline();
    m_out << ']';
    if (m_hasItems.empty())
        m_out << '\n';
}

void JsonWriter::key(std::string_view name)
{
    beforeValue();
    std::string text = quoted(name);
    text += ": ";
    m_out << text;
    m_afterKey = true;
}

void JsonWriter::string(std::string_view bytes)
{
    beforeValue();
    m_out << quoted(bytes);
}

void JsonWriter::number(std::int64_t value)
{
    beforeValue();
    m_out << value;
}

void JsonWriter::boolean(bool value)
{
    beforeValue();
    m_out << (value ? "true" : "false");
}

void JsonWriter::null()
{
    beforeValue();
    m_out << "null";
}

void JsonWriter::field(std::string_view name, std::string_view bytes)
{
    key(name);
    string(bytes);
}

void JsonWriter::field(std::string_view name, std::int64_t value)
{
    key(name);
    number(value);
}

void JsonWriter::fieldBool(std::string_view name, bool value)
{
    key(name);
    boolean(value);
}

void JsonWriter::fieldOrNull(std::string_view name, std::string_view bytes)
{
    key(name);
    if (bytes.empty())
        null();
    else
        string(bytes);
}

void JsonWriter::fieldStrings(std::string_view name, const std::vector<std::string> &values)
{
    key(name);
    beginArray();
    for (const std::string &value : values)
        string(value);
    endArray();
}

} // namespace quenlith
