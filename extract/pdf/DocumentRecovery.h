#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenlith {

// A document cut short (a download stopped, a disk filled up) loses its end: the cross-reference
// section and the trailer, and maybe part of its last object. recoverTruncated makes such bytes
// readable again by finding the objects that are whole and appending what the cut took away.
struct RecoveredDocument {
    // The recovered document is the first `keptSize` bytes of the original (up to the end of its
    // last whole object) followed by `tail`: a cross-reference stream (ISO 32000-1 7.5.8) that
    // lists every whole object, those inside whole object streams included (a later definition
    // of a number wins, as in an update), and whose trailer keys name the catalog and copy
    // /Encrypt and /ID from the last trailer that survived. The original bytes are not copied.
    std::size_t keptSize = 0;
    std::string tail;
    // Numbers of the objects the bytes end inside, sorted: a stream whose `endstream` is missing
    // or whose /Length reaches past the last byte, or an object cut before its `endobj`. They are
    // left out of the cross-reference, so that they read as null and no reader takes the
    // remaining bytes for their data: an attachment whose stream is among them was cut.
    std::vector<int> cutObjects;
    // True: the trailer names the document's own catalog (one a surviving trailer names, else the
    // last /Type /Catalog dictionary). False: none survived and a minimal empty catalog was added,
    // so that only a search of every object (/EmbeddedFile streams, file specifications with
    // /EF) finds the attachments.
    bool ownCatalog = false;

    // The recovered document's bytes, given the original ones (a copy: for tests and tools).
    std::string joined(std::string_view original) const
    {
        return std::string(original.substr(0, keptSize)) + tail;
    }
};

// Recovers a document cut short from its bytes. Meant for a document that does not open as it
// is; a whole one comes back with a new cross-reference as well. A stream whose indirect /Length
// was lost gets it back, measured up to its "endstream". `password` opens the object streams of
// an encrypted document. Returns nothing when the bytes hold no whole object, or when they are
// encrypted and what decrypts them was lost (the security handler's dictionary, or the /ID
// before AES-256), since every attachment would then read as other bytes. Never throws; memory:
// the tail, a record per object, and what qpdf needs to decode the object streams, not a copy
// of `bytes`.
std::optional<RecoveredDocument> recoverTruncated(
    std::string_view bytes, const std::string &password = std::string());

} // namespace quenlith
