#pragma once

#include <stdexcept>
#include <string>

namespace quenlith {

// A numbered failure: the number identifies the kind, the description is for the user.
class Error : public std::runtime_error {
public:
    Error(int number, const std::string &description)
        : std::runtime_error(description)
        , m_number(number)
    {
    }

    int number() const noexcept
    {
        return m_number;
    }

    std::string description() const
    {
        return what();
    }

private:
    int m_number;
};

// Error numbers raised by the core.
namespace ErrorNumber {
inline constexpr int Overflow = 6;
inline constexpr int DuplicateKey = 457;
inline constexpr int PathNotFound = 76;
inline constexpr int PermissionDenied = 70;
inline constexpr int FileSystem = 75;
} // namespace ErrorNumber

} // namespace quenlith
