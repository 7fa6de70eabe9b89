#pragma once

#include "extract/AttachmentChoice.h"
#include "extract/output/OutputFolder.h"
#include "extract/pdf/AttachmentWriter.h"
#include "extract/pdf/Document.h"
#include "util/CompactStringSet.h"
#include "util/SafeFileName.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace quenlith {

// How opening a document ended.
enum class OpenStatus {
    NotOpened, // not tried, or stopped while it was listed
    Opened,
    FileUnreadable,
    NeedsPassword,
    Damaged,
    NotPdf,
};

// The status of an open failure; NotOpened for OpenFailure::Reason::Stopped.
OpenStatus openStatusOf(OpenFailure::Reason reason);

// What happened to one attachment of a document.
struct AttachmentOutcome {
    enum class Kind {
        Written, // under its own safe name
        Renamed, // under a numbered name: another attachment or an existing file had its name
        Unchanged, // a file with exactly these bytes was already there and was left alone
        Overwritten, // replaced a file with other bytes (only when asked to)
        Skipped, // a file was already there and the run was asked to leave it
        Failed,
        ChecksumMismatch, // written, but the data disagrees with the declared size or checksum
        Abandoned, // the run was stopped during the write; nothing kept
        NotChosen, // left out by ExtractionOptions::choice; nothing written, reason says why
    };
    Kind kind = Kind::Failed;
    int index = 0; // 1-based
    std::string storedName; // the name the document gives, UTF-8
    std::string outputPath; // where the data is (or was to be written)
    WriteStatus writeStatus = WriteStatus::DecodeFailed; // of the write, or why none was tried
    // Why it failed, in plain words; for Renamed, Overwritten and Skipped what happened and why.
    std::string reason;
    std::uint64_t bytes = 0; // bytes of the data now in outputPath (written or unchanged)
    std::string sha256; // of those bytes, when the run asked for it
    Attachment info; // what the document declares about it
    // Declared encrypted (/EFF) but stored in the clear, so written as stored (see WriteResult).
    bool storedInClear = false;
    // For Renamed: whether another attachment of the document has its name (else a file with
    // other content was already there).
    bool renamedForSibling = false;
};

// Whether the attachment has not failed: its data is on disk and can be trusted, or it was not
// to be written (Skipped, NotChosen).
bool outcomeSucceeded(AttachmentOutcome::Kind kind);
// Whether this run left the attachment's data on disk at outputPath, to be trusted.
bool outcomeOnDisk(AttachmentOutcome::Kind kind);

struct ExtractionOptions {
    ExistingFiles existing = ExistingFiles::Keep;
    bool sha256 = false; // record each attachment's SHA-256 (for a run report)
    std::string password; // tried when the document does not open with the empty password
    // Attachment names that differ only in case clash (the output folder's file system ignores
    // case; see folderIgnoresCase).
    bool foldCase = OutputNameSet::caseInsensitiveByDefault;
    // Decoded data past these stops the attachment (see SizeLimits).
    std::uint64_t maxAttachmentSize = SizeLimits::defaultMaxAttachmentSize;
    std::uint64_t maxExpansionRatio = SizeLimits::defaultMaxExpansionRatio;
    // A listed document's attachments, with those of every document nested in it, together may
    // reach this many bytes (0: no bound; see SizeBudget); the attachment that would pass it
    // stops, and those after it fail without being written, so that one document cannot fill
    // the disk with many attachments each below the bound above.
    static constexpr std::uint64_t defaultMaxDocumentSize = std::uint64_t { 16 } << 30;
    std::uint64_t maxDocumentSize = defaultMaxDocumentSize;
    // Also write the embedded files that nothing lists (Document::unlisted), after the
    // listed ones; `count` then includes them.
    bool unlisted = false;
    // Write only the invoice attachment of the document (Document::invoice: declared, listed or
    // not, or found by its XML). A document without one gets no folder and has not failed (see
    // DocumentResult::noInvoice); one whose declared file is not an attachment fails.
    bool invoicesOnly = false;
    // Name the invoice's XML after its invoice number ("471102.xml", made safe like any name)
    // instead of its attachment name, when its XML gives one.
    bool invoiceNames = false;
    // The run's output folder, opened once: a document folder directly in it (or the flat
    // layout's output folder itself) is reached through it, not by the folder's name again. Not
    // owned; null: each document opens the folder above its own by name.
    const OpenedFolder *outputFolder = nullptr;
    // Stops the listing of a document (OpenLimits::stop): one stopped there is not processed.
    const std::atomic<bool> *stop = nullptr;
    // The attachments to write; the others get a NotChosen outcome, in their place among the
    // outcomes, and are neither counted against the budget nor copied from (a later one with
    // the same data is decoded itself). A document none of whose attachments is chosen gets no
    // folder and has not failed.
    AttachmentChoice choice;
};

