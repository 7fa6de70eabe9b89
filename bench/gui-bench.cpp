// Times the window's two long commands on the offscreen platform, driven by a scripted platform:
// the folder add of <source-folder>, then the extraction of every row into <output-folder>.
//
//   QT_QPA_PLATFORM=offscreen quenlith-gui-bench [--hidden] [--add-only] <source-folder>
//   <output-folder>
//
// Compare with `quenlith-cli list <source-folder>` and `quenlith-cli extract --jobs 1`. Each
// command also reports the longest time the window's event loop went without running its
// events ("max event-loop stall"), measured by a timer on the window's thread: above about 100 ms
// a window feels frozen. bench/gui-stall.sh runs it on a large and on a slow set of documents.
#include "app/QtPlatform.h"
#include "app/frmStep1.h"
#include "doclist/DocumentListModel.h"
#include "doclist/DocumentListView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <time.h>

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
    QString browseForFolder(QWidget *, const QString &, const QString &) override
    {
        return folders.isEmpty() ? QString() : folders.takeFirst();
    }
    Answer messageBox(QWidget *, const Message &message) override
    {
        messages.append(message.text);
        return Answer::Ok;
    }
    bool shellOpen(const QString &) override
    {
        return true;
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

// Records the longest gap between two ticks of a 5 ms timer on the window's thread: the time the
// window could not react to anything.
class StallProbe {
public:
    StallProbe()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 gap = m_since.restart();
            const double cpu = threadCpuMilliseconds();
            m_worstCpu = std::max(m_worstCpu, cpu - m_cpuAtTick);
            m_cpuAtTick = cpu;
            if (gap >= LongStall)
                ++m_long;
            if (gap > m_worst) {
                m_worst = gap;
                m_worstEnd = m_sinceStart.elapsed();
            }
        });
    }
    // A stall the window's user would notice.
    static constexpr qint64 LongStall = 50;

    void start()
    {
        m_long = 0;
        m_worst = 0;
        m_worstCpu = 0;
        m_cpuAtTick = threadCpuMilliseconds();
        m_worstEnd = 0;
        m_since.start();
        m_sinceStart.start();
        m_timer.start();
    }
    qint64 stop()
    {
        m_timer.stop();
        m_long += m_since.elapsed() >= LongStall ? 1 : 0;
        m_worstCpu = std::max(m_worstCpu, threadCpuMilliseconds() - m_cpuAtTick);
        if (m_since.elapsed() > m_worst) {
            m_worst = m_since.elapsed();
            m_worstEnd = m_sinceStart.elapsed();
        }
        return m_worst;
    }
    // When the longest stall ended, in seconds from start(): tells a stall at the start or the
    // end of a command from one in its midst.
    double worstEnd() const
    {
        return static_cast<double>(m_worstEnd) / 1000;
    }
    // The most processor time the window's thread spent between two ticks, in milliseconds: the
    // stall that its own work makes, without the time it waited for a core on a busy machine.
    double worstWork() const
    {
        return m_worstCpu;
    }
    // How many stalls lasted LongStall or longer.
    int longStalls() const
    {
        return m_long;
    }

private:
    static double threadCpuMilliseconds()
    {
        timespec now {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
    }

    QTimer m_timer;
    QElapsedTimer m_since;
    QElapsedTimer m_sinceStart;
    qint64 m_worst = 0;
    qint64 m_worstEnd = 0;
    int m_long = 0;
    double m_worstCpu = 0;
    double m_cpuAtTick = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // --hidden: the window is not shown, so nothing is painted (to tell painting from the rest).
    // --add-only: the folder add without the extraction run.
    bool hidden = false;
    bool addOnly = false;
    while (argc > 1 && argv[1][0] == '-') {
        const std::string flag = argv[1];
        if (flag == "--hidden")
            hidden = true;
        else if (flag == "--add-only")
            addOnly = true;
        else
            break;
        --argc;
        ++argv;
    }
    if (argc != 3) {
        std::fprintf(
            stderr, "usage: %s [--hidden] [--add-only] <source-folder> <output-folder>\n", argv[0]);
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
    StallProbe probe;
    probe.start();
    window.CmdAddFolder_Click();
    const double addSeconds = timer.nsecsElapsed() / 1e9;
    const double addCpu = cpuSeconds() - cpuStart;
    // Stopped before anything else is done, and each value read in order: printf's arguments
    // are evaluated in no fixed order.
    const qint64 addStall = probe.stop();
    const double addStallEnd = probe.worstEnd();
    const int addLongStalls = probe.longStalls();
    const double addWork = probe.worstWork();
    const int rows = window.ListView1->model()->rowCount();
    std::printf("folder add: %d documents in %.3f s (cpu %.3f s), max event-loop stall: %lld ms "
                "(ending at %.2f s; %d of %lld ms or more; most work without events: %.0f ms)\n",
        rows,
        addSeconds,
        addCpu,
        static_cast<long long>(addStall),
        addStallEnd,
        addLongStalls,
        static_cast<long long>(StallProbe::LongStall),
        addWork);
    for (const QString &text : platform.messages)
        std::printf("  message: %s\n", qPrintable(QString(text).replace('\n', " | ")));
    platform.messages.clear();
    if (addOnly)
        return 0;

    std::filesystem::create_directories(argv[2]);
    timer.restart();
    cpuStart = cpuSeconds();
    probe.start();
    window.CmdProcess_Click();
    const double runSeconds = timer.nsecsElapsed() / 1e9;
    const double runCpu = cpuSeconds() - cpuStart;
    const qint64 runStall = probe.stop();
    const double runStallEnd = probe.worstEnd();
    const int runLongStalls = probe.longStalls();
    const double runWork = probe.worstWork();
    std::printf(
        "extraction: %ju files in %.3f s (cpu %.3f s), max event-loop stall: %lld ms (ending at "
        "%.2f s; %d of %lld ms or more; most work without events: %.0f ms)\n",
        filesBelow(argv[2]),
        runSeconds,
        runCpu,
        static_cast<long long>(runStall),
        runStallEnd,
        runLongStalls,
        static_cast<long long>(StallProbe::LongStall),
        runWork);
    for (const QString &text : platform.messages)
        std::printf("  message: %s\n", qPrintable(QString(text).left(300).replace('\n', " | ")));
    return 0;
}
