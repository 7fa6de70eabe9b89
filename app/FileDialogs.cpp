#include "app/FileDialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

namespace quenlith {

DocumentPickerDialog::DocumentPickerDialog(QWidget *owner, const QString &filter)
    : QFileDialog(owner)
{
    // Qt's own dialog: its name filter ignores case, so "*.pdf" also lists "Report.PDF"; the
    // native dialogs of some desktops match case exactly.
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
    setNameFilter(filter);
}

QStringList DocumentPickerDialog::chosenFiles() const
{
    return result() == QDialog::Accepted ? m_chosen : QStringList();
}

void DocumentPickerDialog::accept()
{
    QStringList files;
    bool folders = false;
    for (const QString &path : selectedFiles()) {
        if (QFileInfo(path).isDir())
            folders = true;
        else
            files.append(path);
    }
    if (folders && !files.isEmpty()) {
        m_chosen = files;
        QDialog::accept();
        return;
    }
    QFileDialog::accept(); // opens a lone folder, or checks and accepts the files
    if (result() == QDialog::Accepted)
        m_chosen = selectedFiles();
}

FolderPickerDialog::FolderPickerDialog(
    QWidget *owner, const QString &title, const QString &startFolder)
    : QFileDialog(owner, title)
{
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::ShowDirsOnly);
    setFileMode(QFileDialog::Directory);
    if (!startFolder.isEmpty() && QFileInfo(startFolder).isDir())
        setDirectory(startFolder);
}

QString FolderPickerDialog::chosenFolder() const
{
    return result() == QDialog::Accepted ? m_chosen : QString();
}

void FolderPickerDialog::accept()
{
    const QStringList selected = selectedFiles();
    const QString path = selected.isEmpty() ? QString() : QDir::cleanPath(selected.first());
    if (!path.isEmpty() && !QFileInfo::exists(path) && !QDir().mkpath(path)) {
        QMessageBox::warning(this,
            windowTitle(),
            QStringLiteral("The folder %1 could not be created.")
                .arg(QDir::toNativeSeparators(path)));
        return;
    }
    QFileDialog::accept();
    if (result() == QDialog::Accepted)
        m_chosen = QDir::toNativeSeparators(path);
}

} // namespace quenlith
