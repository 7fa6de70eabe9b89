#include "doclist/AttachmentLine.h"

#include "extract/report/ReportText.h"
#include "util/DataSize.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QStringList>
#include <climits>

namespace quenlith {

namespace {
// The context of the line's words for the translations.
struct Text {
    Q_DECLARE_TR_FUNCTIONS(quenlith::AttachmentLine)
};
} // namespace

QString originText(const Attachment &attachment)
{
    switch (attachment.origin) {
    case Attachment::Origin::Annotation:
        return Text::tr("attached to page %1").arg(attachment.page);
    case Attachment::Origin::AssociatedFile:
        if (attachment.afOwner.empty() || attachment.afOwner == "catalog")
            return Text::tr("associated file of the document");
        return Text::tr("associated file of %1").arg(QString::fromStdString(attachment.afOwner));
    case Attachment::Origin::Portfolio:
        if (attachment.folder.empty())
            return Text::tr("in the portfolio");
        return Text::tr("in portfolio folder %1").arg(QString::fromStdString(attachment.folder));
    case Attachment::Origin::Unlisted:
        return Text::tr("not listed by the document");
    case Attachment::Origin::Names:
        break;
    }
    return Text::tr("attached to the document");
}

QString dataSizeWords(std::uint64_t bytes)
{
    const DataSize size = dataSize(bytes);
    QString text;
    switch (size.unit) {
    case DataSize::Unit::Bytes: // below 1024: fits Qt's int count
        return Text::tr("%n byte(s)", nullptr, static_cast<int>(size.whole));
    case DataSize::Unit::KiB:
        text = Text::tr("%1.%2 KiB");
        break;
    case DataSize::Unit::MiB:
        text = Text::tr("%1.%2 MiB");
        break;
    case DataSize::Unit::GiB:
        text = Text::tr("%1.%2 GiB");
        break;
    }
    return text.arg(QString::number(size.whole)).arg(size.hundredths, 2, 10, QLatin1Char('0'));
}

QString localDateText(std::int64_t secondsUtc)
{
    if (secondsUtc == INT64_MIN)
        return {};
    const QDateTime moment = QDateTime::fromSecsSinceEpoch(secondsUtc, Qt::UTC);
    if (!moment.isValid() || moment.date().year() < 1 || moment.date().year() > 9999)
        return {};
    return QLocale::system().toString(moment.toLocalTime(), QLocale::ShortFormat);
}

QString invoiceKindText(const InvoiceInfo &invoice)
{
    QString text = QString::fromStdString(invoice.standard);
    if (invoice.profileKnown && !invoice.profile.empty())
        text += QLatin1Char(' ') + QString::fromStdString(invoice.profile);
    const bool order = QString::fromStdString(invoice.documentType)
                           .contains(QStringLiteral("ORDER"), Qt::CaseInsensitive)
        || invoice.standard == "Order-X";
    return order ? Text::tr("%1 order").arg(text) : Text::tr("%1 invoice").arg(text);
}

AttachmentLine attachmentLine(const Attachment &attachment, const InvoiceInfo &invoice)
{
    QStringList details;
    const bool holdsInvoice
        = invoice.found() && invoice.present && invoice.index == attachment.position;
    // What the invoice XML says when it was read ("Invoice 471102 of 2024-11-15, 235.62 EUR"),
    // else what the metadata declares.
    const InvoiceLineText read = holdsInvoice ? invoiceLineText(invoice) : InvoiceLineText {};
    if (!read.text.empty())
        details.append(QString::fromStdString(read.text));
    else if (holdsInvoice)
        details.append(invoiceKindText(invoice));
    details.append(attachment.declaredSize < 0
            ? Text::tr("size not declared")
            : dataSizeWords(static_cast<std::uint64_t>(attachment.declaredSize)));
    details.append(originText(attachment));
    if (const QString date = localDateText(attachment.modTime); !date.isEmpty())
        details.append(date);
    AttachmentLine line;
    line.position = attachment.position;
    line.name = QString::fromStdString(attachment.name);
    line.details = details.join(QStringLiteral(", "));
    line.toolTip = line.details;
    if (!read.toolTip.empty())
        line.toolTip += QLatin1Char('\n') + QString::fromStdString(read.toolTip);
    if (holdsInvoice && !invoice.fileName.empty())
        line.toolTip += QLatin1Char('\n')
            + Text::tr("invoice file: %1").arg(QString::fromStdString(invoice.fileName));
    return line;
}

} // namespace quenlith
