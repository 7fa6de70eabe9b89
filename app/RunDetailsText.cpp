#include "app/RunDetailsText.h"

#include "extract/report/RunDetails.h"

#include <QCoreApplication>
#include <algorithm>
#include <climits>
#include <vector>

namespace quenlith {

namespace {

// The context of the texts for the translations.
struct RunDetailsText {
    Q_DECLARE_TR_FUNCTIONS(quenlith::RunDetailsText)
};

using Line = RunDetails::Line;

QString utf8(const std::string &text)
{
    return QString::fromStdString(text);
}

// Qt's plural forms count in int; a run's counts stay far below its limit.
int numerus(std::size_t count)
{
    return static_cast<int>(std::min<std::size_t>(count, INT_MAX));
}

// One failure in the message: the document, for an attachment its name, and why.
QString failureItem(const Line &line)
{
    if (line.kind == Line::Kind::DocumentFailed)
        return RunDetailsText::tr("%1: %2").arg(utf8(line.documentPath), utf8(line.reason));
    return RunDetailsText::tr("%1, %2: %3")
        .arg(utf8(line.documentPath), utf8(line.name), utf8(line.reason));
}

// One line of the details below its document's path.
QString detailLine(const Line &line)
{
    const QString name = utf8(line.name), where = utf8(line.where);
    switch (line.kind) {
    case Line::Kind::DocumentSkipped:
        return RunDetailsText::tr("skipped: Skip was chosen when its password was asked for");
    case Line::Kind::DocumentFailed:
        return RunDetailsText::tr("not extracted: %1").arg(utf8(line.reason));
    case Line::Kind::DocumentCancelled:
        return RunDetailsText::tr("stopped by Cancel");
    case Line::Kind::RenamedForSibling:
        return RunDetailsText::tr("renamed: %1 \u2192 %2 (another attachment has its name): %3")
            .arg(name, utf8(line.newName), where);
    case Line::Kind::RenamedForExisting:
        return RunDetailsText::tr("renamed: %1 \u2192 %2 (a file with other content was there): %3")
            .arg(name, utf8(line.newName), where);
    case Line::Kind::Unchanged:
        return RunDetailsText::tr("unchanged: %1 (the same file was already there): %2")
            .arg(name, where);
    case Line::Kind::Skipped:
        return RunDetailsText::tr("skipped: %1 (%2): %3").arg(name, utf8(line.reason), where);
    case Line::Kind::Abandoned:
        return RunDetailsText::tr("not written: %1 (stopped by Cancel): %2").arg(name, where);
    case Line::Kind::Failed:
        break;
    }
    return RunDetailsText::tr("failed: %1 (%2): %3").arg(name, utf8(line.reason), where);
}

} // namespace

QString runFailureText(const RunDetails &details)
{
    std::vector<const Line *> documents, attachments;
    for (const Line &line : details.lines()) {
        if (line.kind == Line::Kind::DocumentFailed)
            documents.push_back(&line);
        else if (line.kind == Line::Kind::Failed)
            attachments.push_back(&line);
    }
    const struct {
        QString heading;
        const std::vector<const Line *> &items;
    } sections[] = {
        { RunDetailsText::tr(
              "%n document(s) could not be extracted:", nullptr, numerus(documents.size())),
            documents },
        { RunDetailsText::tr("%n attachment(s) could not be written or failed their checksum:",
              nullptr,
              numerus(attachments.size())),
            attachments },
    };
    QString text;
    std::size_t shown = 0, all = 0;
    for (const auto &section : sections) {
        all += section.items.size();
        if (section.items.empty() || shown >= RunDetails::ItemsInText)
            continue;
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + section.heading;
        for (std::size_t i = 0; i < section.items.size() && shown < RunDetails::ItemsInText;
             ++i, ++shown)
            text += QStringLiteral("\n    ") + failureItem(*section.items[i]);
    }
    if (all > shown)
        text += QLatin1Char('\n')
            + RunDetailsText::tr("and %n more (see the details).", nullptr, numerus(all - shown));
    return text;
}

QString runDetailsText(const RunDetails &details)
{
    QString text;
    const Line *previous = nullptr;
    for (const Line &line : details.lines()) {
        if (!previous || previous->document != line.document) {
            if (previous)
                text += QLatin1Char('\n');
            text += utf8(line.documentPath);
        }
        text += QStringLiteral("\n    ") + detailLine(line);
        previous = &line;
    }
    return text;
}

} // namespace quenlith
