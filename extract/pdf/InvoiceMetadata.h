#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quenlith {

// What an invoice XML itself says (see InvoiceXmlReader), each value as the XML gives it, trimmed,
// UTF-8; empty where it is silent. `syntax` is empty when no invoice XML was read.
struct InvoiceContent {
    std::string syntax; // "CII", "ZUGFeRD 1.0 CII" or "UBL"
    std::string guideline; // the specification identifier of the document context (a URN)
    std::string typeCode; // "380" (invoice), "381" (credit note), ...
    std::string number;
    std::string issueDate; // YYYY-MM-DD when the XML gives a valid date, else as given
    std::string seller;
    std::string buyer;
    std::string currency; // ISO 4217 code of the invoice currency
    std::string grandTotal; // tax included, decimal text as given, no rounding
    std::string duePayable; // the amount due, decimal text as given
};

// A structured electronic invoice (or order) of a document: declared in its XMP metadata, as
// Factur-X, ZUGFeRD 1.x and 2.x, XRechnung in CII and Order-X do (an XMP extension schema names
// the embedded XML file and its profile), or found as an attachment whose XML is an invoice.
struct InvoiceInfo {
    bool declared = false; // the metadata declares one
    // The standard as the schema's namespace (and, for XRECHNUNG, the profile) tells it:
    // "Factur-X", "ZUGFeRD 1.0", "ZUGFeRD 2.0", "ZUGFeRD 2.1" or "Order-X"; for an invoice found
    // by its XML alone, as its guideline tells it ("XRechnung", "Peppol BIS", ...) or its syntax.
    std::string standard;
    std::string version; // the schema's Version property as declared, e.g. "1.0"; may be empty
    // ConformanceLevel: the known levels in their usual spelling ("EN 16931", "BASIC WL",
    // "XRECHNUNG", "COMFORT", ...), anything else as declared; may be empty. For an invoice found
    // by its XML alone, the level its guideline names.
    std::string profile;
    bool profileKnown = false; // `profile` is one of the known levels
    std::string documentType; // DocumentType as declared: "INVOICE", "ORDER", ...; may be empty
    std::string fileName; // DocumentFileName, UTF-8, as declared (never used as a path)
    bool present = false; // an attachment of the document holds it
    int index = 0; // that attachment's 1-based index when present, else 0
    // Why the document's XMP metadata could not be read (past maxXmpPacketBytes, undecodable,
    // unreadable), in plain words; nothing is declared then. Empty when it was read or is absent.
    std::string metadataUnreadable;
    InvoiceContent content; // of the attachment at `index`, when it was read as an invoice XML

    // Declared, or found by its XML: every member is empty otherwise.
    bool found() const
    {
        return declared || !content.syntax.empty();
    }
};

// XMP packets larger than this are not read: real ones hold a few kilobytes.
constexpr std::size_t maxXmpPacketBytes = std::size_t { 4 } << 20;

// The invoice declarations of an XMP packet (UTF-8, or UTF-16 with a byte-order mark or
// recognisable by its zero bytes), read with XmlReader: one per invoice schema whose namespace
// holds a DocumentFileName, ConformanceLevel, Version or DocumentType property, in the order they
// first appear; each property in element form (<fx:Version>1.0</fx:Version>) or attribute form
// (fx:Version="1.0"), the first value of each property kept, cut at 1 KiB. A damaged packet gives
// what was complete before the damage. `present` and `index` are left unset.
std::vector<InvoiceInfo> readInvoiceDeclarations(std::string_view xmp);

// How well an attachment fits a declared invoice file name: 0 when its name is not `fileName`,
// 2 when it is, 3 when it also has the /AFRelationship (without the slash) that invoice
// standards ask for (Alternative, Data or Source), 1 when its name differs in ASCII case only.
int invoiceAttachmentFit(
    const std::string &fileName, const std::string &attachmentName, const std::string &relation);

// The conformance level that an invoice's guideline identifier names, in the spelling of
// InvoiceInfo::profile ("urn:cen.eu:en16931:2017" is "EN 16931", "urn:factur-x.eu:1p0:basicwl"
// is "BASIC WL"); empty for one this program does not know.
std::string profileOfGuideline(std::string_view guideline);

// The standard that an invoice's guideline identifier names ("Factur-X", "ZUGFeRD 2.0",
// "XRechnung", "Peppol BIS", "ZUGFeRD 1.0"); empty for EN 16931 alone and for one this program
// does not know.
std::string standardOfGuideline(std::string_view guideline);

} // namespace quenlith
