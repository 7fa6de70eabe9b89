#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

namespace quenlith {

namespace {

// Children of the application object, so that they go with it; replaced on the next call.
QPointer<QTranslator> ownTexts;
QPointer<QTranslator> qtTexts;

QTranslator *replace(QPointer<QTranslator> &installed)
{
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
    }
    installed = new QTranslator(QCoreApplication::instance());
    return installed;
}

} // namespace

QString installTranslations(const QLocale &locale)
{
    QTranslator *own = replace(ownTexts);
    // Built into the program from translations/*.ts (app/CMakeLists.txt).
    const QString folder = QStringLiteral(":/i18n");
    if (!own->load(locale, QStringLiteral("quenlith"), QStringLiteral("_"), folder))
        (void)own->load(QStringLiteral("quenlith_en"), folder);
    QCoreApplication::installTranslator(own);

    const QString language = own->language().section(QLatin1Char('_'), 0, 0);
    QTranslator *qt = replace(qtTexts);
    // Qt's own, from the system (Debian: qt6-translations-l10n); without it Qt's dialogs stay
    // English while the window is not.
    if (language != QLatin1String("en")
        && qt->load(QLocale(language),
            QStringLiteral("qtbase"),
            QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    return language.isEmpty() ? QStringLiteral("en") : language;
}

} // namespace quenlith
