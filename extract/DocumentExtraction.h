#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace quenlith {

class PdfLibrary;

// What happened to one attachment of a document.
struct AttachmentOutcome {
    enum class Kind { Written, Renamed, Failed, ChecksumMismatch, Abandoned };
    Kind kind = Kind::Failed;
    int index = 0; // 1-based
    std::string storedName; // the name the document gives, UTF-8
    std::string outputPath; // where it was (or was to be) written
    int writeStatus = 0; // a WriteStatus as int
    std::string reason; // for Failed and ChecksumMismatch, in plain words
    std::uint64_t bytes = 0; // bytes written
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
    // The wait notice is shown while the document is opened and counted.
    virtual void waitNotice(bool shown)
    {
        (void)shown;
    }
    virtual void attachmentDone(const AttachmentOutcome &outcome)
    {
        (void)outcome;
    }
    // Called every few megabytes of a long write; returning false abandons it (no file left).
    virtual bool writeProgress(std::uint64_t bytesWritten)
    {
        (void)bytesWritten;
        return true;
    }
};

struct DocumentResult {
    std::string documentPath;
    std::string documentFolder;
    int openStatus = 0; // an OpenStatus as int
    std::string openReason;
    int count = 0;
    // Not every attachment was done: the observer asked to stop, or the document could not be
    // made current again after a yield point.
    bool stopped = false;
    std::vector<AttachmentOutcome> attachments;
};

// Opens `documentPath` in `library` (empty password, then `password` if that is not empty and
// the document needs one) and writes every embedded file into `documentFolder` (which must exist;
// a separator is added when missing) under its safe, de-duplicated name. Reports through
// `observer`, in this order: label "... 0 (of 0)", waitNotice(true), then either waitNotice(false)
// and return (not opened), or waitNotice(false) and per attachment: yieldPoint, attachmentDone,
// yieldPoint, label "... i (of n)". A false yieldPoint before a write stops before it; after a
// write, it stops once the label is set. A file that was in the folder before is replaced.
// When a handler run from a yield point has made another document current in `library`, the
// document is opened again before the next attachment (if that fails, the extraction stops with
// the reason in openReason).
DocumentResult extractDocumentAttachments(PdfLibrary &library,
    const std::string &documentPath,
    const std::string &documentFolder,
    ExtractionObserver &observer,
    const std::string &password = {});

// The attachment label text for attachment `index` of `count`.
std::string attachmentLabelText(int index, int count);

// The document folder for a document: `outputFolder` (a separator is added when missing)
// followed by the document's file name with every ".pdf", in any mix of capitals, replaced by the
// separator: "Report.PDF" gives "Report/", "a.pdf.pdf" gives "a/". The result ends in a
// separator and always lies inside `outputFolder`: repeated separators are collapsed, "." and
// ".." components become "_" ("..pdf" gives "_/"), and a name with nothing left (".pdf") gives
// "_/".
std::string documentFolderFor(const std::string &outputFolder, const std::string &documentPath);

// Within one run, gives each distinct document its own document folder: the first document to
// use a folder keeps it, a different document whose folder would coincide gets "name (2)",
// "name (3)"; the same document asked again gets the folder it had.
class DocumentFolderAllocator {
public:
    std::string folderFor(const std::string &outputFolder, const std::string &documentPath);

private:
    std::map<std::string, std::string> m_folderOfDocument; // document path -> folder
    std::map<std::string, std::string> m_documentOfFolder; // comparable folder -> document path
};

} // namespace quenlith
