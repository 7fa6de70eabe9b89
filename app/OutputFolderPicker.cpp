#include "app/OutputFolderPicker.h"

#include "app/WindowCommon.h"
#include "util/modMain.h"

#include <QDir>
#include <QFileInfo>

namespace quenlith {

void OutputFolderPicker::added(const QString &path, bool isFolder)
{
    const QString folder = withSeparator(QDir::cleanPath(path));
    if (m_firstAdded.isEmpty())
        m_firstAdded = QFileInfo(QDir::cleanPath(path)).absolutePath();
    if (isFolder)
        m_sourceFolders.append(folder);
}

void OutputFolderPicker::clear()
{
    m_firstAdded.clear();
    m_sourceFolders.clear();
}

QString OutputFolderPicker::start() const
{
    if (!m_lastChosen.isEmpty())
        return m_lastChosen;
    QDir folder(m_firstAdded);
    while (isInsideSourceFolder(folder.path()) && folder.cdUp()) { }
    return m_firstAdded.isEmpty() ? QString() : folder.path();
}

bool OutputFolderPicker::isInsideSourceFolder(const QString &folder) const
{
    const Qt::CaseSensitivity sensitivity
        = folderIgnoresCase(folder.toStdString()) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const QString inside = withSeparator(QDir::cleanPath(folder));
    for (const QString &source : m_sourceFolders) {
        if (inside.startsWith(source, sensitivity))
            return true;
    }
    return false;
}

QString OutputFolderPicker::choose(Platform &platform, QWidget *owner)
{
    Platform::Message question;
    question.text
        = tr("The output folder is inside a folder you added documents from; extracted PDF files "
             "would be found there the next time the folder is added. Extract there anyway?");
    question.title = WindowTitle;
    question.icon = Platform::Icon::Question;
    question.buttons = Platform::Buttons::YesNo;
    question.defaultButton = Platform::Answer::No;
    for (;;) {
        const QString chosen
            = platform.browseForFolder(owner, tr("Choose Folder to Save..."), start());
        if (chosen.isEmpty())
            return {};
        if (!isInsideSourceFolder(chosen)
            || platform.messageBox(owner, question) == Platform::Answer::Yes) {
            m_lastChosen = chosen;
            return chosen;
        }
    }
}

} // namespace quenlith
