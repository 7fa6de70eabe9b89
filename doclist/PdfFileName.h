#pragma once

#include <QString>

namespace quenlith {

// True when `name`, in small letters and without spaces at either end, ends in ".pdf":
// "report.PDF" and "report.Pdf" do, "report.pdf.bak" and "report.pdfx" do not.
bool isPdfFileName(const QString &name);

} // namespace quenlith
