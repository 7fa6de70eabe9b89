#pragma once

#include <QMetaObject>
#include <array>

namespace quenlith {

class DocumentListView;

// SelectListItem for a batch that adds rows at position 1 and selects a row after each one, at the
// cost of one layout of the list per apply() instead of one per call: each select() works out what
// SelectListItem would do from the page it would see (rows inserted above the page keep its first
// visible index, as in the list control) and only remembers the outcome; apply() inserts the rows
// added since (DocumentListModel::add) in one go and gives the list that selection, current row
// and scroll position. Call apply() before pending events run, so that what is painted and what a
// nested command sees is current, and when the batch ends. Positions count the pending rows.
class DeferredListSelection {
public:
    explicit DeferredListSelection(DocumentListView &list);
    ~DeferredListSelection();
    DeferredListSelection(const DeferredListSelection &) = delete;
    DeferredListSelection &operator=(const DeferredListSelection &) = delete;

    // What SelectListItem(list, position, pageLine) would return.
    bool select(int position, int pageLine);
    // Makes the list show the outcome of the select() calls so far; does nothing when there were
    // none since the last apply. The next select() reads the page afresh only when events have
    // scrolled, resized, expanded or emptied the list meanwhile.
    void apply();

private:
    // The list scrolled so that the 0-based row `row` is visible with the least movement.
    void ensureVisible(int row, int rows);

    // m_top and m_perPage still describe the list, as far as the remembered page shows.
    bool pageStillKnown() const;
    void rememberPage();

    DocumentListView &m_list;
    std::array<QMetaObject::Connection, 4> m_connections;
    bool m_pageKnown = false; // m_top and m_perPage describe the list
    int m_scrollValue = 0; // the page as it was when m_top and m_perPage were last known
    int m_viewportHeight = 0;
    int m_rowsAtApply = 0;
    int m_top = 0;
    int m_perPage = 0;
    bool m_pending = false; // a select() since the last apply()
    // The row to select, counted from the bottom (rows are added on top); -1 after a failed
    // select(), and once events cleared or sorted the list.
    int m_selectedFromBottom = -1;
    bool m_scrolled = false; // a select() scrolled since the last apply(): m_top is the new page
};

} // namespace quenlith
