// Drag and drop, cancelling a run, and the keyboard.
#include "doclist/DocumentListView.h"
#include "tests/gui/GuiTestSupport.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <fstream>

using namespace guitest;
using quenlith::frmStep1;
using quenlith::Platform;
namespace fs = std::filesystem;

class TestDesktop : public QObject {
    Q_OBJECT

private:
    quenlith::fixtures::ScratchFolder m_scratch { "quenlith-gui-desktop" };

    // Sends a drag-enter and a drop of `paths` to the list; true when the drop was accepted.
    static bool drop(frmStep1 &window, const QStringList &paths)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString &path : paths)
            urls.append(QUrl::fromLocalFile(path));
        data.setUrls(urls);
        QWidget *target = window.ListView1->viewport();
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropEvent(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropEvent);
        QCoreApplication::processEvents(); // the drop is handled queued
        return dropEvent.isAccepted();
    }

private slots:
    void droppedFilesAndFolders()
    {
        const fs::path folder = m_scratch.path() / "dropped";
        writeDocument(folder / "tree" / "t1.pdf", 1);
        writeDocument(folder / "tree" / "sub" / "t2.pdf", 2);
        std::ofstream(folder / "tree" / "skip.txt") << "x";
        writeDocument(folder / "single.PDF", 3);
        std::ofstream(folder / "notes.txt") << "x";
        std::ofstream(folder / "image.png") << "x";

        FakePlatform platform;
        auto window = makeWindow(platform);
        QVERIFY(drop(*window,
            { qpath(folder / "tree"),
                qpath(folder / "single.PDF"),
                qpath(folder / "notes.txt"),
                qpath(folder / "image.png") }));
        QCOMPARE(column(*window, 1), QStringList({ "single.PDF", "t2.pdf", "t1.pdf" }));
        QCOMPARE(column(*window, 0), QStringList({ "3", "2", "1" }));
        QCOMPARE(ticks(*window), QList<bool>({ true, true, true }));
        QCOMPARE(window->lblCount->text(), QStringLiteral("3 PDF Documents Added"));
        QVERIFY(window->CmdProcess->isEnabled());
        QVERIFY(platform.folderTitles.isEmpty());
        QCOMPARE(platform.messages.size(), 1);
        const QString text = platform.messages.first().text;
        QVERIFY2(
            text.startsWith(QStringLiteral("3 PDF Documents Added to List.")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("2 dropped files were ignored")), qPrintable(text));
        QCOMPARE(platform.busyCalls, QList<bool>({ true, false }));
    }

    void dropsAreRefusedDuringARun()
    {
        const fs::path folder = m_scratch.path() / "refused";
        writeDocument(folder / "one.pdf", 1);
        writeDocument(folder / "two.pdf", 1);
        const fs::path out = m_scratch.path() / "out-refused";
        fs::create_directories(out);
        FakePlatform platform;
        auto window = makeWindow(platform);
        platform.fileAnswers.enqueue({ qpath(folder / "one.pdf") });
        window->cmdAdd_Click();
        bool accepted = true;
        bool tried = false;
        platform.onProcessEvents = [&] {
            if (window->isRunInProgress() && !tried) {
                tried = true;
                accepted = drop(*window, { qpath(folder / "two.pdf") });
                window->ListView1_Drop({ qpath(folder / "two.pdf") });
            }
        };
        platform.folderAnswers.enqueue(qpath(out));
        window->CmdProcess_Click();
        platform.onProcessEvents = nullptr;
        QVERIFY(tried);
        QVERIFY(!accepted);
        QCOMPARE(column(*window, 1), QStringList({ "one.pdf" }));
        QVERIFY(window->ListView1->dropsAccepted());
    }

    void cancelStopsAfterTheCurrentAttachment_data()
    {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("Cancel button") << false;
        QTest::newRow("Escape key") << true;
    }

    void cancelStopsAfterTheCurrentAttachment()
    {
        QFETCH(bool, byEscape);
        const fs::path docs = m_scratch.path() / (byEscape ? "cancel-esc" : "cancel-button");
        const fs::path out = m_scratch.path() / (byEscape ? "out-cancel-esc" : "out-cancel-button");
        fs::create_directories(out);
        for (const char *name : { "d1.pdf", "d2.pdf", "d3.pdf" })
            writeDocument(docs / name, 2);
        FakePlatform platform;
        auto window = makeWindow(platform);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        platform.fileAnswers.enqueue(
            { qpath(docs / "d1.pdf"), qpath(docs / "d2.pdf"), qpath(docs / "d3.pdf") });
        window->cmdAdd_Click();

        // Rows: d3, d2, d1. Cancel once the first attachment of d2 is written.
        bool cancelShown = false;
        platform.onProcessEvents = [&] {
            if (!window->isRunInProgress() || !fs::exists(out / "d2" / "d2-1.txt") || cancelShown)
                return;
            cancelShown = window->cmdCancel->isVisible();
            if (byEscape)
                QTest::keyClick(window.get(), Qt::Key_Escape);
            else
                QTest::mouseClick(window->cmdCancel, Qt::LeftButton);
        };
        platform.folderAnswers.enqueue(qpath(out));
        window->CmdProcess_Click();
        platform.onProcessEvents = nullptr;

        QVERIFY(cancelShown);
        QVERIFY(window->cmdCancel->isHidden());
        QCOMPARE(filesBelow(out), QStringList({ "d2/d2-1.txt", "d3/d3-1.txt", "d3/d3-2.txt" }));
        QCOMPARE(platform.messages.size(), 1);
        const QString text = platform.messages.first().text;
        QVERIFY2(text.startsWith(QStringLiteral("PDF Attachments Extraction - Cancelled !")),
            qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("1 of 3 documents were done.")), qPrintable(text));
        QCOMPARE(platform.opened, QStringList({ qpath(out) + "/" }));
        for (QPushButton *button :
            { window->CmdProcess, window->cmdAdd, window->CmdAddFolder, window->cmdClear1 })
            QVERIFY(button->isEnabled());

        // The next run is not cancelled.
        const fs::path again = m_scratch.path() / (byEscape ? "out-again-esc" : "out-again-button");
        platform.folderAnswers.enqueue(qpath(again));
        window->CmdProcess_Click();
        QCOMPARE(filesBelow(again).size(), 6);
        QCOMPARE(platform.messages.last().text,
            QStringLiteral("PDF Attachments Extraction - Completed !"));
    }

    void spaceTogglesTheCurrentRow()
    {
        const fs::path folder = m_scratch.path() / "keyboard";
        writeDocument(folder / "k1.pdf", 1);
        writeDocument(folder / "k2.pdf", 1);
        FakePlatform platform;
        auto window = makeWindow(platform);
        platform.fileAnswers.enqueue({ qpath(folder / "k1.pdf"), qpath(folder / "k2.pdf") });
        window->cmdAdd_Click();
        window->ListView1->setFocus();
        window->ListView1->setCurrentItem(window->ListView1->topLevelItem(0));
        QTest::keyClick(window->ListView1, Qt::Key_Space);
        QCOMPARE(ticks(*window), QList<bool>({ false, true }));
        QTest::keyClick(window->ListView1, Qt::Key_Down);
        QTest::keyClick(window->ListView1, Qt::Key_Space);
        QCOMPARE(ticks(*window), QList<bool>({ false, false }));
        QVERIFY2(!window->CmdProcess->isEnabled(), "the button follows the ticks");
        QTest::keyClick(window->ListView1, Qt::Key_Space);
        QVERIFY(window->CmdProcess->isEnabled());
        // Delete removes nothing.
        QTest::keyClick(window->ListView1, Qt::Key_Delete);
        QCOMPARE(window->ListView1->topLevelItemCount(), 2);
    }

    void accessibleNamesAreCaptions()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        QCOMPARE(window->cmdCancel->accessibleName(), QStringLiteral("Cancel"));
        QCOMPARE(window->CmdProcess->accessibleName(), QStringLiteral("Extract Attachments"));
        QCOMPARE(window->cmdEnd->accessibleName(), QStringLiteral("Exit"));
        QCOMPARE(window->CmdHelp->accessibleName(), QStringLiteral("Help Manual"));
        QCOMPARE(window->ChkSelectAll->accessibleName(), QStringLiteral("Select All"));
        QCOMPARE(window->Frame1->accessibleName(), QStringLiteral("Extraction Details"));
        QVERIFY(!window->ListView1->accessibleName().isEmpty());
        QVERIFY(!window->ProgressBar1->accessibleName().isEmpty());
    }

    void accessKeysRunTheCommands()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_H, Qt::AltModifier);
        // A mnemonic clicks its button after a short animation.
        QTRY_COMPARE(platform.opened.size() + platform.messages.size(), 1);
        // Alt+X: the extraction button is disabled, so the exit button takes it.
        platform.messageAnswers.enqueue(Platform::Answer::No);
        QTest::keyClick(window.get(), Qt::Key_X, Qt::AltModifier);
        QTRY_VERIFY(!platform.messages.isEmpty());
        QCOMPARE(
            platform.messages.last().text, QStringLiteral("Are you sure you want to exit now?"));
    }
};

QObject *newTestDesktop()
{
    return new TestDesktop;
}

#include "tst_desktop.moc"
