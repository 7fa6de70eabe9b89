#pragma once

#include "extract/DocumentExtraction.h"
#include "scan/pathLogger.h"

#include <cstdint>
#include <string>

namespace quenlith {

class JsonWriter;

// Words and formats shared by the text, JSON and CSV reports of list and extract.

// The JSON status word of an OpenStatus: "opened", "file-unreadable", "needs-password",
// "damaged", "not-pdf"; "failed" for NotOpened.
std::string openStatusWord(OpenStatus openStatus);

// The JSON status word of an attachment outcome: "written", "renamed", "unchanged",
// "overwritten", "skipped", "failed", "checksum-mismatch", "abandoned".
std::string outcomeWord(AttachmentOutcome::Kind kind);

// The fields that list and extract both give of an attachment, into the open JSON object:
// index, name, key, description, mimeType, size, modified, page, origin, folder, afOwner,
// afRelationship, created (null where the document is silent).
void writeAttachmentFields(
    JsonWriter &json, int index, const std::string &name, const Attachment &info);

// The "invoice" member: null when the document has no invoice (InvoiceInfo::found), else
// { standard, version, profile, documentType, attachmentName, present, attachmentIndex, declared,
// syntax, guideline, typeCode, number, issueDate, seller, buyer, currency, grandTotal,
// duePayable } (null where the document is silent; attachmentIndex null when not present).
void writeInvoiceField(JsonWriter &json, const InvoiceInfo &invoice);

// "invoice: Factur-X EN 16931, no. 471102 of 2024-11-15, Lieferant GmbH to Kunde AG, 235.62 EUR"
// once its XML was read; before, "invoice: Factur-X EN 16931, factur-x.xml", with " (missing)"
// when the file is not an attachment. A profile that is not a known level reads `invoice:
// Factur-X, profile: "x" (unknown), ...`; the empty text when there is no invoice. Not made safe
// for a terminal.
std::string invoiceText(const InvoiceInfo &invoice);

// What the window shows on the line of an invoice's attachment: "Invoice 471102 of 2024-11-15,
// 235.62 EUR" ("Credit note ..." for type 381), and a tooltip of lines "Seller: ...", "Buyer: ...",
// "Profile: Factur-X EN 16931", each left out when the XML is silent. Both empty when the
// invoice XML was not read.
struct InvoiceLineText {
    std::string text;
    std::string toolTip;
};
InvoiceLineText invoiceLineText(const InvoiceInfo &invoice);

// The "skippedFolders" member: an array of { "path", "reason" } objects.
void writeSkippedFolders(JsonWriter &json, const std::vector<SkippedFolder> &skippedFolders);

// "1 attachment", "2 attachments".
std::string countOf(std::size_t count, const std::string &singular, const std::string &plural);

} // namespace quenlith
