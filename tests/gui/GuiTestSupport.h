#pragma once

// What every GUI test needs: the window and its widgets, QtTest, a fake platform, fixtures.
#include "app/frmStep1.h"
#include "doclist/DocumentListModel.h"
#include "doclist/DocumentListView.h"
#include "scan/StdFileSystemService.h"
#include "tests/support/PdfFixtures.h"
#include "tests/support/ScratchFolder.h"
#include "util/Error.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QQueue>
#include <QTest>
#include <fstream>

// Verifies that the text `text` contains `part`, showing the text when it does not.
#define QVERIFY_CONTAINS(text, part) QVERIFY2((text).contains(part), qPrintable(text))

namespace guitest {

// A Platform that records what the window asks and answers from scripts (empty: cancel or default
// button); processEvents then runs the test's hook, which can act or throw mid-command.
class FakePlatform : public quenlith::Platform {
public:
    QStringList openFiles(QWidget *, const QString &filter) override
    {
        filters.append(filter);
        return fileAnswers.isEmpty() ? QStringList() : fileAnswers.dequeue();
    }
    QString browseForFolder(QWidget *, const QString &title, const QString &startFolder) override
    {
        folderTitles.append(title);
        folderStarts.append(startFolder);
        return folderAnswers.isEmpty() ? QString() : folderAnswers.dequeue();
    }
    QString saveFile(QWidget *,
        const QString &title,
        const QString &filterList,
        const QString &proposed,
        QString &chosenFilter) override
    {
        saveTitles.append(title + QLatin1Char('|') + filterList);
        saveProposals.append(proposed);
        if (saveAnswers.isEmpty()) {
            chosenFilter.clear();
            return {};
        }
        const auto [path, filter] = saveAnswers.dequeue();
        chosenFilter = filter;
        return path;
    }
    PasswordAnswer askPassword(QWidget *, const QString &documentName, bool lastWasWrong) override
    {
        passwordsAsked.append(documentName + (lastWasWrong ? " again" : ""));
        return passwordAnswers.isEmpty() ? PasswordAnswer() : passwordAnswers.dequeue();
    }
    Answer messageBox(QWidget *, const Message &message) override
    {
        messages.append(message);
        const Answer byDefault
            = message.buttons == Buttons::Ok ? Answer::Ok : message.defaultButton;
        return messageAnswers.isEmpty() ? byDefault : messageAnswers.dequeue();
    }
    bool shellOpen(const QString &pathOrUrl) override
    {
        opened.append(pathOrUrl);
        return shellOpenWorks;
    }
    void setBusyCursor(bool busy) override
    {
        busyCalls.append(busy);
    }
    void processEvents(const std::function<void()> &beforeEvents, Events) override
    {
        if (beforeEvents)
            beforeEvents();
        QCoreApplication::processEvents();
        if (onProcessEvents)
            onProcessEvents();
    }
    void endProgram() override
    {
        ++endProgramCalls;
    }

    QQueue<QStringList> fileAnswers;
    QQueue<QString> folderAnswers;
    QQueue<Answer> messageAnswers;
    QQueue<PasswordAnswer> passwordAnswers;
    QStringList passwordsAsked;
    QQueue<std::pair<QString, QString>> saveAnswers; // path, chosen filter
    QStringList saveTitles;
    QStringList saveProposals;

    QStringList filters;
    QStringList folderTitles;
    QStringList folderStarts;
    bool shellOpenWorks = true;
    QList<Message> messages;
    QStringList opened;
    QList<bool> busyCalls;
    int endProgramCalls = 0;
    std::function<void()> onProcessEvents;
};

// The real file system with every listing sorted by name, so that a scan's order is known.
// Folders named "locked" cannot be listed ("Permission denied").
class SortedFileSystem : public quenlith::StdFileSystemService {
public:
    std::vector<std::string> subFolderNames(const std::string &folder) override;
    std::vector<std::string> fileNames(const std::string &folder) override;
};

QString qpath(const std::filesystem::path &path);

// Writes a document with `count` small attachments "<stem>-<i>.txt".
std::filesystem::path writeDocument(const std::filesystem::path &path, int count);

// Files below `folder`, relative, sorted; includes unfinished ".part" files.
QStringList filesBelow(const std::filesystem::path &folder);

// A document row of the list, or an attachment line under one, read through the list's model
// with the names of the item API; `row->text(1)` reads as `row.text(1)`.
class ListRow {
public:
    ListRow(const quenlith::DocumentListView &list, const QModelIndex &index);
    const ListRow *operator->() const
    {
        return this;
    }
    QModelIndex index() const
    {
        return m_index;
    }
    QString text(int column) const;
    QString toolTip(int column) const;
    QIcon icon(int column) const;
    Qt::CheckState checkState(int column) const;
    void setCheckState(int column, Qt::CheckState state) const;
    Qt::ItemFlags flags() const;
    // Expands the row and waits until its lines have been read.
    void setExpanded(bool expanded) const;
    int childCount() const;
    ListRow child(int index) const;

private:
    QVariant data(int column, int role) const;
    const quenlith::DocumentListView *m_list;
    QModelIndex m_index;
};

// Base of the GUI test classes: every test function gets a fresh fake platform and a shown window
// on it, scanning with SortedFileSystem.
class WindowTest : public QObject {
    Q_OBJECT

protected:
    quenlith::fixtures::ScratchFolder m_scratch { "quenlith-gui" }; // for the whole class
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<quenlith::frmStep1> m_window;

    // Adds `paths` as one batch with the file dialog.
    void addFiles(const std::vector<std::filesystem::path> &paths);
    ListRow row(int index) const;
    int listRows() const; // the rows of the document list
    // The texts of the rows, top to bottom, of column `column`, and their ticks.
    QStringList column(int column) const;
    QList<bool> ticks() const;
    // The texts of the message boxes shown, in order, without a completion message's paragraph
    // of output folder and counts; a title other than "Quenlith" goes in front.
    QStringList shown() const;

private slots:
    void init();
};

} // namespace guitest
