#pragma once

#include "app/Platform.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

namespace quenlith {

// Asks for a run's output folder, with what this session knows: the folder chosen last, the
// folders documents were added from. It never proposes a folder that its own warning would
// question, and answering No to that warning opens the picker again.
class OutputFolderPicker {
    Q_DECLARE_TR_FUNCTIONS(quenlith::OutputFolderPicker)

public:
    // A document or folder added to the list; the first one since the last clear() is where the
    // picker starts when no output folder was chosen yet.
    void added(const QString &path, bool isFolder);
    // The list was cleared: its source folders no longer count.
    void clear();

    // The chosen folder as the platform gives it; empty when the user cancelled.
    QString choose(Platform &platform, QWidget *owner);

    // Where the picker opens: the folder chosen last in this session, else the folder that holds
    // the first added folder or document, outside every added folder.
    QString start() const;

private:
    bool isInsideSourceFolder(const QString &folder) const;

    QString m_lastChosen;
    QString m_firstAdded; // its folder, or the folder holding it
    QStringList m_sourceFolders; // with a trailing separator
};

} // namespace quenlith
