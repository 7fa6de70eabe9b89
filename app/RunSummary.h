#pragma once

#include <QString>
#include <QStringList>

namespace quenlith {

// What went wrong in one extraction run, for the completion message: documents that did not open,
// attachments that were not written or failed their checksum, folders that could not be created.
class RunSummary {
public:
    // At most this many items are listed in the message text; the details list all of them.
    static constexpr int ItemsInText = 10;

    void documentNotOpened(const QString &documentName, const QString &reason);
    void attachmentFailed(
        const QString &documentName, const QString &attachmentName, const QString &reason);
    void folderNotCreated(const QString &folder);

    bool hasFailures() const;
    int itemCount() const;

    // `headline`, then, when something failed, a blank line and the summary: each kind with its
    // count and its items, the first ItemsInText items in all, then "and N more".
    QString text(const QString &headline) const;
    // Every item of every kind; empty when nothing failed.
    QString details() const;

private:
    struct Section {
        QString heading;
        const QStringList *items;
    };
    QList<Section> sections() const;

    QStringList m_unopened;
    QStringList m_failedAttachments;
    QStringList m_failedFolders;
};

} // namespace quenlith
