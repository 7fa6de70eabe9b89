#pragma once

#include "app/Platform.h"

#include <QElapsedTimer>

namespace quenlith {

// The Platform on a real desktop: QFileDialog, QMessageBox, QDesktopServices and the override
// cursor of QApplication.
class QtPlatform : public Platform {
public:
    QStringList openFiles(QWidget *owner, const QString &filter) override;
    QString browseForFolder(
        QWidget *owner, const QString &title, const QString &startFolder) override;
    QString saveFile(QWidget *owner,
        const QString &title,
        const QString &filters,
        const QString &proposed,
        QString &chosenFilter) override;
    Answer messageBox(QWidget *owner, const Message &message) override;
    PasswordAnswer askPassword(
        QWidget *owner, const QString &documentName, bool lastWasWrong) override;
    bool shellOpen(const QString &pathOrUrl) override;
    void setBusyCursor(bool busy) override;
    // Runs pending events at most every EventInterval milliseconds: painting a list of thousands
    // of rows after every item would cost more than the items themselves, and 50 times a second
    // keeps the window as responsive as a person can tell.
    void processEvents(const std::function<void()> &beforeEvents, Events due) override;
    qint64 millisecondsUntilEventsDue() const override;
    void endProgram() override;

    static constexpr qint64 EventInterval = 20;

private:
    QElapsedTimer m_sinceEvents;
    qint64 m_lastEventsCost = 0; // milliseconds the last events took
    QString m_openFolder; // where the open-file dialog was last used
};

} // namespace quenlith
