#pragma once

#include "extract/DocumentExtraction.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quenlith {

// What the end of a run tells the user beyond its totals: which documents failed or were skipped,
// and every attachment that was renamed, left unchanged, skipped or failed, with its path, grouped
// by document. Plain English words; names and paths UTF-8 as the results give them.
class RunDetails {
public:
    // How the run left a document.
    enum class End {
        Done,
        SkippedByUser, // the user chose Skip when asked for its password: not a failure
        Cancelled, // the run was stopped during it: not a failure
    };

    // At most this many failures are listed in the message text; the details list all of them.
    static constexpr int ItemsInText = 10;

    void add(const DocumentResult &document, End end);

    std::int64_t renamedForSibling() const;
    std::int64_t renamedForExisting() const;
    std::int64_t unchanged() const;
    std::int64_t documentsFailed() const; // listed documents only
    std::int64_t documentsSkipped() const;
    bool hasFailures() const;

    // The failures by kind, each kind with its count, the first ItemsInText items in all, then
    // "and N more (see the details)."; empty when nothing failed.
    std::string failureText() const;
    // Every notable document and attachment, grouped by document; empty when there is none.
    const std::string &text() const;

private:
    void addAttachment(const DocumentResult &document, const AttachmentOutcome &outcome);
    void addLine(const DocumentResult &document, const std::string &line);

    std::int64_t m_renamedForSibling = 0;
    std::int64_t m_renamedForExisting = 0;
    std::int64_t m_unchanged = 0;
    std::int64_t m_documentsFailed = 0;
    std::int64_t m_documentsSkipped = 0;
    std::vector<std::string> m_unopened; // "path: reason"
    std::vector<std::string> m_failedAttachments; // "path, name: reason"
    std::string m_text;
    const DocumentResult *m_lastDocument = nullptr; // whose heading the text ends under
};

} // namespace quenlith
