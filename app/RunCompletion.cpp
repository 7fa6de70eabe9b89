#include "app/RunCompletion.h"

#include "app/RunDetailsText.h"
#include "app/WindowCommon.h"
#include "doclist/AttachmentLine.h"
#include "extract/ExtractionRun.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <climits>

namespace quenlith {

namespace {

// The context of the message's texts for the translations.
struct RunCompletion {
    Q_DECLARE_TR_FUNCTIONS(quenlith::RunCompletion)
};

// Qt's plural forms count in int; a run's counts stay far below its limit.
int numerus(std::int64_t count)
{
    return static_cast<int>(std::min<std::int64_t>(count, INT_MAX));
}

QString headlineOf(const RunEnd &end, const RunTotals &totals, const RunDetails &details)
{
    QString text = RunCompletion::tr("PDF Attachments Extraction - Completed !");
    if (end.cancelled)
        text = RunCompletion::tr("PDF Attachments Extraction - Cancelled !\nCancelled after %1 of "
                                 "%2 documents; %n attachment(s) written before the stop.",
            nullptr,
            numerus(totals.written))
                   .arg(end.done)
                   .arg(end.documents);
    const auto line = [&text](std::int64_t count, const QString &sentence) {
        if (count > 0)
            text += QLatin1Char('\n') + sentence;
    };
    const std::int64_t sibling = details.renamedForSibling();
    line(sibling,
        RunCompletion::tr(
            "%n attachment(s) renamed because the document holds several files of the same name.",
            nullptr,
            numerus(sibling)));
    const std::int64_t existing = details.renamedForExisting();
    line(existing,
        RunCompletion::tr("%n attachment(s) written under a new name because a file with other "
                          "content was already there.",
            nullptr,
            numerus(existing)));
    const std::int64_t unchanged = details.unchanged();
    line(unchanged,
        RunCompletion::tr(
            "%n attachment(s) already there unchanged.", nullptr, numerus(unchanged)));
    const std::int64_t skipped = details.documentsSkipped();
    line(skipped,
        RunCompletion::tr(
            "%n document(s) skipped when the password was asked for.", nullptr, numerus(skipped)));
    return text;
}

// Where the files went and how many, so that the message stands on its own. Each piece takes one
// arg(): a folder name may hold "%2".
QString countsOf(const QString &outputFolder, const RunTotals &totals, const RunDetails &details)
{
    const int documents = numerus(totals.documents);
    QString counts
        = RunCompletion::tr("Output folder: %1").arg(QDir::toNativeSeparators(outputFolder))
        + QLatin1Char('\n')
        + (details.documentsFailed() > 0
                ? RunCompletion::tr("%n document(s) processed (%1 failed)", nullptr, documents)
                      .arg(details.documentsFailed())
                : RunCompletion::tr("%n document(s) processed", nullptr, documents))
        + RunCompletion::tr(", %n attachment(s) written (%1)", nullptr, numerus(totals.written))
              .arg(dataSizeWords(totals.bytesWritten));
    if (totals.unchanged > 0)
        counts += RunCompletion::tr(", %1 unchanged").arg(totals.unchanged);
    if (totals.failed > 0)
        counts += RunCompletion::tr(", %1 failed").arg(totals.failed);
    return counts + QLatin1Char('.');
}

// Asks where to save the run's report and saves it; a failure is shown.
void saveReport(
    Platform &platform, QWidget *owner, const QString &outputFolder, RunReportSpool &report)
{
    const QString json = RunCompletion::tr("JSON report (*.json)");
    const QString csv = RunCompletion::tr("CSV report (*.csv)");
    QString chosenFilter;
    QString path = platform.saveFile(owner,
        RunCompletion::tr("Save Report"),
        json + QStringLiteral(";;") + csv,
        proposedReportPath(outputFolder, QDateTime::currentDateTime()),
        chosenFilter);
    if (path.isEmpty())
        return;
    const bool asCsv = chosenFilter == csv
        || (chosenFilter.isEmpty() && path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive));
    if (QFileInfo(path).suffix().isEmpty())
        path += asCsv ? QStringLiteral(".csv") : QStringLiteral(".json");
    std::string error;
    if (report.save(path.toStdString(), asCsv ? ReportFormat::Csv : ReportFormat::Json, error))
        return;
    Platform::Message box;
    box.text
        = RunCompletion::tr("The report could not be saved: %1").arg(QString::fromStdString(error));
    box.title = WindowTitle;
    box.icon = Platform::Icon::Warning;
    platform.messageBox(owner, box);
}

} // namespace

QString proposedReportPath(const QString &outputFolder, const QDateTime &at)
{
    return withSeparator(outputFolder)
        + at.toString(QStringLiteral("'quenlith-report-'yyyy-MM-dd-HHmmss'.json'"));
}

Platform::Message runCompletionMessage(
    const QString &outputFolder, const RunEnd &end, ExtractionRun &run)
{
    const RunTotals &totals = run.report().totals();
    const RunDetails &details = run.details();
    Platform::Message box;
    box.text = headlineOf(end, totals, details) + QStringLiteral("\n\n")
        + countsOf(outputFolder, totals, details);
    if (details.hasFailures())
        box.text += QStringLiteral("\n\n") + runFailureText(details);
    box.title = WindowTitle;
    box.icon = details.hasFailures() ? Platform::Icon::Warning : Platform::Icon::Information;
    box.details = runDetailsText(details);
    box.extraButton = RunCompletion::tr("Save Report...");
    return box;
}

void showRunCompletion(Platform &platform,
    QWidget *owner,
    const QString &outputFolder,
    const RunEnd &end,
    ExtractionRun &run)
{
    const Platform::Message box = runCompletionMessage(outputFolder, end, run);
    while (platform.messageBox(owner, box) == Platform::Answer::Extra)
        saveReport(platform, owner, outputFolder, run.report());
}

} // namespace quenlith
