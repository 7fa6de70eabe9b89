#include "doclist/DocumentListView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace quenlith {

DocumentListView::DocumentListView(QWidget *parent)
    : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setSortingEnabled(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setDragDropMode(QAbstractItemView::DropOnly);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
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
        if (QTreeWidgetItem *row = currentItem()) {
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
