#include "doclist/SelectListItem.h"

#include <QTreeWidget>
#include <cstdint>
#include <limits>
#include <optional>

namespace quenlith {

namespace {

// 32-bit arithmetic as the list's messages use it: a result outside int is a failure.
std::optional<int> checked(std::int64_t value)
{
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

// 0-based index of the first visible row.
int topIndex(const QTreeWidget &list)
{
    const QTreeWidgetItem *top = list.itemAt(0, 0);
    return top != nullptr ? list.indexOfTopLevelItem(const_cast<QTreeWidgetItem *>(top)) : 0;
}

// Number of rows that fit fully on the visible page.
int countPerPage(const QTreeWidget &list)
{
    const QTreeWidgetItem *first = list.topLevelItem(0);
    const int rowHeight = first != nullptr ? list.visualItemRect(first).height() : 0;
    return rowHeight > 0 ? list.viewport()->height() / rowHeight : 0;
}

bool scrollIntoView(QTreeWidget &list, std::optional<int> position)
{
    if (!position || *position < 1 || *position > list.topLevelItemCount())
        return false;
    list.scrollToItem(list.topLevelItem(*position - 1), QAbstractItemView::EnsureVisible);
    return true;
}

} // namespace

bool SelectListItem(QTreeWidget &list, int position, int pageLine)
{
    list.clearSelection();
    const int rows = list.topLevelItemCount();
    if (position < 1 || position > rows)
        return false;

    // Making a row current must not scroll by itself: the scrolling below is the only one.
    const bool autoScroll = list.hasAutoScroll();
    list.setAutoScroll(false);
    QTreeWidgetItem *row = list.topLevelItem(position - 1);
    list.setCurrentItem(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list.setAutoScroll(autoScroll);

    const std::int64_t k = position;
    const std::int64_t v = pageLine;
    const std::int64_t top = topIndex(list);
    const std::int64_t per = countPerPage(list);
    if (!checked(top + per))
        return false;

    if (top < k && k <= top + per)
        return true;
    if (k > top + per) {
        if (!checked(k + per))
            return false;
        if (rows < k + per)
            return scrollIntoView(list, rows);
        if (k > v)
            return scrollIntoView(list, checked(k + per - v));
        return scrollIntoView(list, checked(k + per - 1));
    }
    if (k > v)
        return scrollIntoView(list, checked(k - v + 1));
    return scrollIntoView(list, checked(k));
}

} // namespace quenlith
