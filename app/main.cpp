#include "app/QtPlatform.h"
#include "app/Translations.h"
#include "app/frmStep1.h"
#include "util/Error.h"

#include <QApplication>
#include <QFileInfo>
#include <QLocale>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quenlith"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quenlith"));
    QApplication::setApplicationVersion(QStringLiteral(QUENLITH_DISPLAY_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quenlith"));
    // The desktop's language (on Linux from LANGUAGE, LC_ALL, LC_MESSAGES or LANG).
    quenlith::installTranslations(QLocale::system());

    quenlith::QtPlatform platform;
    try {
        quenlith::frmStep1 window(platform);
        QApplication::setWindowIcon(window.windowIcon());
        window.show();
        // Documents and folders named on the command line (the desktop entry passes %F) are
        // added as if dropped onto the list, once the window is up.
        QStringList paths;
        for (const QString &argument : QApplication::arguments().mid(1))
            paths.append(QFileInfo(argument).absoluteFilePath());
        if (!paths.isEmpty())
            QMetaObject::invokeMethod(
                &window, [&window, paths] { window.ListView1_Drop(paths); }, Qt::QueuedConnection);
        return QApplication::exec();
    } catch (const quenlith::Error &e) {
        platform.messageBox(nullptr, quenlith::frmStep1::startupFailure(e));
        return 1;
    }
}
