#include "doclist/DeferredListSelection.h"

#include "doclist/SelectListItem.h"

#include <QTreeWidget>
#include <algorithm>

namespace quenlith {

DeferredListSelection::DeferredListSelection(QTreeWidget &list)
    : m_list(list)
{
}

bool DeferredListSelection::select(int position, int pageLine)
{
    const int rows = m_list.topLevelItemCount();
    m_pending = true;
    m_selected = QPersistentModelIndex();
    if (position < 1 || position > rows)
        return false;
    // An index that follows the row, so that a row cleared by events run before apply() is
    // never touched.
    m_selected = QPersistentModelIndex(m_list.model()->index(position - 1, 0));
    if (!m_pageKnown) {
        m_top = listTopIndex(m_list);
        m_perPage = listCountPerPage(m_list);
        m_pageKnown = true;
    }
    const std::optional<int> target
        = selectListItemScrollTarget(m_top, m_perPage, rows, position, pageLine);
    if (!target)
        return false;
    if (*target == 0)
        return true;
    if (*target < 1 || *target > rows)
        return false;
    ensureVisible(*target - 1, rows);
    return true;
}

// QTreeView::scrollTo with EnsureVisible, scrolling per row with uniform row heights: a row above
// the page becomes the first line, a row below it the last line (the first line when not even one
// row fits), within the scroll range 0 to rows - page (the page being at least one row).
void DeferredListSelection::ensureVisible(int row, int rows)
{
    const int page = std::max(m_perPage, 1);
    int top = m_top;
    if (row < m_top)
        top = row;
    else if (row >= m_top + page)
        top = m_perPage > 1 ? row - m_perPage + 1 : row;
    top = std::clamp(top, 0, std::max(rows - page, 0));
    m_scrolled = true;
    m_top = top;
}

void DeferredListSelection::applyWhenDue()
{
    if (m_sinceApply.isValid() && m_sinceApply.elapsed() < 2 * m_lastApplyCost)
        return;
    QElapsedTimer cost;
    cost.start();
    apply();
    m_lastApplyCost = cost.elapsed();
    m_sinceApply.start();
}

void DeferredListSelection::apply()
{
    if (!m_pending)
        return;
    m_pending = false;
    m_pageKnown = false;
    m_list.clearSelection();
    QTreeWidgetItem *const selected
        = m_selected.isValid() ? m_list.topLevelItem(m_selected.row()) : nullptr;
    m_selected = QPersistentModelIndex();
    if (selected != nullptr) {
        // Making a row current must not scroll by itself, as in SelectListItem.
        const bool autoScroll = m_list.hasAutoScroll();
        m_list.setAutoScroll(false);
        m_list.setCurrentItem(
            selected, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_list.setAutoScroll(autoScroll);
    }
    if (m_scrolled) {
        m_scrolled = false;
        if (QTreeWidgetItem *top = m_list.topLevelItem(m_top))
            m_list.scrollToItem(top, QAbstractItemView::PositionAtTop);
    }
}

} // namespace quenlith
