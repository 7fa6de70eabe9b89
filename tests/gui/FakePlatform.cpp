#include "tests/gui/FakePlatform.h"

#include <QCoreApplication>

QStringList FakePlatform::openFiles(QWidget *, const QString &filter)
{
    filters.append(filter);
    return fileAnswers.isEmpty() ? QStringList() : fileAnswers.dequeue();
}

QString FakePlatform::browseForFolder(QWidget *, const QString &title)
{
    folderTitles.append(title);
    return folderAnswers.isEmpty() ? QString() : folderAnswers.dequeue();
}

quenlith::Platform::Answer FakePlatform::messageBox(QWidget *, const Message &message)
{
    messages.append(message);
    if (onMessage)
        onMessage(message);
    if (!messageAnswers.isEmpty())
        return messageAnswers.dequeue();
    return message.buttons == Buttons::Ok ? Answer::Ok : message.defaultButton;
}

void FakePlatform::shellOpen(const QString &pathOrUrl)
{
    opened.append(pathOrUrl);
}

void FakePlatform::setBusyCursor(bool isBusy)
{
    busyCalls.append(isBusy);
}

void FakePlatform::processEvents()
{
    ++processEventsCalls;
    QCoreApplication::processEvents();
    if (onProcessEvents)
        onProcessEvents();
}

void FakePlatform::endProgram()
{
    ++endProgramCalls;
}

bool FakePlatform::busy() const
{
    return busyCalls.count(true) > busyCalls.count(false);
}
