#include "doclist/SelectListItem.h"

#include <QTreeView>
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

bool scrollIntoView(QTreeView &list, std::optional<int> position)
{
    if (!position || *position < 1 || *position > list.model()->rowCount())
        return false;
    list.scrollTo(list.model()->index(*position - 1, 0), QAbstractItemView::EnsureVisible);
    return true;
}

} // namespace

int listTopIndex(const QTreeView &list)
{
    QModelIndex top = list.indexAt(QPoint(0, 0));
    while (top.parent().isValid())
        top = top.parent(); // an attachment line of an expanded row
    return top.isValid() ? top.row() : 0;
}

int listCountPerPage(const QTreeView &list)
{
    const QModelIndex first = list.model()->index(0, 0);
    const int rowHeight = first.isValid() ? list.visualRect(first).height() : 0;
    return rowHeight > 0 ? list.viewport()->height() / rowHeight : 0;
}

std::optional<int> selectListItemScrollTarget(
    std::int64_t top, std::int64_t perPage, int rows, int position, int pageLine)
{
    const std::int64_t k = position;
    const std::int64_t v = pageLine;
    if (!checked(top + perPage))
        return std::nullopt;
    if (top < k && k <= top + perPage)
        return 0;
    if (k > top + perPage) {
        if (!checked(k + perPage))
            return std::nullopt;
        if (rows < k + perPage)
            return checked(rows);
        if (k > v)
            return checked(k + perPage - v);
        return checked(k + perPage - 1);
    }
    if (k > v)
        return checked(k - v + 1);
    return checked(k);
}

bool SelectListItem(QTreeView &list, int position, int pageLine)
{
    list.clearSelection();
    const int rows = list.model()->rowCount();
    if (position < 1 || position > rows)
        return false;

    // Making a row current must not scroll by itself: the scrolling below is the only one.
    const bool autoScroll = list.hasAutoScroll();
    list.setAutoScroll(false);
    list.selectionModel()->setCurrentIndex(list.model()->index(position - 1, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list.setAutoScroll(autoScroll);

    const std::optional<int> target = selectListItemScrollTarget(
        listTopIndex(list), listCountPerPage(list), rows, position, pageLine);
    if (!target)
        return false;
    return *target == 0 || scrollIntoView(list, *target);
}

} // namespace quenlith
