#include "extract/report/ReportText.h"

#include "extract/pdf/PdfLibrary.h"
#include "util/JsonWriter.h"

#include <climits>
#include <cstdio>

namespace quenlith {

std::string openStatusWord(int openStatus)
{
    switch (static_cast<OpenStatus>(openStatus)) {
    case OpenStatus::Opened:
        return "opened";
    case OpenStatus::FileUnreadable:
        return "file-unreadable";
    case OpenStatus::NeedsPassword:
        return "needs-password";
    case OpenStatus::Damaged:
        return "damaged";
    case OpenStatus::NotPdf:
        return "not-pdf";
    }
    return "failed";
}

std::string outcomeWord(AttachmentOutcome::Kind kind)
{
    switch (kind) {
    case AttachmentOutcome::Kind::Written:
        return "written";
    case AttachmentOutcome::Kind::Renamed:
        return "renamed";
    case AttachmentOutcome::Kind::Unchanged:
        return "unchanged";
    case AttachmentOutcome::Kind::Overwritten:
        return "overwritten";
    case AttachmentOutcome::Kind::Skipped:
        return "skipped";
    case AttachmentOutcome::Kind::Failed:
        return "failed";
    case AttachmentOutcome::Kind::ChecksumMismatch:
        return "checksum-mismatch";
    case AttachmentOutcome::Kind::Abandoned:
        return "abandoned";
    }
    return "failed";
}

std::string countOf(std::size_t count, const std::string &singular, const std::string &plural)
{
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

void writeAttachmentFields(
    JsonWriter &json, int index, const std::string &name, const Attachment &info)
{
    json.field("index", index);
    json.field("name", name);
    json.fieldOrNull("key", info.key);
    json.fieldOrNull("description", info.description);
    json.fieldOrNull("mimeType", info.mimeType);
    json.key("size");
    if (info.declaredSize >= 0)
        json.number(info.declaredSize);
    else
        json.null();
    json.fieldOrNull("modified", isoDate(info.modTime));
    json.key("page");
    if (info.page > 0)
        json.number(info.page);
    else
        json.null();
    json.field("origin", originWord(info.origin));
    json.fieldOrNull("folder", info.folder);
    json.fieldOrNull("afOwner", info.afOwner);
    json.fieldOrNull("afRelationship", info.afRelationship);
    json.fieldOrNull("created", isoDate(info.createdTime));
}

void writeInvoiceField(JsonWriter &json, const InvoiceInfo &invoice)
{
    json.key("invoice");
    if (!invoice.declared) {
        json.null();
        return;
    }
    json.beginObject();
    json.field("standard", invoice.standard);
    json.fieldOrNull("version", invoice.version);
    json.fieldOrNull("profile", invoice.profile);
    json.fieldOrNull("documentType", invoice.documentType);
    json.fieldOrNull("attachmentName", invoice.fileName);
    json.fieldBool("present", invoice.present);
    json.key("attachmentIndex");
    if (invoice.present)
        json.number(invoice.index);
    else
        json.null();
    json.endObject();
}

std::string invoiceText(const InvoiceInfo &invoice)
{
    if (!invoice.declared)
        return {};
    // A profile that is not a known level is a declared value, never shown as if it were one.
    const std::string profile = invoice.profile.empty() ? std::string()
        : invoice.profileKnown                          ? " " + invoice.profile
                               : ", profile: \"" + invoice.profile + "\" (unknown)";
    return "invoice: " + invoice.standard + profile + ", "
        + (invoice.fileName.empty() ? "no file named" : invoice.fileName)
        + (invoice.present ? "" : " (missing)");
}

void writeSkippedFolders(JsonWriter &json, const std::vector<SkippedFolder> &skippedFolders)
{
    json.key("skippedFolders");
    json.beginArray();
    for (const SkippedFolder &skipped : skippedFolders) {
        json.beginObject();
        json.field("path", skipped.path);
        json.field("reason", skipped.reason);
        json.endObject();
    }
    json.endArray();
}

} // namespace quenlith
