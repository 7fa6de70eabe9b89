#include "util/DataSize.h"

namespace quenlith {

std::string dataSizeText(std::uint64_t bytes)
{
    static const char *const units[] = { "KiB", "MiB", "GiB" };
    if (bytes < 1024)
        return std::to_string(bytes) + " bytes";
    int unit = 0;
    std::uint64_t scale = 1024;
    while (unit < 2 && bytes / scale >= 1024) {
        scale *= 1024;
        ++unit;
    }
    // In parts, so that no product passes 64 bits.
    std::uint64_t whole = bytes / scale;
    std::uint64_t hundredths = ((bytes % scale) * 100 + scale / 2) / scale;
    if (hundredths == 100) {
        ++whole;
        hundredths = 0;
    }
    return std::to_string(whole) + (hundredths < 10 ? ".0" : ".") + std::to_string(hundredths) + " "
        + units[unit];
}

} // namespace quenlith
