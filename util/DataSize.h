#pragma once

#include <cstdint>
#include <string>

namespace quenlith {

// A size as people read it, in one unit for the whole program: "512 bytes" below 1 KiB, then
// "1.50 KiB", "2.25 MiB", "3.00 GiB" (powers of 1024, two decimals, rounded, "." as the decimal
// point), GiB also for larger sizes.
std::string dataSizeText(std::uint64_t bytes);

// The number and unit dataSizeText() shows, for words in another language.
struct DataSize {
    enum class Unit { Bytes, KiB, MiB, GiB };
    Unit unit = Unit::Bytes;
    std::uint64_t whole = 0; // the bytes themselves for Unit::Bytes
    int hundredths = 0; // 0 to 99, rounded; always 0 for Unit::Bytes
};
DataSize dataSize(std::uint64_t bytes);

} // namespace quenlith
