#include "extract/report/RunDetails.h"

#include "util/registry.h"

namespace quenlith {

namespace {

std::string counted(std::size_t count, const std::string &one, const std::string &many)
{
    return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

} // namespace

void RunDetails::add(const DocumentResult &document, End end)
{
    m_lastDocument = nullptr;
    const std::string failure = documentFailure(document);
    if (end == End::SkippedByUser) {
        ++m_documentsSkipped;
        addLine(document, "skipped: Skip was chosen when its password was asked for");
    } else if (end == End::Done && !failure.empty()) {
        if (document.nestedIn.empty())
            ++m_documentsFailed;
        m_unopened.push_back(document.documentPath + ": " + failure);
        addLine(document, "not extracted: " + failure);
    } else if (end == End::Cancelled) {
        addLine(document, "stopped by Cancel");
    }
    for (const AttachmentOutcome &outcome : document.attachments)
        addAttachment(document, outcome);
}

void RunDetails::addAttachment(const DocumentResult &document, const AttachmentOutcome &outcome)
{
    const std::string &name = outcome.storedName;
    const std::string where = ": " + outcome.outputPath;
    switch (outcome.kind) {
    case AttachmentOutcome::Kind::Written:
    case AttachmentOutcome::Kind::Overwritten:
    case AttachmentOutcome::Kind::NotChosen: // the user left it out
        return;
    case AttachmentOutcome::Kind::Renamed:
        ++(outcome.renamedForSibling ? m_renamedForSibling : m_renamedForExisting);
        addLine(document,
            "renamed: " + name + " \u2192 " + FileNameOfPath(outcome.outputPath)
                + (outcome.renamedForSibling ? " (another attachment has its name)"
                                             : " (a file with other content was there)")
                + where);
        return;
    case AttachmentOutcome::Kind::Unchanged:
        ++m_unchanged;
        addLine(document, "unchanged: " + name + " (the same file was already there)" + where);
        return;
    case AttachmentOutcome::Kind::Skipped:
        addLine(document, "skipped: " + name + " (" + outcome.reason + ")" + where);
        return;
    case AttachmentOutcome::Kind::Abandoned:
        addLine(document, "not written: " + name + " (stopped by Cancel)" + where);
        return;
    default:
        m_failedAttachments.push_back(document.documentPath + ", " + name + ": " + outcome.reason);
        addLine(document, "failed: " + name + " (" + outcome.reason + ")" + where);
        return;
    }
}

void RunDetails::addLine(const DocumentResult &document, const std::string &line)
{
    if (m_lastDocument != &document) {
        m_lastDocument = &document;
        if (!m_text.empty())
            m_text += '\n';
        m_text += document.documentPath;
    }
    m_text += "\n    " + line;
}

std::int64_t RunDetails::renamedForSibling() const
{
    return m_renamedForSibling;
}

std::int64_t RunDetails::renamedForExisting() const
{
    return m_renamedForExisting;
}

std::int64_t RunDetails::unchanged() const
{
    return m_unchanged;
}

std::int64_t RunDetails::documentsFailed() const
{
    return m_documentsFailed;
}

std::int64_t RunDetails::documentsSkipped() const
{
    return m_documentsSkipped;
}

bool RunDetails::hasFailures() const
{
    return !m_unopened.empty() || !m_failedAttachments.empty();
}

std::string RunDetails::failureText() const
{
    struct Section {
        std::string heading;
        const std::vector<std::string> &items;
    };
    const Section sections[] = {
        { counted(m_unopened.size(),
              "document could not be extracted:",
              "documents could not be extracted:"),
            m_unopened },
        { counted(m_failedAttachments.size(),
              "attachment could not be written or failed its checksum:",
              "attachments could not be written or failed their checksum:"),
            m_failedAttachments },
    };
    std::string text;
    std::size_t shown = 0, all = 0;
    for (const Section &section : sections) {
        all += section.items.size();
        if (section.items.empty() || shown >= ItemsInText)
            continue;
        text += (text.empty() ? "" : "\n") + section.heading;
        for (std::size_t i = 0; i < section.items.size() && shown < ItemsInText; ++i, ++shown)
            text += "\n    " + section.items[i];
    }
    if (all > shown)
        text += "\nand " + std::to_string(all - shown) + " more (see the details).";
    return text;
}

const std::string &RunDetails::text() const
{
    return m_text;
}

} // namespace quenlith
