#include "doclist/PdfFileName.h"

namespace quenlith {

bool isPdfFileName(const QString &name)
{
    qsizetype first = 0;
    qsizetype last = name.size();
    while (first < last && name.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && name.at(last - 1) == QLatin1Char(' '))
        --last;
    return name.mid(first, last - first).toLower().endsWith(QLatin1String(".pdf"));
}

} // namespace quenlith
