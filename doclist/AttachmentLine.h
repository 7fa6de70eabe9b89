#pragma once

#include "extract/pdf/Attachment.h"
#include "extract/pdf/InvoiceMetadata.h"

#include <QString>
#include <cstdint>

namespace quenlith {

// The texts of one attachment's line under its document's row, made off the window's thread
// when the row is first expanded.
struct AttachmentLine {
    int position = 0; // the attachment's 1-based position in its document
    QString name;
    QString details; // invoice, size, origin and date, most telling first: a column is narrow
    QString toolTip; // the details in full, with the invoice's file name
};

// Where the document lists the attachment, in words: "attached to the document", "attached to
// page 3", "associated file of the document", "associated file of page 2", "in portfolio folder
// Drawings", "not listed by the document".
QString originText(const Attachment &attachment);

// A size in the window's language, by the rule of dataSizeText(): "512 bytes", "1.50 KiB"; in
// German "512 Bytes", "1,50 KiB"; in French "512 octets", "1,50 Kio".
QString dataSizeWords(std::uint64_t bytes);

// The modification date in the user's local time and short date format; empty without one.
QString localDateText(std::int64_t secondsUtc);

// What a line says of an electronic invoice whose XML was not read, short enough for the line's
// column: "Factur-X EN 16931 invoice", "ZUGFeRD 2.1 BASIC WL invoice", "Order-X order"; a
// declared profile that is not a known level is left out.
QString invoiceKindText(const InvoiceInfo &invoice);

// The line of `attachment`; `invoice` is the document's, marking the attachment that holds it.
AttachmentLine attachmentLine(const Attachment &attachment, const InvoiceInfo &invoice);

} // namespace quenlith
