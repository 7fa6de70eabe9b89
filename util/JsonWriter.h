#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace quenlith {

// Writes one JSON document (RFC 8259) to a stream, indented by two spaces, placing the commas
// itself. Strings are taken as bytes: valid UTF-8 is kept, every invalid byte becomes U+FFFD and
// control characters are escaped, so the output is always valid UTF-8 JSON whatever a PDF holds.
// The caller nests begin/end calls correctly and gives a key before each value inside an object.
class JsonWriter {
public:
    explicit JsonWriter(std::ostream &out);

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    void key(std::string_view name);

    void string(std::string_view bytes);
    void number(std::int64_t value);
    void boolean(bool value);
    void null();

    // Shorthands for a key followed by its value.
    void field(std::string_view name, std::string_view bytes);
    void field(std::string_view name, std::int64_t value);
    void fieldBool(std::string_view name, bool value);
    // The string, or null when it is empty.
    void fieldOrNull(std::string_view name, std::string_view bytes);
    // An array of strings, empty or not.
    void fieldStrings(std::string_view name, const std::vector<std::string> &values);

    // `bytes` as a JSON string literal, quotes included.
    static std::string quoted(std::string_view bytes);

private:
    void beforeValue();
    void newline();

    std::ostream &m_out;
    std::vector<bool> m_hasItems; // one entry per open object or array
    bool m_afterKey = false;
};

} // namespace quenlith
