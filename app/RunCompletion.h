#pragma once

#include "app/Platform.h"

#include <QDateTime>
#include <QString>

namespace quenlith {

class ExtractionRun;
struct RunEnd;

// The message that ends a run: how it ended, what was renamed and why, what was left unchanged,
// the failures, and the output folder with the counts; "Show Details..." lists every notable
// attachment. Its "Save Report..." saves the run's report (JSON or CSV, by the chosen file type)
// and shows the message again, so that both can be saved.
void showRunCompletion(Platform &platform,
    QWidget *owner,
    const QString &outputFolder,
    const RunEnd &end,
    ExtractionRun &run);

// The message's text and details, without showing it.
Platform::Message runCompletionMessage(
    const QString &outputFolder, const RunEnd &end, ExtractionRun &run);

// "quenlith-report-<date>-<time>.json" for `at`, in `outputFolder`.
QString proposedReportPath(const QString &outputFolder, const QDateTime &at);

} // namespace quenlith
