#pragma once

#include <QStringList>
#include <QTreeView>

namespace quenlith {

class DocumentListModel;

// The list control of the document list: a report-style tree showing a DocumentListModel of its
// own. Rows stay in the order they were added (newest on top) until a column header is clicked,
// which sorts by that column (again: the other way); rows added later go on top again. A row's
// attachment lines are read when it is first expanded. An empty list says how documents are
// added. It tells the window about every mouse click in it (on a row or not, after a check box
// click has taken effect), about Space toggling the current row's tick, and about local files
// and folders dropped onto it.
class DocumentListView : public QTreeView {
    Q_OBJECT

public:
    explicit DocumentListView(QWidget *parent = nullptr);

    DocumentListModel &documents() const;

    // While false, drags are refused and nothing is dropped.
    void setDropsAccepted(bool accepted);
    bool dropsAccepted() const;

    // What the empty list shows.
    static QString emptyHint();

signals:
    void listClicked();
    void pathsDropped(const QStringList &localPaths);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;

private:
    static QStringList localPathsOf(const QMimeData *data);
    void sortByHeader(int column);

    DocumentListModel *m_documents;
    bool m_dropsAccepted = true;
    int m_sortedBy = -1; // the column the rows are sorted by; -1: in the order they came
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace quenlith
