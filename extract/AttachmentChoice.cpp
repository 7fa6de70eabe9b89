#include "extract/AttachmentChoice.h"

namespace quenlith {

std::string AttachmentChoice::reasonLeftOut(const Attachment &attachment) const
{
    if (!ticked.isTicked(attachment.position))
        return "not chosen";
    for (const GlobPattern &pattern : exclude) {
        if (pattern.matches(attachment.name))
            return "excluded by --exclude '" + pattern.text() + "'";
    }
    if (include.empty())
        return {};
    std::string patterns;
    for (const GlobPattern &pattern : include) {
        if (pattern.matches(attachment.name))
            return {};
        patterns += (patterns.empty() ? "'" : ", '") + pattern.text() + "'";
    }
    return "not matched by --include " + patterns;
}

AttachmentChoice AttachmentChoice::forNested() const
{
    AttachmentChoice nested = *this;
    nested.ticked = {};
    return nested;
}

} // namespace quenlith
