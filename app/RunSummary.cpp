#include "app/RunSummary.h"

#include "app/WindowCommon.h"

namespace quenlith {

void RunSummary::documentNotOpened(const QString &documentName, const QString &reason)
{
    m_unopened.append(documentName + QStringLiteral(": ") + reason);
}

void RunSummary::attachmentFailed(
    const QString &documentName, const QString &attachmentName, const QString &reason)
{
    m_failedAttachments.append(
        documentName + QStringLiteral(", ") + attachmentName + QStringLiteral(": ") + reason);
}

void RunSummary::folderNotCreated(const QString &folder)
{
    m_failedFolders.append(folder);
}

bool RunSummary::hasFailures() const
{
    return itemCount() > 0;
}

int RunSummary::itemCount() const
{
    return static_cast<int>(
        m_unopened.size() + m_failedAttachments.size() + m_failedFolders.size());
}

QList<RunSummary::Section> RunSummary::sections() const
{
    QList<Section> all;
    if (!m_unopened.isEmpty())
        all.append({ counted(m_unopened.size(),
                         QStringLiteral("document could not be opened:"),
                         QStringLiteral("documents could not be opened:")),
            &m_unopened });
    if (!m_failedAttachments.isEmpty())
        all.append(
            { counted(m_failedAttachments.size(),
                  QStringLiteral("attachment could not be written or failed its checksum:"),
                  QStringLiteral("attachments could not be written or failed their checksum:")),
                &m_failedAttachments });
    if (!m_failedFolders.isEmpty())
        all.append({ counted(m_failedFolders.size(),
                         QStringLiteral("folder could not be created:"),
                         QStringLiteral("folders could not be created:")),
            &m_failedFolders });
    return all;
}

QString RunSummary::text(const QString &headline) const
{
    if (!hasFailures())
        return headline;
    QString text = headline + QStringLiteral("\n");
    int shown = 0;
    for (const Section &section : sections()) {
        if (shown >= ItemsInText)
            break;
        text += QStringLiteral("\n") + section.heading;
        for (const QString &item : *section.items) {
            if (shown >= ItemsInText)
                break;
            text += QStringLiteral("\n    ") + item;
            ++shown;
        }
    }
    if (itemCount() > shown)
        text += QStringLiteral("\nand %1 more (see the details).").arg(itemCount() - shown);
    return text;
}

QString RunSummary::details() const
{
    QString text;
    for (const Section &section : sections()) {
        if (!text.isEmpty())
            text += QStringLiteral("\n");
        text += section.heading;
        for (const QString &item : *section.items)
            text += QStringLiteral("\n    ") + item;
    }
    return text;
}

} // namespace quenlith
