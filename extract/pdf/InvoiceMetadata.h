#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quenlith {

// A structured electronic invoice (or order) that a document declares in its XMP metadata, as
// Factur-X, ZUGFeRD 1.x and 2.x, XRechnung in CII and Order-X do: an XMP extension schema names
// the embedded XML file and its profile.
struct InvoiceInfo {
    bool declared = false; // the metadata declares one; every other member is empty otherwise
    // The standard as the schema's namespace (and, for XRECHNUNG, the profile) tells it:
    // "Factur-X", "ZUGFeRD 1.0", "ZUGFeRD 2.0", "ZUGFeRD 2.1" or "Order-X".
    std::string standard;
    std::string version; // the schema's Version property as declared, e.g. "1.0"; may be empty
    // ConformanceLevel: the known levels in their usual spelling ("EN 16931", "BASIC WL",
    // "XRECHNUNG", "COMFORT", ...), anything else as declared; may be empty.
    std::string profile;
    bool profileKnown = false; // `profile` is one of the known levels
    std::string documentType; // DocumentType as declared: "INVOICE", "ORDER", ...; may be empty
    std::string fileName; // DocumentFileName, UTF-8, as declared (never used as a path)
    bool present = false; // an attachment of the document has that name
    int index = 0; // that attachment's 1-based index when present, else 0
    // Why the document's XMP metadata could not be read (past maxXmpPacketBytes, undecodable,
    // unreadable), in plain words; nothing is declared then. Empty when it was read or is absent.
    std::string metadataUnreadable;
};

// XMP packets larger than this are not read: real ones hold a few kilobytes.
constexpr std::size_t maxXmpPacketBytes = std::size_t { 4 } << 20;

// The invoice declarations of an XMP packet (UTF-8, or UTF-16 with a byte-order mark or
// recognisable by its zero bytes), one per invoice schema whose namespace the packet binds to
// the prefix of a DocumentFileName, ConformanceLevel, Version or DocumentType property, in the
// order they first appear; each property in element form (<fx:Version>1.0</fx:Version>) or
// attribute form (fx:Version="1.0"), XML entities decoded, the first value of each property
// kept. Scans once, without recursion, in time linear in the packet's size; a damaged packet
// gives what was found before the damage. `present` and `index` are left unset.
std::vector<InvoiceInfo> readInvoiceDeclarations(std::string_view xmp);

// How well an attachment fits a declared invoice file name: 0 when its name is not `fileName`,
// 2 when it is, 3 when it also has the /AFRelationship (without the slash) that invoice
// standards ask for (Alternative, Data or Source), 1 when its name differs in ASCII case only.
int invoiceAttachmentFit(
    const std::string &fileName, const std::string &attachmentName, const std::string &relation);

} // namespace quenlith
