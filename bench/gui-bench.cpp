// Times the window's two long commands on the offscreen platform, driven by a scripted platform:
// the folder add of <source-folder>, then the extraction of every row into <output-folder>.
//
//   QT_QPA_PLATFORM=offscreen quenlith-gui-bench [--hidden] <source-folder> <output-folder>
//
// Compare with `quenlith-cli list <source-folder>` and `quenlith-cli extract --jobs 1`.
#include "app/QtPlatform.h"
#include "app/frmStep1.h"
#include "doclist/DocumentListView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTreeWidget>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

namespace {

// The real platform (its event handling included) with the folder pickers answered from a
// script and the messages recorded instead of shown.
class ScriptedPlatform : public quenlith::QtPlatform {
public:
    QStringList folders;
    QStringList messages;

    QStringList openFiles(QWidget *, const QString &) override
    {
        return {};
    }
    QString browseForFolder(QWidget *, const QString &) override
    {
        return folders.isEmpty() ? QString() : folders.takeFirst();
    }
    Answer messageBox(QWidget *, const Message &message) override
    {
        messages.append(message.text);
        return Answer::Ok;
    }
    void shellOpen(const QString &) override
    {
    }
    void setBusyCursor(bool) override
    {
    }
    void endProgram() override
    {
    }
};

// Processor time of this process (user and system), in seconds: steadier than the wall clock on a
// busy machine.
double cpuSeconds()
{
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

std::uintmax_t filesBelow(const std::filesystem::path &folder)
{
    std::uintmax_t count = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder))
        count += entry.is_regular_file() ? 1 : 0;
    return count;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // --hidden: the window is not shown, so nothing is painted (to tell painting from the rest).
    const bool hidden = argc == 4 && std::string(argv[1]) == "--hidden";
    if (hidden) {
        --argc;
        ++argv;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s [--hidden] <source-folder> <output-folder>\n", argv[0]);
        return 2;
    }
    ScriptedPlatform platform;
    quenlith::frmStep1 window(platform);
    if (!hidden)
        window.show();
    QCoreApplication::processEvents();

    platform.folders = { QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]) };
    QElapsedTimer timer;
    timer.start();
    double cpuStart = cpuSeconds();
    window.CmdAddFolder_Click();
    const double addSeconds = timer.nsecsElapsed() / 1e9;
    const double addCpu = cpuSeconds() - cpuStart;
    const int rows = window.ListView1->topLevelItemCount();
    std::printf("folder add: %d documents in %.3f s (cpu %.3f s)\n", rows, addSeconds, addCpu);
    for (const QString &text : platform.messages)
        std::printf("  message: %s\n", qPrintable(QString(text).replace('\n', " | ")));
    platform.messages.clear();

    std::filesystem::create_directories(argv[2]);
    timer.restart();
    cpuStart = cpuSeconds();
    window.CmdProcess_Click();
    const double runSeconds = timer.nsecsElapsed() / 1e9;
    const double runCpu = cpuSeconds() - cpuStart;
    std::printf(
        "extraction: %ju files in %.3f s (cpu %.3f s)\n", filesBelow(argv[2]), runSeconds, runCpu);
    for (const QString &text : platform.messages)
        std::printf("  message: %s\n", qPrintable(QString(text).left(300).replace('\n', " | ")));
    return 0;
}
