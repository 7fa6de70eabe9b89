#pragma once

#include <cstdint>
#include <string>

namespace quenlith {

// A size as people read it, in one unit for the whole program: "512 bytes" below 1 KiB, then
// "1.50 KiB", "2.25 MiB", "3.00 GiB" (powers of 1024, two decimals, rounded, "." as the decimal
// point), GiB also for larger sizes.
std::string dataSizeText(std::uint64_t bytes);

} // namespace quenlith
