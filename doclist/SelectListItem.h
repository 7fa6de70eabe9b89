#pragma once

class QTreeWidget;

namespace quenlith {

// Selects and makes current the row at 1-based `position` of `list` (deselecting every other row,
// leaving the ticks alone) and, when the row is outside the visible page, scrolls so that it comes
// to rest on `pageLine` (1 = top line) where the list allows, or shows the end of the list.
// Returns false, silently, when a step fails: a position outside the rows, or an overflow.
bool SelectListItem(QTreeWidget &list, int position, int pageLine);

} // namespace quenlith
