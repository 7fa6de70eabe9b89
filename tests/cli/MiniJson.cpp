#include "tests/cli/MiniJson.h"

#include <stdexcept>

namespace quenlith::testing {

const JsonValue &JsonValue::operator[](const std::string &name) const
{
    if (type != Type::Object)
        throw std::out_of_range("not an object when asking for " + name);
    return members.at(name);
}

const JsonValue &JsonValue::operator[](std::size_t index) const
{
    if (type != Type::Array)
        throw std::out_of_range("not an array");
    return items.at(index);
}

namespace {

class Parser {
public:
    explicit Parser(const std::string &text)
        : m_text(text)
    {
    }

    JsonValue document()
    {
        JsonValue value = parseValue(0);
        skipSpace();
        if (m_pos != m_text.size())
            fail("text after the value");
        return value;
    }

private:
    [[noreturn]] void fail(const std::string &what) const
    {
        throw std::runtime_error("invalid JSON at byte " + std::to_string(m_pos) + ": " + what);
    }

    void skipSpace()
    {
        while (m_pos < m_text.size()
            && (m_text[m_pos] == ' ' || m_text[m_pos] == '\n' || m_text[m_pos] == '\r'
                || m_text[m_pos] == '\t'))
            ++m_pos;
    }

    void expect(char c)
    {
        skipSpace();
        if (m_pos >= m_text.size() || m_text[m_pos] != c)
            fail(std::string("expected '") + c + "'");
        ++m_pos;
    }

    bool literal(const char *word)
    {
        const std::string w(word);
        if (m_text.compare(m_pos, w.size(), w) != 0)
            return false;
        m_pos += w.size();
        return true;
    }

    JsonValue parseValue(int depth)
    {
        if (depth > 64)
            fail("nested too deeply");
        skipSpace();
        if (m_pos >= m_text.size())
            fail("unexpected end");
        JsonValue value;
        const char c = m_text[m_pos];
        if (c == '{') {
            value.type = JsonValue::Type::Object;
            ++m_pos;
            skipSpace();
            if (m_pos < m_text.size() && m_text[m_pos] == '}') {
                ++m_pos;
                return value;
            }
            do {
                skipSpace();
                const std::string name = parseString();
                expect(':');
                if (!value.members.emplace(name, parseValue(depth + 1)).second)
                    fail("duplicate member " + name);
                skipSpace();
            } while (m_pos < m_text.size() && m_text[m_pos] == ',' && ++m_pos);
            expect('}');
        } else if (c == '[') {
            value.type = JsonValue::Type::Array;
            ++m_pos;
            skipSpace();
            if (m_pos < m_text.size() && m_text[m_pos] == ']') {
                ++m_pos;
                return value;
            }
            do {
                value.items.push_back(parseValue(depth + 1));
                skipSpace();
            } while (m_pos < m_text.size() && m_text[m_pos] == ',' && ++m_pos);
            expect(']');
        } else if (c == '"') {
            value.type = JsonValue::Type::String;
            value.text = parseString();
        } else if (literal("null")) {
        } else if (literal("true")) {
            value.type = JsonValue::Type::Boolean;
            value.boolean = true;
        } else if (literal("false")) {
            value.type = JsonValue::Type::Boolean;
        } else {
            value.type = JsonValue::Type::Number;
            value.number = parseNumber();
        }
        return value;
    }

    double parseNumber()
    {
        const std::size_t start = m_pos;
        if (m_pos < m_text.size() && m_text[m_pos] == '-')
            ++m_pos;
        const auto digits = [&] {
            const std::size_t from = m_pos;
            while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9')
                ++m_pos;
            if (m_pos == from)
                fail("expected a digit");
        };
        if (m_pos < m_text.size() && m_text[m_pos] == '0')
            ++m_pos;
        else
            digits();
        if (m_pos < m_text.size() && m_text[m_pos] == '.') {
            ++m_pos;
            digits();
        }
        if (m_pos < m_text.size() && (m_text[m_pos] == 'e' || m_text[m_pos] == 'E')) {
            ++m_pos;
            if (m_pos < m_text.size() && (m_text[m_pos] == '+' || m_text[m_pos] == '-'))
                ++m_pos;
            digits();
        }
        return std::stod(m_text.substr(start, m_pos - start));
    }

    unsigned hex4()
    {
        if (m_text.size() - m_pos < 4)
            fail("short \\u escape");
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = m_text[m_pos++];
            value <<= 4;
            if (h >= '0' && h <= '9')
                value |= static_cast<unsigned>(h - '0');
            else if (h >= 'a' && h <= 'f')
                value |= static_cast<unsigned>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F')
                value |= static_cast<unsigned>(h - 'A' + 10);
            else
                fail("bad hex digit");
        }
        return value;
    }

    static void append(std::string &out, unsigned cp)
    {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    // Checks one raw UTF-8 sequence in a string and copies it.
    void rawUtf8(std::string &out)
    {
        const auto lead = static_cast<unsigned char>(m_text[m_pos]);
        std::size_t length = lead < 0x80   ? 1
            : lead >= 0xC2 && lead <= 0xDF ? 2
            : lead >= 0xE0 && lead <= 0xEF ? 3
            : lead >= 0xF0 && lead <= 0xF4 ? 4
                                           : 0;
        if (length == 0 || m_text.size() - m_pos < length)
            fail("invalid UTF-8");
        unsigned cp = length == 1 ? lead : lead & (0xFFu >> (length + 1));
        for (std::size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(m_text[m_pos + i]);
            if ((next & 0xC0) != 0x80)
                fail("invalid UTF-8");
            cp = (cp << 6) | (next & 0x3Fu);
        }
        static constexpr unsigned minimum[] = { 0, 0, 0x80, 0x800, 0x10000 };
        if (cp < minimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            fail("invalid UTF-8");
        out.append(m_text, m_pos, length);
        m_pos += length;
    }

    std::string parseString()
    {
        if (m_pos >= m_text.size() || m_text[m_pos] != '"')
            fail("expected a string");
        ++m_pos;
        std::string out;
        while (true) {
            if (m_pos >= m_text.size())
                fail("unterminated string");
            const auto c = static_cast<unsigned char>(m_text[m_pos]);
            if (c == '"') {
                ++m_pos;
                return out;
            }
            if (c < 0x20)
                fail("raw control character in a string");
            if (c != '\\') {
                rawUtf8(out);
                continue;
            }
            ++m_pos;
            if (m_pos >= m_text.size())
                fail("unterminated escape");
            const char e = m_text[m_pos++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out += e;
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                unsigned cp = hex4();
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    if (m_text.compare(m_pos, 2, "\\u") != 0)
                        fail("lone high surrogate");
                    m_pos += 2;
                    const unsigned low = hex4();
                    if (low < 0xDC00 || low > 0xDFFF)
                        fail("bad low surrogate");
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                    fail("lone low surrogate");
                }
                append(out, cp);
                break;
            }
            default:
                fail("unknown escape");
            }
        }
    }

    const std::string &m_text;
    std::size_t m_pos = 0;
};

} // namespace

JsonValue parseJson(const std::string &document)
{
    return Parser(document).document();
}

} // namespace quenlith::testing
