#pragma once

// Small pieces shared by the files of the main window; not for use outside app/.

#include "app/Platform.h"
#include "util/registry.h"

#include <QCoreApplication>
#include <QString>

namespace quenlith {

// Thrown by frmStep1::yieldEvents() once the window is closing, so that a command unwinds at once.
// It is caught by every command handler and never reaches the event loop.
struct WindowClosing { };

constexpr int OutOfMemoryError = 7;
constexpr int InternalError = 51;

inline const QString WindowTitle = QStringLiteral("Quenlith");

inline QString errorText(int number, const QString &description)
{
    return QString::number(number) + QLatin1Char(':') + description;
}

// The wait notice while it names no document; a function, as the language is chosen at start.
inline QString waitText()
{
    return QCoreApplication::translate(
        "quenlith::frmStep1", "Please wait... Reading Image Information...");
}

inline QString withSeparator(const QString &folder)
{
    return QString::fromStdString(withTrailingSeparator(folder.toStdString()));
}

// The busy pointer for the lifetime of the object, restored also when a command fails.
class BusyCursor {
public:
    explicit BusyCursor(Platform &platform)
        : m_platform(platform)
    {
        m_platform.setBusyCursor(true);
    }
    ~BusyCursor()
    {
        m_platform.setBusyCursor(false);
    }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

private:
    Platform &m_platform;
};

} // namespace quenlith
