// Takes the screenshots of the manual and the README from the real window: a list of generated
// documents, a run in progress, the completion message with a failure summary, and the wait
// notice of a slow document.
//
//   gui_screenshots <output-folder>      (run under Xvfb or on a desktop for the real style)
//   gui_screenshots --big <document> <output-folder>
//       extracts one document, typically with large attachments, so that the progress can be
//       pictured from outside (e.g. `import -window root` under Xvfb), and keeps the completion
//       message open with its details shown for a few seconds.
//   The window speaks the language of the system locale, as the program does.
#include "app/QtPlatform.h"
#include "app/Translations.h"
#include "app/frmStep1.h"
#include "doclist/DocumentListModel.h"
#include "tests/gui/GuiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QProgressBar>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>
#include <utility>

namespace {

// The real message boxes, grabbed and closed as soon as they are shown; folders from a script.
class ScreenshotPlatform : public quenlith::QtPlatform {
public:
    QStringList folders;
    QStringList files; // the answer of the next open-file dialog
    QString boxShot; // file to save the next message box to; empty: no picture
    bool showDetails = false; // opens a message box's details before its picture
    int holdMilliseconds = 0; // how long a message box stays open after its picture

    QStringList openFiles(QWidget *, const QString &) override
    {
        return std::exchange(files, {});
    }

    QString browseForFolder(QWidget *, const QString &, const QString &) override
    {
        return folders.isEmpty() ? QString() : folders.takeFirst();
    }
    Answer messageBox(QWidget *owner, const Message &message) override
    {
        const QString file = std::exchange(boxShot, QString());
        QTimer::singleShot(300, [this, file] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            for (QAbstractButton *button : box->buttons()) {
                if (showDetails && button->text().startsWith(QStringLiteral("Show Details")))
                    button->click();
            }
            if (!file.isEmpty())
                box->grab().save(file);
            QTimer::singleShot(holdMilliseconds, box, &QMessageBox::accept);
        });
        return QtPlatform::messageBox(owner, message);
    }
    bool shellOpen(const QString &) override
    {
        return true;
    }
};

// One document extracted into `output`, slowly enough to be watched from outside the program.
int extractOne(const QString &document, const QString &output)
{
    ScreenshotPlatform platform;
    quenlith::frmStep1 window(platform);
    window.show();
    QCoreApplication::processEvents();
    platform.files = { document };
    window.cmdAdd_Click();
    platform.folders = { output };
    platform.showDetails = true;
    platform.holdMilliseconds = 5000;
    window.CmdProcess_Click();
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    quenlith::installTranslations(QLocale::system()); // LANGUAGE=de takes the German pictures
    if (argc == 4 && std::strcmp(argv[1], "--big") == 0)
        return extractOne(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (argc != 2) {
        std::fprintf(
            stderr, "usage: %s <output-folder> | --big <document> <output-folder>\n", argv[0]);
        return 2;
    }
    const QString shots = QString::fromLocal8Bit(argv[1]);
    quenlith::fixtures::ScratchFolder scratch("quenlith-shots");
    const auto source = scratch.path() / "Invoices 2024";
    const char *names[] = { "January statement.pdf",
        "February statement.pdf",
        "Supplier order 1187.pdf",
        "Tax return.pdf",
        "Delivery notes.pdf",
        "Contract scan.pdf",
        "Annual report.PDF" };
    int count = 1;
    for (const char *name : names)
        guitest::writeDocument(source / "2024" / name, count++ % 4 + 1);
    std::ofstream(source / "2024" / "Old backup.pdf") << "%PDF-1.4 damaged";

    ScreenshotPlatform platform;
    quenlith::frmStep1 window(platform);
    window.setFileSystemFactory([] { return std::make_unique<guitest::SortedFileSystem>(); });
    window.show();
    QCoreApplication::processEvents();

    platform.folders = { guitest::qpath(source) };
    window.CmdAddFolder_Click();
    window.ListView1->expand(window.ListView1->model()->index(1, 0)); // what one document holds
    do {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        QCoreApplication::processEvents();
    } while (window.ListView1->documents().isReading());
    window.grab().save(shots + "/screenshot.png");

    const auto out = scratch.path() / "Extracted";
    std::filesystem::create_directories(out);
    platform.folders = { guitest::qpath(out) };
    platform.boxShot = shots + "/screenshot-summary.png";
    bool taken = false;
    QObject::connect(window.ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
        if (!taken && value >= 50) {
            taken = true;
            window.grab().save(shots + "/screenshot-run.png");
        }
    });
    window.CmdProcess_Click();

    // A slow document: the wait notice names it while the window stays live.
    const auto slowOut = scratch.path() / "Extracted again";
    std::filesystem::create_directories(slowOut);
    platform.folders = { guitest::qpath(slowOut) };
    std::atomic<int> calls { 0 };
    window.setBeforeLongCall([&calls] {
        if (calls++ == 2) // the folder assignment, the first document, then this one
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    });
    bool waitTaken = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!waitTaken && window.FrameWait->isVisible()) {
            waitTaken = true;
            window.grab().save(shots + "/screenshot-wait.png");
        }
    });
    poll.start(50);
    window.CmdProcess_Click();
    return 0;
}
