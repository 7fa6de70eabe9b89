#pragma once

#include <QFileDialog>

class QCheckBox;
class QLineEdit;

namespace quenlith {

// Qt's own file dialog for picking PDF documents. Ctrl+A selects the folders beside the files;
// accepting such a selection adds the files instead of opening the first folder.
class DocumentPickerDialog : public QFileDialog {
public:
    DocumentPickerDialog(QWidget *owner, const QString &filter);
    QStringList chosenFiles() const;

protected:
    void accept() override;

private:
    QStringList m_chosen;
};

// Qt's own folder picker, starting in `startFolder` when it exists. A folder name that is typed
// but does not exist yet is created on accepting, as a new output folder often is.
class FolderPickerDialog : public QFileDialog {
public:
    FolderPickerDialog(QWidget *owner, const QString &title, const QString &startFolder);
    QString chosenFolder() const;

protected:
    void accept() override;

private:
    QString m_chosen;
};

// Asks for a document's password: the password field, "Use for all remaining documents", and
// Open or Skip (Escape skips).
class PasswordDialog : public QDialog {
public:
    PasswordDialog(QWidget *owner, const QString &documentName);
    QString password() const;
    bool forAllRemaining() const;

private:
    QLineEdit *m_password = nullptr;
    QCheckBox *m_forAll = nullptr;
};

} // namespace quenlith
