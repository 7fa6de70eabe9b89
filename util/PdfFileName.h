#pragma once

#include <string>

namespace quenlith {

// The text without spaces at either end; other white space belongs to a file name and stays.
std::string trimSpaces(const std::string &text);

// Whether a file is taken as a PDF document by its name: in small letters and without spaces at
// either end it ends in ".pdf" ("report.PDF" and "report.Pdf" are, "report.pdf.bak" and
// "report.pdfx" are not).
bool isPdfFileName(const std::string &name);

} // namespace quenlith
