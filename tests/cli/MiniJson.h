#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

// A strict JSON reader for checking quenlith-cli's output (RFC 8259: no trailing commas, no raw
// control characters in strings, well-formed UTF-8, one value and nothing after it).
namespace quenlith::testing {

struct JsonValue {
    enum class Type { Null, Boolean, Number, String, Array, Object };
    Type type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string text; // String: decoded to UTF-8
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    bool isNull() const
    {
        return type == Type::Null;
    }
    // Member `name`; throws std::out_of_range when this is no object or has no such member.
    const JsonValue &operator[](const std::string &name) const;
    const JsonValue &operator[](std::size_t index) const;
};

// Parses `document`; throws std::runtime_error with the offset on any deviation from the grammar.
JsonValue parseJson(const std::string &document);

} // namespace quenlith::testing
