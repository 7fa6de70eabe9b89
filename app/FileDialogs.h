#pragma once

#include <QFileDialog>

class QCheckBox;
class QLineEdit;

namespace quenlith {

// The size the file dialogs open at: room for the name, size, type and date columns.
inline constexpr QSize FileDialogSize { 820, 480 };

// Qt's own file dialog for picking PDF documents, starting in `startFolder` when it exists.
// Ctrl+A selects the folders beside the files; accepting such a selection adds the files instead
// of opening the first folder.
class DocumentPickerDialog : public QFileDialog {
public:
    DocumentPickerDialog(
        QWidget *owner, const QString &filter, const QString &startFolder = QString());
    QStringList chosenFiles() const;

protected:
    void accept() override;

private:
    QStringList m_chosen;
};

// Qt's own folder picker, starting in `startFolder` when it exists. A folder name that is typed
// but does not exist yet is created on accepting, as a new output folder often is.
class FolderPickerDialog : public QFileDialog {
    Q_OBJECT

public:
    FolderPickerDialog(QWidget *owner, const QString &title, const QString &startFolder);
    QString chosenFolder() const;

protected:
    void accept() override;

private:
    QString m_chosen;
};

// Asks for a document's password, saying when the last one given was wrong: the password field,
// "Use for all remaining documents", and Open or Skip (Escape skips).
class PasswordDialog : public QDialog {
    Q_OBJECT

public:
    PasswordDialog(QWidget *owner, const QString &documentName, bool lastWasWrong = false);
    QString password() const;
    bool forAllRemaining() const;

private:
    QLineEdit *m_password = nullptr;
    QCheckBox *m_forAll = nullptr;
};

} // namespace quenlith
