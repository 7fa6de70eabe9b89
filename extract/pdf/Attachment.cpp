#include "extract/pdf/Attachment.h"

#include <cstdio>
#include <ctime>

namespace quenlith {

const char *originWord(Attachment::Origin origin)
{
    switch (origin) {
    case Attachment::Origin::Names:
        return "names";
    case Attachment::Origin::Portfolio:
        return "portfolio";
    case Attachment::Origin::Annotation:
        return "annotation";
    case Attachment::Origin::AssociatedFile:
        return "af";
    case Attachment::Origin::Unlisted:
        return "unlisted";
    }
    return "unlisted";
}

std::string isoDate(std::int64_t secondsUtc)
{
    // 0001-01-01 and 9999-12-31T23:59:59 in seconds since 1970.
    constexpr std::int64_t earliest = -62135596800;
    constexpr std::int64_t latest = 253402300799;
    if (secondsUtc < earliest || secondsUtc > latest)
        return {};
    const auto moment = static_cast<std::time_t>(secondsUtc);
    std::tm parts {};
#ifdef _WIN32
    if (gmtime_s(&parts, &moment) != 0)
        return {};
#else
    if (gmtime_r(&moment, &parts) == nullptr)
        return {};
#endif
    char text[80]; // room for any int the compiler might imagine
    std::snprintf(text,
        sizeof text,
        "%04d-%02d-%02dT%02d:%02d:%02dZ",
        parts.tm_year + 1900,
        parts.tm_mon + 1,
        parts.tm_mday,
        parts.tm_hour,
        parts.tm_min,
        parts.tm_sec);
    return text;
}

} // namespace quenlith
