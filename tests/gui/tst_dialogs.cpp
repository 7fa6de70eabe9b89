// The desktop's dialogs as the window's platform opens them, driven by keys and typed text.
#include "app/FileDialogs.h"
#include "app/QtPlatform.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/support/ScratchFolder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <filesystem>
#include <fstream>
#include <functional>

using guitest::qpath;
using quenlith::FolderPickerDialog;
namespace fs = std::filesystem;

namespace {

// Runs `act` on the dialog once its event loop runs, then closes it if `act` did not.
template <typename Dialog, typename Act> void execWith(Dialog &dialog, Act act)
{
    QTimer::singleShot(0, &dialog, [&] {
        act();
        if (dialog.isVisible())
            dialog.reject();
    });
    dialog.exec();
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

private:
    quenlith::fixtures::ScratchFolder m_scratch { "quenlith-dialogs" };

private slots:
    // A typed folder that does not exist yet is created and chosen, with Return as with the
    // Choose button; an existing one is chosen as it is; Escape chooses nothing. The picker opens
    // in its start folder.
    void folderPickerCreatesATypedFolder()
    {
        fs::create_directories(m_scratch.path() / "old");
        for (const auto &[typed, byButton] : { std::pair { "new/deeper", false },
                 std::pair { "made by Choose", true },
                 std::pair { "old", true } }) {
            FolderPickerDialog dialog(
                nullptr, QStringLiteral("Choose Folder to Save..."), qpath(m_scratch.path()));
            QCOMPARE(dialog.directory().absolutePath(), qpath(m_scratch.path()));
            QCOMPARE(dialog.size().expandedTo(quenlith::FileDialogSize), dialog.size());
            execWith(dialog, [&, byButton = byButton, typed = typed] {
                auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                auto *buttons = dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
                QVERIFY(edit != nullptr && buttons != nullptr);
                QTest::keyClicks(edit, QString::fromUtf8(typed));
                if (!byButton)
                    return QTest::keyClick(edit, Qt::Key_Return);
                QPushButton *choose = buttons->button(QDialogButtonBox::Open);
                QVERIFY(choose->isEnabled());
                QTest::mouseClick(choose, Qt::LeftButton);
            });
            QCOMPARE(dialog.chosenFolder(), qpath(m_scratch.path() / typed));
            QVERIFY(fs::is_directory(m_scratch.path() / typed));
        }
        FolderPickerDialog cancelled(nullptr, QStringLiteral("x"), QString());
        execWith(cancelled, [&] { QTest::keyClick(&cancelled, Qt::Key_Escape); });
        QCOMPARE(cancelled.chosenFolder(), QString());
    }

    // The password dialog gives the typed password and the "for all" tick on Return; Escape
    // skips.
    void passwordDialog()
    {
        quenlith::PasswordDialog dialog(nullptr, QStringLiteral("a.pdf"));
        execWith(dialog, [&] {
            auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("password"));
            QVERIFY(edit != nullptr && edit->echoMode() == QLineEdit::Password);
            QTest::keyClicks(edit, QStringLiteral("s3cret"));
            dialog.findChild<QCheckBox *>(QStringLiteral("forAll"))->setChecked(true);
            QTest::keyClick(edit, Qt::Key_Return);
        });
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.password(), QStringLiteral("s3cret"));
        QVERIFY(dialog.forAllRemaining());
        quenlith::PasswordDialog skipped(nullptr, QStringLiteral("b.pdf"));
        execWith(skipped, [&] { QTest::keyClick(&skipped, Qt::Key_Escape); });
        QCOMPARE(skipped.result(), int(QDialog::Rejected));
    }

    // The real message box shows the icon asked for, has the asked default button, answers
    // Extra for the extra button and No for Escape on a question.
    void messageBoxes()
    {
        quenlith::QtPlatform platform;
        using P = quenlith::Platform;
        struct Row {
            P::Message message;
            std::function<void(QMessageBox &)> act;
            P::Answer answer;
        };
        const P::Message question {
            "Go on?", "Quenlith", P::Icon::Question, P::Buttons::YesNo, P::Answer::No, {}, {}
        };
        const P::Message done { "Done.",
            "Quenlith",
            P::Icon::Warning,
            P::Buttons::Ok,
            P::Answer::Ok,
            "details",
            "Save Report..." };
        const std::vector<Row> rows = {
            { question,
                [](QMessageBox &box) {
                    QCOMPARE(box.icon(), QMessageBox::Question);
                    QVERIFY(box.defaultButton() == box.button(QMessageBox::No));
                    QTest::keyClick(&box, Qt::Key_Escape);
                },
                P::Answer::No },
            { question,
                [](QMessageBox &box) { box.button(QMessageBox::Yes)->click(); },
                P::Answer::Yes },
            { done,
                [](QMessageBox &box) {
                    QCOMPARE(box.icon(), QMessageBox::Warning);
                    QCOMPARE(box.detailedText(), QStringLiteral("details"));
                    for (QAbstractButton *button : box.buttons())
                        if (button->text() == QStringLiteral("Save Report..."))
                            button->click();
                },
                P::Answer::Extra },
        };
        for (const Row &row : rows) {
            QTimer::singleShot(0, [&] {
                auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                QVERIFY(box != nullptr);
                row.act(*box);
                if (box->isVisible())
                    box->reject();
            });
            QCOMPARE(platform.messageBox(nullptr, row.message), row.answer);
        }
    }

    // The open-file dialog opens in detail view, wide enough for the name, size, type and date
    // columns, in the folder it was last used in. Ctrl+A selects the folders beside the
    // documents; Return then chooses the documents.
    void documentPicker()
    {
        const fs::path folder = m_scratch.path() / "docs";
        fs::create_directories(folder / "sub");
        for (const char *name : { "a.pdf", "B.PDF" })
            std::ofstream(folder / name) << "%PDF-1.4";
        quenlith::QtPlatform platform;
        QString startedIn;
        const auto answer = [&](bool pick) {
            QTimer::singleShot(0, [&, pick] {
                auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                QVERIFY(dialog != nullptr && dialog->viewMode() == QFileDialog::Detail);
                startedIn = dialog->directory().absolutePath();
                const QHeaderView *header
                    = dialog->findChild<QTreeView *>(QStringLiteral("treeView"))->header();
                QVERIFY(header->sectionViewportPosition(3) + header->sectionSize(3)
                    <= header->viewport()->width());
                if (pick) {
                    dialog->setDirectory(qpath(folder));
                    dialog->selectFile(QStringLiteral("\"sub\" \"a.pdf\" \"B.PDF\""));
                    QTest::keyClick(dialog, Qt::Key_Return);
                }
                if (dialog->isVisible())
                    dialog->reject();
            });
        };
        const QString filter = QStringLiteral("Adobe PDF Files (*.pdf)");
        answer(true);
        QStringList chosen = platform.openFiles(nullptr, filter);
        chosen.sort();
        QCOMPARE(chosen, QStringList({ qpath(folder / "B.PDF"), qpath(folder / "a.pdf") }));
        answer(false);
        QVERIFY(platform.openFiles(nullptr, filter).isEmpty());
        QCOMPARE(startedIn, qpath(folder));
    }
};

QObject *newTestDialogs()
{
    return new TestDialogs;
}

#include "tst_dialogs.moc"
