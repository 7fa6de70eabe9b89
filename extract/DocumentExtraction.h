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
    int index = 0;               // 1-based
    std::string storedName;      // the name the document gives, UTF-8
    std::string outputPath;      // where it was (or was to be) written
    int writeStatus = 0;         // a WriteStatus as int
    std::string reason;          // for Failed and ChecksumMismatch, in plain words
    std::uint64_t bytes = 0;     // bytes written
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
    bool stopped = false; // the observer asked to stop before every attachment was done
    std::vector<AttachmentOutcome> attachments;
};

// Opens `documentPath` in `library` (empty password, then `password` if that is not empty and
// the document needs one) and writes every embedded file into `documentFolder` (which must exist
// and end in a separator) under its safe, de-duplicated name. Reports through `observer`.
DocumentResult extractDocumentAttachments(PdfLibrary &library,
    const std::string &documentPath,
    const std::string &documentFolder,
    ExtractionObserver &observer,
    const std::string &password = {});

// The attachment label text for attachment `index` of `count`.
std::string attachmentLabelText(int index, int count);

// The document folder for a document: `outputFolder` (ending in a separator) followed by the
// document's file name with every ".pdf", in any mix of capitals, replaced by the separator.
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