// Receives the progress of one document's extraction, in order. Every function runs on the
// caller's thread; the defaults do nothing.
class ExtractionObserver {
public:
    virtual ~ExtractionObserver() = default;
    // A point where pending window events may run. Returning false stops the extraction before
    // its next write (the program is closing or the run was cancelled).
    virtual bool yieldPoint()
    {
        return true;
    }
    // The attachment label text: "Extracted Attachment(s) i (of n)".
    virtual void attachmentLabel(const std::string &text)
    {
        (void)text;
    }
    // Attachment `index` of `count` is done (0 of 0 as a document starts); a view that words the
    // label itself (in the user's language) overrides this, the default passes the English text.
    virtual void attachmentCount(int index, int count);
    // The wait notice is shown while the document is opened and counted.
    virtual void waitNotice(bool shown)
    {
        (void)shown;
    }
    // The attachments about to be written, once the document is open and before the first one.
    virtual void attachmentsChosen(const std::vector<const Attachment *> &attachments)
    {
        (void)attachments;
    }
    // Each attachment written or tried; not one that was not chosen.
    virtual void attachmentDone(const AttachmentOutcome &outcome)
    {
        (void)outcome;
    }
    // Called every few megabytes of a long write with the attachment's bytes so far; returning
    // false abandons it (no file left).
    virtual bool writeProgress(std::uint64_t bytesWritten)
    {
        (void)bytesWritten;
        return true;
    }
};

struct DocumentResult {
    std::string documentPath;
    std::string documentFolder; // the folder assigned to the document
    bool folderExists = false; // the folder is there after the extraction
    OpenStatus openStatus = OpenStatus::NotOpened;
    std::string openReason;
    std::string folderFailure; // why the folder could not be created; nothing was written then
    int count = 0;
    // Not every attachment was done: the observer asked to stop (also during the last write).
    // A document folder this run made stays only when it holds something.
    bool stopped = false;
    // Bytes counted against the size budget by this document and those written before it with
    // the same budget (see ExtractionOptions::maxDocumentSize).
    std::uint64_t budgetSpent = 0;
    bool processed = false; // extraction was tried (a run may end before it reaches a document)
    // What qpdf warned about while the document was read and written (repairs, data it had to
    // recover), at most maxWarnings of them; warningCount counts them all.
    std::vector<std::string> warnings;
    std::size_t warningCount = 0;
    static constexpr std::size_t maxWarnings = 20;
    // qpdf had to repair the document (Document::repaired): attachments may be missing. Not a
    // failure by itself.
    bool repaired = false;
    // The listing stopped at a bound (Document::listingComplete): attachments past it were not
    // written, and the document has failed.
    bool listingComplete = true;
    // What the user should know about where the files went, e.g. that the assigned folder was a
    // symbolic link and a numbered folder took its place.
    std::vector<std::string> notes;
    std::vector<AttachmentOutcome> attachments;
    // For a document that is an attachment of another (see extractNestedDocuments): the path of
    // that document, and how deep it is nested (1: attached to a listed document).
    std::string nestedIn;
    int nesting = 0;
    // The invoice the document declares; not declared when it declares none or did not open.
    InvoiceInfo invoice;
    // Only invoices were asked for and the document declares none: nothing was written, and the
    // document has not failed.
    bool noInvoice = false;
    // Only invoices were asked for and the declared file is not among the attachments, or the
    // XMP metadata that would declare it cannot be read: why the document failed.
    std::string invoiceMissing;
    // Why a nested document was left unsearched (its bytes were met before, or it lies past the
    // limits); such a document has not failed. Empty for every other document.
    std::string notSearched;
};

// Why a document whose listing stopped at a bound (DocumentResult::listingComplete) has failed.
extern const char *const incompleteListingReason;

// Whether every attachment of the document was written or found unchanged.
bool documentSucceeded(const DocumentResult &result);
// Why the document failed as a whole, in plain words; empty when it did not.
std::string documentFailure(const DocumentResult &result);

