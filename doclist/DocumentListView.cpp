#include "doclist/DocumentListView.h"

#include "doclist/DocumentListModel.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QUrl>

namespace quenlith {

namespace {
// Paths are shortened in their middle, where they differ least; an attachment line keeps its
// start (the invoice, the size, the origin), its whole text being in its tool-tip.
class LineElidingDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.parent().isValid())
            option->textElideMode = Qt::ElideRight;
    }
};
} // namespace

DocumentListView::DocumentListView(QWidget *parent)
    : QTreeView(parent)
    , m_documents(new DocumentListModel(this))
{
    setModel(m_documents);
    setItemDelegate(new LineElidingDelegate(this));
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
    connect(this, &QTreeView::expanded, m_documents, &DocumentListModel::readLines);
}

DocumentListModel &DocumentListView::documents() const
{
    return *m_documents;
}

QString DocumentListView::emptyHint()
{
    return tr("Documents can be added with the buttons above or dropped on the list.");
}

void DocumentListView::paintEvent(QPaintEvent *event)
{
    QTreeView::paintEvent(event);
    if (m_documents->rowCount() > 0)
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    painter.drawText(viewport()->rect().adjusted(16, 0, -16, 0),
        Qt::AlignCenter | Qt::TextWordWrap,
        emptyHint());
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
    m_documents->sort(column, order);
}

void DocumentListView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    QTreeView::rowsInserted(parent, start, end);
    if (parent.isValid())
        return; // an expanded row's lines
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
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        emit listClicked();
}

void DocumentListView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        // The tick of the current row or attachment line; a partly ticked row becomes ticked.
        const QModelIndex tick = currentIndex().siblingAtColumn(DocumentListModel::CountColumn);
        if (m_documents->flags(tick).testFlag(Qt::ItemIsUserCheckable)) {
            const bool ticked = tick.data(Qt::CheckStateRole).toInt() == Qt::Checked;
            m_documents->setData(tick, ticked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
            emit listClicked();
        }
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
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
