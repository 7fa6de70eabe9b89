#include "doclist/FileDialogAnswer.h"

#include <QDir>
#include <QFileInfo>

namespace quenlith {

namespace {

constexpr QChar Nul(u'\0');
constexpr QChar Separator(u'/');

// The deepest folder that holds every path; "/" when they share nothing but the root.
QString commonFolder(const QStringList &paths)
{
    QStringList common = QFileInfo(paths.first()).path().split(Separator);
    for (const QString &path : paths) {
        const QStringList parts = QFileInfo(path).path().split(Separator);
        qsizetype same = 0;
        while (same < common.size() && same < parts.size() && common.at(same) == parts.at(same))
            ++same;
        common = common.mid(0, same);
    }
    const QString folder = common.join(Separator);
    return folder.isEmpty() ? QString(Separator) : folder;
}

} // namespace

QString FileDialogAnswer::fromPaths(const QStringList &paths)
{
    if (paths.isEmpty())
        return QString();
    if (paths.size() == 1)
        return paths.first();
    const QString folder = commonFolder(paths);
    const QString prefix = folder.endsWith(Separator) ? folder : folder + Separator;
    QString answer = folder;
    for (const QString &path : paths) {
        answer += Nul;
        answer += path.mid(prefix.size());
    }
    return answer;
}

QStringList FileDialogAnswer::selectionParts(const QString &answer)
{
    QString text = answer;
    if (!text.endsWith(Nul))
        text += Nul;
    return text.split(Nul, Qt::KeepEmptyParts, Qt::CaseSensitive);
}

QString FileDialogAnswer::folderPrefix(const QStringList &parts)
{
    return parts.size() - 1 > 1 ? parts.first() + Separator : QString();
}

QStringList FileDialogAnswer::documentPaths(const QString &answer)
{
    const QStringList parts = selectionParts(answer);
    const QString prefix = folderPrefix(parts);
    QStringList paths;
    for (qsizetype i = 0; i < parts.size() - 1; ++i) {
        if (!prefix.isEmpty() && i == 0)
            continue;
        paths.append(prefix + parts.at(i));
    }
    return paths;
}

} // namespace quenlith
