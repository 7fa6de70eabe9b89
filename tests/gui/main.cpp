#include "app/Translations.h"

#include <QApplication>
#include <QTest>
#include <memory>

QObject *newTestMainWindow();
QObject *newTestRunAndFolderAdd();
QObject *newTestDialogs();

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    quenlith::installTranslations(QLocale(QLocale::English)); // whatever the machine's language
    int failed = 0;
    for (auto make : { newTestMainWindow, newTestRunAndFolderAdd, newTestDialogs })
        failed += QTest::qExec(std::unique_ptr<QObject>(make()).get(), argc, argv);
    return failed == 0 ? 0 : 1;
}
