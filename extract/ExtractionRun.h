#pragma once

#include "extract/DocumentExtraction.h"
#include "extract/report/RunDetails.h"
#include "extract/report/RunReport.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quenlith {

// What an extraction run tells whoever shows it; the notifications that only keep a display
// current do nothing unless overridden. Every function is called on the run's thread,
// in the order of events; texts and paths are UTF-8 (paths as the file system gives them).
class RunView {
public:
    struct PasswordReply {
        bool given = false; // false: the user chose Skip
        std::string password;
        bool forAllRemaining = false; // the answer holds for the run's other documents
    };

    virtual ~RunView() = default;
    // A pause between writes: false stops the run before its next write (Cancel, or the program
    // is closing).
    virtual bool goOn() = 0;
    // Asked every few megabytes of a write: false abandons it, leaving no file (the program is
    // closing).
    virtual bool keepWriting()
    {
        return true;
    }
    // The share of the run done, 0 to 1: documents done and the share of the current one's bytes.
    virtual void progress(double share) = 0;
    // `file` is the next document; `folder` its document folder (ending in a separator).
    virtual void documentStarted(const std::string & /*file*/, const std::string & /*folder*/)
    {
    }
    // Attachment `index` of `count` of the current document is done.
    virtual void attachmentCount(int /*index*/, int /*count*/)
    {
    }
    // Every few megabytes of a large document: its bytes written of `total`, and the rate in
    // bytes a second (0 while it is too early to tell).
    virtual void bytesWritten(
        std::uint64_t /*written*/, std::uint64_t /*total*/, std::uint64_t /*perSecond*/)
    {
    }
    // True while the current document is opened and its attachments listed.
    virtual void opening(bool /*opening*/)
    {
    }
    // The password of `file`; `lastWasWrong` when the one given before did not open it.
    virtual PasswordReply askPassword(const std::string &file, bool lastWasWrong) = 0;
    // A listed document is done: its attachments' outcomes.
    virtual void documentDone(const DocumentResult &result) = 0;
};

struct RunOptions {
    bool nested = false; // also extract from attached PDF documents
    // Per document path: the attachments ticked in it (see AttachmentChoice::ticked); a
    // document not named here is extracted whole.
    std::map<std::string, TickedAttachments> ticked;
};

// How a run ended.
struct RunEnd {
    int documents = 0; // distinct documents given
    int done = 0; // documents extracted to their end
    bool cancelled = false;
};

// One extraction run: the given documents into one output folder, one after the other, each into
// its own document folder (assignDocumentFolders), each path once. It knows nothing of a window:
// it reports through a RunView, on the thread that calls run(). The run's report and details stay
// with the object after run() for the completion message.
class ExtractionRun {
public:
    // `outputFolder` ends in a separator or gets one.
    ExtractionRun(std::vector<std::string> files, std::string outputFolder, RunOptions options);
    ~ExtractionRun();
    ExtractionRun(const ExtractionRun &) = delete;
    ExtractionRun &operator=(const ExtractionRun &) = delete;

    // Creates the output folder and extracts every document; throws quenlith::Error when the
    // output folder cannot be created.
    RunEnd run(RunView &view);

    const RunDetails &details() const;
    RunReportSpool &report();

    // At most this many times a wrong password is asked for again.
    static constexpr int PasswordQuestions = 3;

private:
    class Observer;
    struct Opened;

    void extractOne(RunView &view, Observer &observer, std::size_t index);
    // Asks for the password of a document that needs one, again when it was wrong, and
    // extracts with it; how the document ends.
    RunDetails::End askedPasswords(
        RunView &view, DocumentResult &result, Observer &observer, std::size_t index);
    DocumentResult extract(Observer &observer, std::size_t index, const std::string &password);
    void record(DocumentResult result, RunDetails::End end);

    std::vector<std::string> m_files;
    std::vector<std::string> m_folders;
    std::string m_outputFolder;
    RunOptions m_options;
    std::unique_ptr<Opened> m_opened;
    RunDetails m_details;
    RunReportSpool m_report;
    std::string m_passwordForAll;
    bool m_askForPasswords = true;
};

} // namespace quenlith
