#pragma once

#include <QStringList>
#include <QTreeWidget>

namespace quenlith {

// The list control of the document list: a report-style tree without root decoration or sorting.
// It tells the window about every mouse click in it (on a row or not, after a check box click has
// taken effect), about Space toggling the current row's tick, and about local files and folders
// dropped onto it.
class DocumentListView : public QTreeWidget {
    Q_OBJECT

public:
    explicit DocumentListView(QWidget *parent = nullptr);

    // While false, drags are refused and nothing is dropped.
    void setDropsAccepted(bool accepted);
    bool dropsAccepted() const;

signals:
    void listClicked();
    void pathsDropped(const QStringList &localPaths);

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    static QStringList localPathsOf(const QMimeData *data);

    bool m_dropsAccepted = true;
};

} // namespace quenlith
