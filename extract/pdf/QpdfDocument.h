#pragma once

#include "extract/pdf/Document.h"
#include "extract/pdf/QpdfPortfolio.h"

#include <atomic>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quenlith {

class PassingSink;

// The qpdf side of a Document: the QPDF object, the bytes it reads from, the embedded file
// streams of the attachments and the warnings. The listing (AttachmentListing.cpp) fills it;
// the writer reads the streams and adds its warnings.
struct Document::Impl {
    // The document's bytes when it was read whole. qpdf reads from them, so they are declared
    // before `pdf`, to outlive it.
    std::unique_ptr<char[]> contents;
    std::size_t contentsSize = 0;
    std::unique_ptr<QPDF> pdf;
    std::string path;
    std::vector<Attachment> listed;
    std::vector<Attachment> unlisted; // once findUnlisted ran
    bool unlistedFound = false;
    // The embedded file stream of each attachment, by position - 1: the listed, then the unlisted.
    std::vector<QPDFObjectHandle> streams;
    // Each file specification's first position - 1 and how many files it holds (its /EF
    // variants, listed one after the other): a specification reached twice is one file each.
    std::map<QPDFObjGen, std::pair<std::size_t, std::size_t>> seenSpecs;
    std::vector<QPDFObjectHandle> pages; // in page order, filled by walkPageTree
    PortfolioFolders portfolio; // the folders that name-tree keys may refer to
    std::vector<std::string> warnings;
    std::string listingDamage; // the first reason why listing lost an embedded file
    std::size_t qpdfWarnings = 0; // of `warnings`, those qpdf gave
    bool repaired = false; // qpdf warned while the document was opened and listed
    // Recovered as a document cut short (recoverTruncated): the objects the bytes ended inside
    // read as null.
    bool recovered = false;
    // The objects qpdf warned about while reading them (a recovered /Length, a missing
    // "endstream"), with its last warning: a stream among them may not hold its own data.
    std::map<QPDFObjGen, std::string> warnedObjects;
    bool listingComplete = true;
    // A search for associated files stopped at a bound (nested forms, structure tree), so that
    // the document's objects are searched for the /AF arrays past it.
    bool boundReached = false;
    const std::atomic<bool> *stop = nullptr; // OpenLimits::stop
    std::optional<InvoiceInfo> invoice; // once invoice() asked for it

    void warn(std::string text)
    {
        warnings.push_back(std::move(text));
    }
    // An embedded file was lost while listing: the document's list cannot be trusted.
    void damage(std::string reason)
    {
        if (listingDamage.empty())
            listingDamage = reason;
        warn(std::move(reason));
    }
    // Thrown out of the listing's loops once `stop` is set; no std::exception, so that the
    // handlers of unreadable parts let it pass.
    struct Stopped { };
    void checkStop() const
    {
        if (stop != nullptr && stop->load(std::memory_order_relaxed))
            throw Stopped {};
    }
    // Moves qpdf's warnings into ours; returns the last one, or the empty text.
    std::string collectWarnings();

    // AttachmentListing.cpp
    void list();
    void findUnlisted();

    // AttachmentWriter.cpp: decodes `attachment` into `sink` with the filters and decryption of
    // write(), without a file, for data read in passing (the invoice XML); `sink` bounds the size.
    // The empty text when every byte reached `sink`, else why not ("the embedded data cannot be
    // decoded: ..."); a sink that stops the decoding by throwing makes it fail. Plain Flate data
    // is inflated no further than the sink reads.
    std::string decodeInto(const Attachment &attachment, PassingSink &sink);

    // The embedded file stream of `attachment`, null when it has none.
    QPDFObjectHandle streamOf(const Attachment &attachment) const;
    // In a recovered document, the reference of `spec`'s embedded file whose object was lost
    // with the end (cut, or past the last byte); null when there is none.
    QPDFObjectHandle lostStream(QPDFObjectHandle spec) const;

private:
    std::vector<Attachment> &growing()
    {
        return unlistedFound ? unlisted : listed;
    }
    void walkNameTree(QPDFObjectHandle root);
    void walkPageTree(QPDFObjectHandle node, int depth, std::set<QPDFObjGen> &visited, int &page);
    void walkAssociatedFiles();
    void addAssociatedFiles(QPDFObjectHandle owner, const std::string &ownerName);
    void walkXObjects(QPDFObjectHandle resources,
        const std::string &ownerName,
        int depth,
        std::set<QPDFObjGen> &visited);
    void walkStructureTree(QPDFObjectHandle root);
    void searchPastBounds();
    void addFileSpec(QPDFObjectHandle spec,
        const std::string &key,
        int page,
        Attachment::Origin origin,
        const std::string &afOwner = {});
    void add(Attachment attachment, QPDFObjectHandle stream);
    void placeInPortfolio(Attachment &attachment);
    // `names`: the names whose objects qualify (see unlistedCandidates in the listing).
    std::vector<QPDFObjectHandle> unlistedCandidates(std::initializer_list<std::string_view> names);
};

// The embedded file streams of a file specification (ISO 32000-1 7.11.4), each stream once, in the
// order of /EF /F, /UF, /Unix, /DOS, /Mac: the file, then its platform variants. `nameKey`: the
// name entry of the specification that names it first (see Attachment::name). Empty when none (a
// plain string naming an external file, or /EF naming none).
struct EmbeddedStream {
    QPDFObjectHandle stream;
    const char *nameKey;
};
std::vector<EmbeddedStream> embeddedStreams(QPDFObjectHandle spec);

} // namespace quenlith
