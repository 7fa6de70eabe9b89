// The desktop's dialogs as the window's platform opens them, driven by keys and typed text.
#include "app/FileDialogs.h"
#include "tests/support/ScratchFolder.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

using quenlith::DocumentPickerDialog;
using quenlith::FolderPickerDialog;
namespace fs = std::filesystem;

namespace {

QString qpath(const fs::path &path)
{
    return QString::fromStdString(path.string());
}

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
    // A typed folder that does not exist yet is created and chosen; an existing one is chosen
    // as it is; Escape chooses nothing. The picker opens in its start folder.
    void folderPickerCreatesATypedFolder()
    {
        for (const QString &typed : { QStringLiteral("new/deeper"), QStringLiteral("old") }) {
            fs::create_directories(m_scratch.path() / "old");
            FolderPickerDialog dialog(
                nullptr, QStringLiteral("Choose Folder to Save..."), qpath(m_scratch.path()));
            QCOMPARE(dialog.directory().absolutePath(), qpath(m_scratch.path()));
            execWith(dialog, [&] {
                auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                QVERIFY(edit != nullptr);
                edit->setText(typed);
                QTest::keyClick(edit, Qt::Key_Return);
            });
            QCOMPARE(dialog.chosenFolder(), qpath(m_scratch.path() / typed.toStdString()));
            QVERIFY(fs::is_directory(m_scratch.path() / typed.toStdString()));
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

    // Ctrl+A selects the folders beside the documents; Return then chooses the documents.
    void documentPickerTakesTheFilesOfASelectAll()
    {
        const fs::path folder = m_scratch.path() / "docs";
        fs::create_directories(folder / "sub");
        for (const char *name : { "a.pdf", "B.PDF" })
            std::ofstream(folder / name) << "%PDF-1.4";
        DocumentPickerDialog dialog(nullptr, QStringLiteral("Adobe PDF Files (*.pdf)"));
        dialog.setDirectory(qpath(folder));
        execWith(dialog, [&] {
            dialog.selectFile(QStringLiteral("\"sub\" \"a.pdf\" \"B.PDF\""));
            QTest::keyClick(&dialog, Qt::Key_Return);
        });
        QStringList chosen = dialog.chosenFiles();
        chosen.sort();
        QCOMPARE(chosen, QStringList({ qpath(folder / "B.PDF"), qpath(folder / "a.pdf") }));
    }
};

QObject *newTestDialogs()
{
    return new TestDialogs;
}

#include "tst_dialogs.moc"
