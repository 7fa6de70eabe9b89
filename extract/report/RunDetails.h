#pragma once

#include "extract/DocumentExtraction.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quenlith {

// What the end of a run tells the user beyond its totals: which documents failed or were skipped,
// and every attachment that was renamed, left unchanged, skipped or failed, with its path, grouped
// by document. Kept as values, not sentences: the window words them in the user's language.
class RunDetails {
public:
    // How the run left a document.
    enum class End {
        Done,
        SkippedByUser, // the user chose Skip when asked for its password: not a failure
        Cancelled, // the run was stopped during it: not a failure
    };

    // One notable thing that happened to a document or to one of its attachments.
    struct Line {
        enum class Kind {
            DocumentSkipped, // Skip was chosen when its password was asked for
            DocumentFailed, // not extracted; reason says why
            DocumentCancelled, // the run was stopped during it
            RenamedForSibling, // another attachment of the document has its name
            RenamedForExisting, // a file with other content was there
            Unchanged, // the same file was already there
            Skipped, // reason says why
            Abandoned, // the run was stopped during its write
            Failed, // reason says why
        };
        Kind kind = Kind::Failed;
        // Which add() recorded it, counting from 0: the lines of one document share it.
        std::size_t document = 0;
        std::string documentPath;
        std::string name; // the attachment's stored name; empty on a document's line
        std::string newName; // for the renamed kinds: the file name it was written under
        std::string reason; // plain English words from the core or the PDF library
        std::string where; // the attachment's output path
    };

    // At most this many failures are listed in the message text; the details list all of them.
    static constexpr int ItemsInText = 10;

    void add(const DocumentResult &document, End end);

    std::int64_t renamedForSibling() const;
    std::int64_t renamedForExisting() const;
    std::int64_t unchanged() const;
    std::int64_t documentsFailed() const; // listed documents only
    std::int64_t documentsSkipped() const;
    bool hasFailures() const; // a DocumentFailed or Failed line, nested documents included

    // Every notable document and attachment in the order of the run; empty when there is none.
    const std::vector<Line> &lines() const;

private:
    void addAttachment(const DocumentResult &document, const AttachmentOutcome &outcome);
    Line &addLine(const DocumentResult &document, Line::Kind kind);

    std::int64_t m_renamedForSibling = 0;
    std::int64_t m_renamedForExisting = 0;
    std::int64_t m_unchanged = 0;
    std::int64_t m_documentsFailed = 0;
    std::int64_t m_documentsSkipped = 0;
    bool m_hasFailures = false;
    std::size_t m_documents = 0; // add() calls so far
    std::vector<Line> m_lines;
};

} // namespace quenlith
