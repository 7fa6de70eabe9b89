#include "util/DataSize.h"

namespace quenlith {

DataSize dataSize(std::uint64_t bytes)
{
    DataSize size;
    size.whole = bytes;
    if (bytes < 1024)
        return size;
    size.unit = DataSize::Unit::KiB;
    std::uint64_t scale = 1024;
    while (size.unit != DataSize::Unit::GiB && bytes / scale >= 1024) {
        scale *= 1024;
        size.unit = static_cast<DataSize::Unit>(static_cast<int>(size.unit) + 1);
    }
    // In parts, so that no product passes 64 bits.
    size.whole = bytes / scale;
    size.hundredths = static_cast<int>(((bytes % scale) * 100 + scale / 2) / scale);
    if (size.hundredths == 100) {
        ++size.whole;
        size.hundredths = 0;
    }
    return size;
}

std::string dataSizeText(std::uint64_t bytes)
{
    static const char *const units[] = { "KiB", "MiB", "GiB" };
    const DataSize size = dataSize(bytes);
    if (size.unit == DataSize::Unit::Bytes)
        return std::to_string(size.whole) + " bytes";
    return std::to_string(size.whole) + (size.hundredths < 10 ? ".0" : ".")
        + std::to_string(size.hundredths) + " " + units[static_cast<int>(size.unit) - 1];
}

} // namespace quenlith
