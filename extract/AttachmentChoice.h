#pragma once

#include "extract/pdf/Attachment.h"
#include "util/GlobPattern.h"

#include <set>
#include <string>
#include <vector>

namespace quenlith {

// The attachments of one listed document ticked in the window, by Attachment::position: every
// one but those in `positions`, or with `onlyPositions` only those. The default ticks all.
struct TickedAttachments {
    bool onlyPositions = false;
    std::set<int> positions;

    bool isTicked(int position) const
    {
        return (positions.count(position) != 0) == onlyPositions;
    }
};

// Which attachments of a document an extraction writes: those whose stored name
// (Attachment::name) matches some `include` pattern, or every one when there is none, and no
// `exclude` pattern (the command line's --include and --exclude), and that `ticked` holds (the
// window's ticked lines). The patterns hold for nested documents too; the ticks only for the
// document they were made in. The default chooses every attachment.
struct AttachmentChoice {
    std::vector<GlobPattern> include;
    std::vector<GlobPattern> exclude;
    TickedAttachments ticked;

    // Why the attachment is not chosen, in plain words: "excluded by --exclude '*.tmp'", "not
    // matched by --include '*.xml'" (every include pattern, each quoted), "not chosen"; empty
    // when it is chosen.
    std::string reasonLeftOut(const Attachment &attachment) const;
    // The same choice with every attachment ticked, for the documents nested in the one it was made
    // for.
    AttachmentChoice forNested() const;
};

} // namespace quenlith
