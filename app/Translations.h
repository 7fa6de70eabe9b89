#pragma once

#include <QLocale>
#include <QString>

namespace quenlith {

// Installs the window's texts in the first language of `locale` that has a translation (German or
// French), with Qt's own translation of its dialogs and standard buttons; otherwise English, the
// source texts with their singular and plural forms. Replaces what an earlier call installed. The
// language code used ("de", "fr", "en"). Call on the window's thread, after the application object
// exists and before the window is made: captions are set once, when the controls are created.
QString installTranslations(const QLocale &locale);

} // namespace quenlith
