#include "app/FileDialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace quenlith {

DocumentPickerDialog::DocumentPickerDialog(
    QWidget *owner, const QString &filter, const QString &startFolder)
    : QFileDialog(owner)
{
    // Qt's own dialog: its name filter ignores case, so "*.pdf" also lists "Report.PDF"; the
    // native dialogs of some desktops match case exactly.
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
    setNameFilter(filter);
    setViewMode(QFileDialog::Detail);
    resize(FileDialogSize);
    if (!startFolder.isEmpty() && QFileInfo(startFolder).isDir())
        setDirectory(startFolder);
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
    setViewMode(QFileDialog::Detail);
    resize(FileDialogSize);
    if (!startFolder.isEmpty() && QFileInfo(startFolder).isDir())
        setDirectory(startFolder);
    // Qt's dialog disables Choose while the typed folder does not exist, though Enter accepts it;
    // accept() creates it either way. Connected after Qt's own check, so this one has the last
    // word.
    auto *edit = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    auto *buttons = findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    if (edit != nullptr && buttons != nullptr && buttons->button(QDialogButtonBox::Open) != nullptr)
        connect(edit, &QLineEdit::textChanged, this, [buttons](const QString &typed) {
            if (!typed.trimmed().isEmpty())
                buttons->button(QDialogButtonBox::Open)->setEnabled(true);
        });
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
            tr("The folder %1 could not be created.").arg(QDir::toNativeSeparators(path)));
        return;
    }
    QFileDialog::accept();
    if (result() == QDialog::Accepted)
        m_chosen = QDir::toNativeSeparators(path);
}

PasswordDialog::PasswordDialog(QWidget *owner, const QString &documentName, bool lastWasWrong)
    : QDialog(owner)
{
    setWindowTitle(QStringLiteral("Quenlith"));
    setMinimumWidth(360); // the document's name on as few lines as may be
    auto *layout = new QVBoxLayout(this);
    const QString question = lastWasWrong
        ? tr("The password given does not open %1. Please try again.")
        : tr("%1 needs a password to be opened.");
    auto *text = new QLabel(question.arg(documentName), this);
    text->setWordWrap(true);
    text->setTextFormat(Qt::PlainText);
    layout->addWidget(text);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setAccessibleName(tr("Password"));
    layout->addWidget(m_password);
    m_forAll = new QCheckBox(tr("Use for all remaining documents"), this);
    m_forAll->setObjectName(QStringLiteral("forAll"));
    layout->addWidget(m_forAll);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(tr("Open"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(tr("Skip"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString PasswordDialog::password() const
{
    return m_password->text();
}

bool PasswordDialog::forAllRemaining() const
{
    return m_forAll->isChecked();
}

} // namespace quenlith
