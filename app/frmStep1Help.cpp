// The window's help command and the message of a failed start.

#include "app/WindowCommon.h"
#include "app/frmStep1.h"
#include "util/Error.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace quenlith {

Platform::Message frmStep1::startupFailure(const Error &error)
{
    Platform::Message message;
    // In one pass, so that a "%1" in the description stays as it is.
    message.text
        = tr("Error %1: %2")
              .arg(QString::number(error.number()), QString::fromStdString(error.description()));
    message.title = WindowTitle;
    message.icon = Platform::Icon::Critical;
    return message;
}

QStringList frmStep1::manualCandidates()
{
    const QDir programFolder(QCoreApplication::applicationDirPath());
    QStringList candidates;
    auto add = [&candidates](const QString &path) {
        const QString clean = QDir::cleanPath(path);
        if (!candidates.contains(clean))
            candidates.append(clean);
    };
#ifdef QUENLITH_MANUAL_FROM_BINDIR
    add(programFolder.filePath(QStringLiteral(QUENLITH_MANUAL_FROM_BINDIR)));
#endif
    add(programFolder.filePath(QStringLiteral("../share/doc/quenlith/manual.html")));
    add(programFolder.filePath(QStringLiteral("manual.html")));
#ifdef QUENLITH_SOURCE_DIR
    add(QStringLiteral(QUENLITH_SOURCE_DIR "/docs/manual.html"));
#endif
    return candidates;
}

void frmStep1::CmdHelp_Click()
{
    const QStringList candidates = manualCandidates();
    for (const QString &candidate : candidates) {
        if (QFileInfo(candidate).isFile()) {
            openWithDesktop(candidate,
                tr("The manual could not be opened: the desktop has no program to open it "
                   "with.\n%1"));
            return;
        }
    }
    message(tr("The manual could not be found. It was looked for in:\n")
            + candidates.join(QLatin1Char('\n')),
        Platform::Icon::Information);
}

} // namespace quenlith
