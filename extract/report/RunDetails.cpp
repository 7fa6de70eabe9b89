#include "extract/report/RunDetails.h"

#include "util/registry.h"

namespace quenlith {

void RunDetails::add(const DocumentResult &document, End end)
{
    const std::string failure = documentFailure(document);
    if (end == End::SkippedByUser) {
        ++m_documentsSkipped;
        addLine(document, Line::Kind::DocumentSkipped);
    } else if (end == End::Done && !failure.empty()) {
        if (document.nestedIn.empty())
            ++m_documentsFailed;
        m_hasFailures = true;
        addLine(document, Line::Kind::DocumentFailed).reason = failure;
    } else if (end == End::Cancelled) {
        addLine(document, Line::Kind::DocumentCancelled);
    }
    for (const AttachmentOutcome &outcome : document.attachments)
        addAttachment(document, outcome);
    ++m_documents;
}

void RunDetails::addAttachment(const DocumentResult &document, const AttachmentOutcome &outcome)
{
    Line::Kind kind = Line::Kind::Failed;
    switch (outcome.kind) {
    case AttachmentOutcome::Kind::Written:
    case AttachmentOutcome::Kind::Overwritten:
    case AttachmentOutcome::Kind::NotChosen: // the user left it out
        return;
    case AttachmentOutcome::Kind::Renamed:
        ++(outcome.renamedForSibling ? m_renamedForSibling : m_renamedForExisting);
        kind = outcome.renamedForSibling ? Line::Kind::RenamedForSibling
                                         : Line::Kind::RenamedForExisting;
        break;
    case AttachmentOutcome::Kind::Unchanged:
        ++m_unchanged;
        kind = Line::Kind::Unchanged;
        break;
    case AttachmentOutcome::Kind::Skipped:
        kind = Line::Kind::Skipped;
        break;
    case AttachmentOutcome::Kind::Abandoned:
        kind = Line::Kind::Abandoned;
        break;
    default:
        m_hasFailures = true;
        break;
    }
    Line &line = addLine(document, kind);
    line.name = outcome.storedName;
    line.where = outcome.outputPath;
    if (kind == Line::Kind::RenamedForSibling || kind == Line::Kind::RenamedForExisting)
        line.newName = FileNameOfPath(outcome.outputPath);
    else if (kind == Line::Kind::Skipped || kind == Line::Kind::Failed)
        line.reason = outcome.reason;
}

RunDetails::Line &RunDetails::addLine(const DocumentResult &document, Line::Kind kind)
{
    Line &line = m_lines.emplace_back();
    line.kind = kind;
    line.document = m_documents;
    line.documentPath = document.documentPath;
    return line;
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
    return m_hasFailures;
}

const std::vector<RunDetails::Line> &RunDetails::lines() const
{
    return m_lines;
}

} // namespace quenlith
