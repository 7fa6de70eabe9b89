#pragma once

#include "extract/pdf/Attachment.h"
#include "extract/pdf/InvoiceMetadata.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace quenlith {

// Bounds of opening a document.
struct OpenLimits {
    // Documents of at most this many bytes are read whole into memory and stay there while the
    // Document lives (qpdf reads them in many small pieces); larger ones are read as needed.
    static constexpr std::uint64_t defaultMemoryLimit = 16 * 1024 * 1024;
    std::uint64_t memoryLimit = defaultMemoryLimit;
    // Once set (from any thread, a signal handler too), listing stops within moments: open()
    // fails with OpenFailure::Reason::Stopped, a later Document::unlisted() ends early and leaves
    // listingComplete() false. Not owned; must outlive the Document. Null: never stops.
    const std::atomic<bool> *stop = nullptr;
};

// Why a document did not open.
struct OpenFailure {
    enum class Reason {
        FileUnreadable, // missing, a folder, or no permission to read
        NeedsPassword, // encrypted, and the password given is not the user password
        Damaged, // a PDF that qpdf cannot repair, or whose attachments cannot all be listed
        NotPdf, // no PDF header or structure at all
        Stopped, // OpenLimits::stop was set while it was listed
    };
    Reason reason = Reason::Damaged;
    // In plain words, starting with "cannot be read", "needs a password", "damaged beyond
    // repair: ", "damaged: ", "not a PDF document" or "stopped".
    std::string text;
};

// One open PDF document and its embedded files, read through qpdf. Move-only; not to be used
// from two threads at once (qpdf objects are never shared between threads), but separate
// Documents may. No qpdf exception leaves it: failures come back as values.
class Document {
public:
    // Opens the document at `path` (UTF-8) with `password` (empty for none) and lists its
    // attachments, once: no attachment data is read. A document with an empty user password
    // opens without one, whatever its owner password; one whose embedded files alone are
    // encrypted with a user password (crypt filter /EFF) also needs it. A damaged cross-reference
    // table is reconstructed (see repaired()). Damaged also when an embedded file cannot be
    // listed: an unreadable name-tree entry or file stream (an overflowing /Size, a /Length that
    // refers to its own stream), or a name tree deeper than 100,000 levels; never "no
    // attachments" for a document whose attachments could not all be listed.
    static std::variant<Document, OpenFailure> open(
        const std::string &path, const std::string &password, const OpenLimits &limits = {});

    Document(Document &&) noexcept;
    Document &operator=(Document &&) noexcept;
    ~Document();

    const std::string &path() const;

    // The distinct embedded files: the EmbeddedFiles name tree, then /FileAttachment
    // annotations in page order, then associated files (/AF of the catalog; per page of the page,
    // its annotations and its form XObjects; then of structure elements; then, when a walk was cut
    // at a bound, those of every other object that has /AF); a file specification
    // reached twice counted once, specifications naming only an external file not counted. Each
    // stream of a specification's /EF is a file of its own: /F (or /UF), then the platform
    // variants /Unix, /DOS, /Mac, named by the specification's entry of that platform first.
    const std::vector<Attachment> &attachments() const;

    // The embedded files that nothing above lists: file specifications with /EF and streams of
    // /Type /EmbeddedFile among all objects, numbered on after attachments(), named from their
    // file specification or else "unlisted-<object number>.bin". The first call reads each of
    // the document's objects once.
    const std::vector<Attachment> &unlisted() const;

    // The attachment at 1-based `position` (listed, then unlisted); null when there is none.
    const Attachment *at(int position) const;

    // The electronic invoice that the document declares in its XMP metadata (the catalog's
    // /Metadata stream, read once, at most maxXmpPacketBytes decoded), with the attachment that
    // holds it: of several declarations the one whose file an attachment fits best by name and
    // /AFRelationship (see invoiceAttachmentFit), looked for among the listed attachments first
    // and only then among the unlisted ones. Unreadable metadata is warned about and told in
    // InvoiceInfo::metadataUnreadable.
    const InvoiceInfo &invoice() const;

    // What qpdf and the listing warned about so far (repairs, undecodable data, folders past
    // bounds), in order; writes add theirs.
    std::vector<std::string> warnings() const;
    // qpdf had to reconstruct or recover something while opening or listing the document.
    bool repaired() const;
    // False when associated files may be missing: unlisted() was stopped, or the search of all
    // objects that follows a walk cut at a bound (forms nested more than 16 deep, a structure tree
    // too large or too deep) failed. Either is warned about.
    bool listingComplete() const;

    // The qpdf side (extract/pdf/QpdfDocument.h), for the listing and the writer of this layer.
    struct Impl;
    Impl &impl() const;

private:
    explicit Document(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace quenlith
