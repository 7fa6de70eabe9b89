#include "app/RunCompletion.h"

#include "app/WindowCommon.h"
#include "extract/ExtractionRun.h"
#include "util/DataSize.h"

#include <QDir>
#include <QFileInfo>

namespace quenlith {

namespace {

QString headlineOf(const RunEnd &end, const RunTotals &totals, const RunDetails &details)
{
    QString text = QStringLiteral("PDF Attachments Extraction - Completed !");
    if (end.cancelled)
        text = QStringLiteral("PDF Attachments Extraction - Cancelled !\nCancelled after %1 of %2 "
                              "documents; %3 written before the stop.")
                   .arg(end.done)
                   .arg(end.documents)
                   .arg(counted(totals.written,
                       QStringLiteral("attachment was"),
                       QStringLiteral("attachments were")));
    const auto line = [&text](qint64 count, const QString &one, const QString &many) {
        if (count > 0)
            text += QLatin1Char('\n') + counted(count, one, many);
    };
    line(details.renamedForSibling(),
        QStringLiteral("attachment was renamed because its document holds another file of the "
                       "same name."),
        QStringLiteral("attachments were renamed because the document holds several files of "
                       "the same name."));
    line(details.renamedForExisting(),
        QStringLiteral("attachment was written under a new name because a file with other "
                       "content was already there."),
        QStringLiteral("attachments were written under a new name because a file with other "
                       "content was already there."));
    line(details.unchanged(),
        QStringLiteral("attachment was already there unchanged."),
        QStringLiteral("attachments were already there unchanged."));
    line(details.documentsSkipped(),
        QStringLiteral("document was skipped when its password was asked for."),
        QStringLiteral("documents were skipped when their password was asked for."));
    return text;
}

// Where the files went and how many, so that the message stands on its own. Concatenated, not
// arg()-chained: a folder name may hold "%2".
QString countsOf(const QString &outputFolder, const RunTotals &totals, const RunDetails &details)
{
    QString counts = QStringLiteral("Output folder: ") + QDir::toNativeSeparators(outputFolder)
        + QLatin1Char('\n')
        + counted(totals.documents, QStringLiteral("document"), QStringLiteral("documents"))
        + QStringLiteral(" processed");
    if (details.documentsFailed() > 0)
        counts += QStringLiteral(" (%1 failed)").arg(details.documentsFailed());
    counts += QStringLiteral(", ")
        + counted(totals.written, QStringLiteral("attachment"), QStringLiteral("attachments"))
        + QStringLiteral(" written (") + QString::fromStdString(dataSizeText(totals.bytesWritten))
        + QLatin1Char(')');
    if (totals.unchanged > 0)
        counts += QStringLiteral(", %1 unchanged").arg(totals.unchanged);
    if (totals.failed > 0)
        counts += QStringLiteral(", %1 failed").arg(totals.failed);
    return counts + QLatin1Char('.');
}

// Asks where to save the run's report and saves it; a failure is shown.
void saveReport(
    Platform &platform, QWidget *owner, const QString &outputFolder, RunReportSpool &report)
{
    const QString json = QStringLiteral("JSON report (*.json)");
    const QString csv = QStringLiteral("CSV report (*.csv)");
    QString chosenFilter;
    QString path = platform.saveFile(owner,
        QStringLiteral("Save Report"),
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
    box.text = QStringLiteral("The report could not be saved: ") + QString::fromStdString(error);
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
        box.text += QStringLiteral("\n\n") + QString::fromStdString(details.failureText());
    box.title = WindowTitle;
    box.icon = details.hasFailures() ? Platform::Icon::Warning : Platform::Icon::Information;
    box.details = QString::fromStdString(details.text());
    box.extraButton = QStringLiteral("Save Report...");
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
