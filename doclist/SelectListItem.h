#pragma once

#include <cstdint>
#include <optional>

class QTreeView;

namespace quenlith {

// Selects and makes current the row at 1-based `position` of `list` (deselecting every other row,
// leaving the ticks alone) and, when the row is outside the visible page, scrolls so that it comes
// to rest on `pageLine` (1 = top line) where the list allows, or shows the end of the list.
// Returns false, silently, when a step fails: a position outside the rows, or an overflow.
bool SelectListItem(QTreeView &list, int position, int pageLine);

// The first visible row's 0-based index (0 for an empty list) and the number of rows that fit fully
// on the visible page (0 for an empty list). Both bring the list's pending layout up to date.
int listTopIndex(const QTreeView &list);
int listCountPerPage(const QTreeView &list);

// The scrolling decision of SelectListItem as arithmetic, for the row at `position` (1 to `rows`)
// of a list of `rows` rows whose first
// visible row has the 0-based index `top` and whose page shows `perPage` rows fully: the 1-based
// position of the row to scroll into view, 0 when row `position` is visible already, nullopt when
// the 32-bit arithmetic overflows. A position returned outside 1 to `rows` is a failure too.
std::optional<int> selectListItemScrollTarget(
    std::int64_t top, std::int64_t perPage, int rows, int position, int pageLine);

} // namespace quenlith
