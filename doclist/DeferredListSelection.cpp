#include "doclist/DeferredListSelection.h"

#include "doclist/DocumentListModel.h"
#include "doclist/DocumentListView.h"
#include "doclist/SelectListItem.h"

#include <QScrollBar>
#include <algorithm>

namespace quenlith {

DeferredListSelection::DeferredListSelection(DocumentListView &list)
    : m_list(list)
{
    // Expanding or collapsing a row moves the rows below it: the page must be read again.
    const auto forget = [this] { m_pageKnown = false; };
    m_connections[0] = QObject::connect(&m_list, &QTreeView::expanded, forget);
    m_connections[1] = QObject::connect(&m_list, &QTreeView::collapsed, forget);
    // Rows cleared or sorted: the row chosen is gone or elsewhere.
    const auto lose = [this] {
        m_pageKnown = false;
        m_selectedFromBottom = -1;
    };
    m_connections[2] = QObject::connect(&m_list.documents(), &QAbstractItemModel::modelReset, lose);
    m_connections[3]
        = QObject::connect(&m_list.documents(), &QAbstractItemModel::layoutChanged, lose);
}

DeferredListSelection::~DeferredListSelection()
{
    for (const QMetaObject::Connection &connection : m_connections)
        QObject::disconnect(connection);
}

bool DeferredListSelection::pageStillKnown() const
{
    // Rows inserted above the page keep its first index; anything else that changes the page
    // (scrolling, resizing, removing rows) shows in one of these.
    return m_pageKnown && m_list.verticalScrollBar()->value() == m_scrollValue
        && m_list.viewport()->height() == m_viewportHeight
        && m_list.documents().documentCount() >= m_rowsAtApply;
}

bool DeferredListSelection::select(int position, int pageLine)
{
    const int rows = m_list.documents().documentCount();
    m_pending = true;
    m_selectedFromBottom = -1;
    if (position < 1 || position > rows)
        return false;
    // Counted from the bottom, it stays the same row while rows are added on top.
    m_selectedFromBottom = rows - position;
    if (!pageStillKnown()) {
        // Reading the page lays the list out anyway; with the rows in, their height is known.
        m_list.documents().insertPending();
        m_top = listTopIndex(m_list);
        m_perPage = listCountPerPage(m_list);
        rememberPage();
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

void DeferredListSelection::apply()
{
    if (!m_pending)
        return;
    m_pending = false;
    DocumentListModel &documents = m_list.documents();
    documents.insertPending();
    m_list.clearSelection();
    const int rows = documents.rowCount();
    const int selected = m_selectedFromBottom >= 0 ? rows - 1 - m_selectedFromBottom : -1;
    m_selectedFromBottom = -1;
    if (selected >= 0) {
        // Making a row current must not scroll by itself, as in SelectListItem.
        const bool autoScroll = m_list.hasAutoScroll();
        m_list.setAutoScroll(false);
        m_list.selectionModel()->setCurrentIndex(documents.index(selected, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_list.setAutoScroll(autoScroll);
    }
    if (m_scrolled) {
        m_scrolled = false;
        if (const QModelIndex top = documents.index(m_top, 0); top.isValid()) {
            m_list.scrollTo(top, QAbstractItemView::PositionAtTop);
            m_top = listTopIndex(m_list); // cheap: scrolling has just laid the list out
        }
    }
    // Reading the page again at the next select() would lay out the whole list once more.
    if (m_pageKnown)
        rememberPage();
}

void DeferredListSelection::rememberPage()
{
    m_pageKnown = true;
    m_scrollValue = m_list.verticalScrollBar()->value();
    m_viewportHeight = m_list.viewport()->height();
    m_rowsAtApply = m_list.documents().documentCount();
}

} // namespace quenlith