// Opens `documentPath` (empty password, then options.password if that is not empty and the
// document needs one); once it is open, creates `documentFolder` (a separator is added when
// missing; an existing folder is reused) and writes every embedded file into it under its safe,
// de-duplicated name, treating files already there as options.existing says. The files of a
// portfolio folder (Attachment::folderPath) go into the matching sub-folders, each level named
// like an attachment (see safeOutputFolderName), made or reused as the document folder is, a
// link or a file in the way giving a numbered sub-folder and a note (sibling folders of one name
// share one); a folder that cannot be made, or whose path would be too long, leaves its files at
// the top, with a note. A symbolic link or a file at the folder's name is never followed nor
// replaced: the document then goes into the next free numbered folder (see openDocumentFolder),
// which documentFolder and notes report. A document that does not open gets no folder. Reports
// through `observer`, in this order: label "... 0 (of 0)", waitNotice(true), then either
// waitNotice(false) and return (not opened), or waitNotice(false) and per attachment:
// yieldPoint, attachmentDone, yieldPoint, label "... i (of n)", n counting the chosen
// attachments (see ExtractionOptions::choice). A false yieldPoint before a
// write stops before it; after a write, it stops once the label is set. The document is this
// call's own: handlers run from a yield point cannot disturb it.
// With a `flatPrefix` (see assignFlatPrefixes) the layout is flat: `documentFolder` is the
// output folder itself, which is neither made nor replaced, the files are named `flatPrefix`
// followed by their safe, de-duplicated names (cut to keep the whole within 200 bytes), and
// portfolio folders are not made (their files are named like the others, with a note).
// `budget`: the size budget shared with the documents written before (see
// extractNestedDocuments); null: one of options.maxDocumentSize for this document alone.
DocumentResult extractDocumentAttachments(const std::string &documentPath,
    const std::string &documentFolder,
    ExtractionObserver &observer,
    const ExtractionOptions &options = {},
    const std::string &flatPrefix = {},
    SizeBudget *budget = nullptr);

// Where the attachment's data is (or was to be written), relative to the document folder:
// "a.txt", or "folder/a.txt" for a file of a portfolio folder.
std::string pathInDocumentFolder(const DocumentResult &result, const AttachmentOutcome &outcome);

// The attachment label text for attachment `index` of `count`.
std::string attachmentLabelText(int index, int count);

// The document folder for a document: `outputFolder` (a separator is added when missing)
// followed by the document's file name without its final ".pdf" (any capitals) and made safe
// like an attachment name: "Report.PDF" gives "Report/", "x.pdf.old.pdf" gives "x.pdf.old/".
// The result ends in a separator and always lies inside `outputFolder`: a name with nothing left
// (".pdf") or only dots gives "_/".
std::string documentFolderFor(const std::string &outputFolder, const std::string &documentPath);

// The document folders of one run, for `documentPaths` in their order. They depend only on the
// set of paths, never on their order: the paths are sorted, the first of each clashing folder
// name keeps it, the others get "name (2)", "name (3)" in that order; a path given twice gets the
// same folder. `foldCase`: folder names that differ only in case clash (the output folder's file
// system ignores case).
std::vector<std::string> assignDocumentFolders(const std::string &outputFolder,
    const std::vector<std::string> &documentPaths,
    bool foldCase = OutputNameSet::caseInsensitiveByDefault);

// The name prefixes of the flat layout for `documentPaths`, in their order: "<name>__", where
// <name> is the document's folder name (see documentFolderFor) with each run of underscores
// made one, no underscore at its end and at most 80 bytes, de-duplicated as
// assignDocumentFolders does ("name (2)__"). Since no <name> holds "__" or ends in "_", the
// first "__" of a flat file name ends its prefix: files of different documents never clash.
std::vector<std::string> assignFlatPrefixes(const std::vector<std::string> &documentPaths,
    bool foldCase = OutputNameSet::caseInsensitiveByDefault);

// The document folders (or flat prefixes) of one run, one document at a time, in ascending
// order of their paths, as assignDocumentFolders (assignFlatPrefixes) gives them: a run of any
// size holds only the names in use, in a CompactStringSet.
class DocumentNamer {
public:
    static DocumentNamer folders(const std::string &outputFolder, bool foldCase);
    static DocumentNamer flatPrefixes(bool foldCase);

    // The name of the document at `documentPath`, which is no less than the path before it.
    std::string next(const std::string &documentPath);

private:
    DocumentNamer(bool foldCase, std::string before, std::string after, bool flat);

    bool m_foldCase;
    bool m_flat;
    std::string m_before; // around each name
    std::string m_after;
    CompactStringSet m_used; // names as compared
    std::unordered_map<std::uint64_t, int> m_nextNumber; // a used name's key -> next number
    bool m_named = false;
    std::string m_previousPath;
    std::string m_previousName;
};

} // namespace quenlith
