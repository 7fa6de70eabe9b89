#include "doclist/DocumentListView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace quenlith {

bool DocumentRow::operator<(const QTreeWidgetItem &other) const
{
    const int column = treeWidget() != nullptr ? treeWidget()->sortColumn() : 0;
    if (column == 0)
        return text(0).toLongLong() < other.text(0).toLongLong();
    return QString::compare(text(column), other.text(column), Qt::CaseInsensitive) < 0;
}

DocumentListView::DocumentListView(QWidget *parent)
    : QTreeWidget(parent)
{
    setRootIsDecorated(true); // a document's row expands to its attachments
    setSortingEnabled(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setDragDropMode(QAbstractItemView::DropOnly);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    // Sorting stays off: with it on, every added row would be sorted in instead of going on top.
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    connect(header(), &QHeaderView::sectionClicked, this, &DocumentListView::sortByHeader);
}

void DocumentListView::sortByHeader(int column)
{
    // Our own record: the header flips a shown indicator by itself before this runs.
    const Qt::SortOrder order = m_sortedBy == column && m_sortOrder == Qt::AscendingOrder
        ? Qt::DescendingOrder
        : Qt::AscendingOrder;
    m_sortedBy = column;
    m_sortOrder = order;
    header()->setSortIndicator(column, order);
    header()->setSortIndicatorShown(true);
    sortItems(column, order);
}

void DocumentListView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    QTreeWidget::rowsInserted(parent, start, end);
    // A new row on top: no longer in sorted order.
    m_sortedBy = -1;
    header()->setSortIndicatorShown(false);
}

void DocumentListView::setDropsAccepted(bool accepted)
{
    m_dropsAccepted = accepted;
}

bool DocumentListView::dropsAccepted() const
{
    return m_dropsAccepted;
}

void DocumentListView::mouseReleaseEvent(QMouseEvent *event)
{
    QTreeWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        emit listClicked();
}

void DocumentListView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        QTreeWidgetItem *row = currentItem();
        if (row != nullptr && row->parent() == nullptr) { // attachment lines have no tick
            row->setCheckState(0, row->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
            emit listClicked();
        }
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

QStringList DocumentListView::localPathsOf(const QMimeData *data)
{
    QStringList paths;
    if (data == nullptr || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    return paths;
}

void DocumentListView::dragEnterEvent(QDragEnterEvent *event)
{
    if (m_dropsAccepted && !localPathsOf(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void DocumentListView::dragMoveEvent(QDragMoveEvent *event)
{
    if (m_dropsAccepted && !localPathsOf(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void DocumentListView::dropEvent(QDropEvent *event)
{
    const QStringList paths = localPathsOf(event->mimeData());
    if (!m_dropsAccepted || paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit pathsDropped(paths);
}

} // namespace quenlith
