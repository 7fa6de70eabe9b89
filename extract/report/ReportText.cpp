#include "extract/report/ReportText.h"

#include "util/JsonWriter.h"

#include <climits>
#include <cstdio>

namespace quenlith {

std::string openStatusWord(OpenStatus openStatus)
{
    switch (openStatus) {
    case OpenStatus::NotOpened:
        break;
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
    case AttachmentOutcome::Kind::NotChosen:
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
    if (!invoice.found()) {
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
    json.fieldBool("declared", invoice.declared);
    const InvoiceContent &c = invoice.content;
    json.fieldOrNull("syntax", c.syntax);
    json.fieldOrNull("guideline", c.guideline);
    json.fieldOrNull("typeCode", c.typeCode);
    json.fieldOrNull("number", c.number);
    json.fieldOrNull("issueDate", c.issueDate);
    json.fieldOrNull("seller", c.seller);
    json.fieldOrNull("buyer", c.buyer);
    json.fieldOrNull("currency", c.currency);
    json.fieldOrNull("grandTotal", c.grandTotal);
    json.fieldOrNull("duePayable", c.duePayable);
    json.endObject();
}

namespace {

// "Factur-X EN 16931", or `Factur-X, profile: "x" (unknown)` for a level this program does not
// know: a declared value is never shown as if it were one.
std::string standardAndProfile(const InvoiceInfo &invoice)
{
    if (invoice.profile.empty())
        return invoice.standard;
    return invoice.standard
        + (invoice.profileKnown ? " " + invoice.profile
                                : ", profile: \"" + invoice.profile + "\" (unknown)");
}

// "471102 of 2024-11-15", without what the XML does not say.
std::string numberAndDate(const InvoiceContent &content)
{
    std::string text = content.number;
    if (!content.issueDate.empty())
        text += (text.empty() ? "of " : " of ") + content.issueDate;
    return text;
}

// Party names span lines in some invoices; a report line shows them on one.
std::string oneLine(const std::string &text)
{
    std::string out;
    for (const char c : text) {
        const bool blank = c == ' ' || c == '\n' || c == '\r' || c == '\t';
        if (!blank)
            out += c;
        else if (!out.empty() && out.back() != ' ')
            out += ' ';
    }
    return out;
}

std::string amount(const InvoiceContent &content)
{
    if (content.grandTotal.empty())
        return {};
    return content.grandTotal + (content.currency.empty() ? "" : " " + content.currency);
}

} // namespace

std::string invoiceText(const InvoiceInfo &invoice)
{
    if (!invoice.found())
        return {};
    std::string text = "invoice: " + standardAndProfile(invoice);
    const InvoiceContent &c = invoice.content;
    if (c.syntax.empty())
        return text + ", " + (invoice.fileName.empty() ? "no file named" : invoice.fileName)
            + (invoice.present ? "" : " (missing)");
    if (!c.number.empty() || !c.issueDate.empty())
        text += ", no. " + numberAndDate(c);
    if (!c.seller.empty() || !c.buyer.empty())
        text += ", " + (c.seller.empty() ? "?" : oneLine(c.seller)) + " to "
            + (c.buyer.empty() ? "?" : oneLine(c.buyer));
    if (!amount(c).empty())
        text += ", " + amount(c);
    return text;
}

InvoiceLineText invoiceLineText(const InvoiceInfo &invoice)
{
    const InvoiceContent &c = invoice.content;
    if (c.syntax.empty())
        return {};
    InvoiceLineText line;
    line.text = c.typeCode == "381" ? "Credit note" : "Invoice";
    if (!c.number.empty() || !c.issueDate.empty())
        line.text += " " + numberAndDate(c);
    if (!amount(c).empty())
        line.text += ", " + amount(c);
    const auto row = [&](const char *label, const std::string &value) {
        if (!value.empty())
            line.toolTip
                += (line.toolTip.empty() ? "" : "\n") + std::string(label) + oneLine(value);
    };
    row("Seller: ", c.seller);
    row("Buyer: ", c.buyer);
    row("Profile: ", standardAndProfile(invoice));
    return line;
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
