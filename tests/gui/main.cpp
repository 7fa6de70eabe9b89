// Runs every GUI test class on the platform of QT_QPA_PLATFORM (offscreen in CTest).
// "gui_test TestDesktop [QtTest options]" runs one class.
#include <QApplication>
#include <QTest>
#include <cstring>
#include <memory>
#include <vector>

QObject *newTestMainWindow();
QObject *newTestRunAndFolderAdd();
QObject *newTestDesktop();

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Closing a test window must not end the test program.
    QApplication::setQuitOnLastWindowClosed(false);
    std::vector<char *> args(argv, argv + argc);
    const char *only = nullptr;
    if (args.size() > 1 && std::strncmp(args[1], "Test", 4) == 0) {
        only = args[1];
        args.erase(args.begin() + 1);
    }
    int failed = 0;
    for (auto make : { newTestMainWindow, newTestRunAndFolderAdd, newTestDesktop }) {
        std::unique_ptr<QObject> test(make());
        if (only != nullptr && std::strcmp(test->metaObject()->className(), only) != 0)
            continue;
        failed += QTest::qExec(test.get(), static_cast<int>(args.size()), args.data());
    }
    return failed == 0 ? 0 : 1;
}
