#pragma once

#include "app/Platform.h"

#include <QList>
#include <QQueue>
#include <functional>

// A Platform that records what the window asks and answers from scripts. processEvents runs
// Qt's pending events and then the test's hook, which can act in the middle of a command.
class FakePlatform : public quenlith::Platform {
public:
    QStringList openFiles(QWidget *owner, const QString &filter) override;
    QString browseForFolder(QWidget *owner, const QString &title) override;
    Answer messageBox(QWidget *owner, const Message &message) override;
    void shellOpen(const QString &pathOrUrl) override;
    void setBusyCursor(bool busy) override;
    void processEvents() override;
    void endProgram() override;

    // Scripted answers, taken in order; an empty queue answers "cancelled" / the default button.
    QQueue<QStringList> fileAnswers;
    QQueue<QString> folderAnswers;
    QQueue<Answer> messageAnswers;

    // Recorded calls.
    QStringList filters;
    QStringList folderTitles;
    QList<Message> messages;
    QStringList opened;
    QList<bool> busyCalls;
    int endProgramCalls = 0;
    int processEventsCalls = 0;

    // Runs after every processEvents; may throw to simulate a failure at that point.
    std::function<void()> onProcessEvents;
    // Runs when a message box is shown, before it is answered.
    std::function<void(const Message &)> onMessage;

    bool busy() const;
};
