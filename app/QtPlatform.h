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
    // keeps the window as responsive as a person can tell. `beforeEvents` keeps a pace of its own
    // (see updateDue), so that a slow update does not hold up the events in between.
    void processEvents(const std::function<void()> &beforeEvents, Events due) override;
    qint64 millisecondsUntilEventsDue() const override;
    void endProgram() override;

    static constexpr qint64 EventInterval = 20;

private:
    // Whether `beforeEvents` runs with the events that are due now: the update brings a view up
    // to date, which at 100,000 rows lays out the whole list (tens of milliseconds). Each kind
    // of work takes a third of the time at most, paced by its own cost: events every
    // EventInterval keep the window answering while the next update waits its turn.
    bool updateDue() const;

    QElapsedTimer m_sinceEvents;
    qint64 m_lastEventsCost = 0; // milliseconds the last events took
    QElapsedTimer m_sinceUpdate;
    qint64 m_lastUpdateCost = 0; // milliseconds the last beforeEvents took
    QString m_openFolder; // where the open-file dialog was last used
};

} // namespace quenlith
