#pragma once

// Small pieces shared by the files of the main window; not for use outside app/.

#include "app/Platform.h"
#include "util/registry.h"

#include <QString>

namespace quenlith {

// Thrown by frmStep1::yieldEvents() once the window is closing, so that a command unwinds at once.
// It is caught by every command handler and never reaches the event loop.
struct WindowClosing { };

constexpr int OutOfMemoryError = 7;
constexpr int InternalError = 51;

inline const QString WindowTitle = QStringLiteral("Quenlith");
inline const QString WaitText = QStringLiteral("Please wait... Reading Image Information...");

inline QString errorText(int number, const QString &description)
{
    return QString::number(number) + QLatin1Char(':') + description;
}

// "1 document", "3 documents".
inline QString counted(qint64 count, const QString &one, const QString &many)
{
    return QString::number(count) + QLatin1Char(' ') + (count == 1 ? one : many);
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
