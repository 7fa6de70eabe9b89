#include "extract/NestedExtraction.h"

#include "extract/output/Digest.h"
#include "util/FsPath.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <string_view>

namespace quenlith {

namespace {

// As Document::open decides before it lets qpdf at a file: a PDF header in the first 1024 bytes.
bool startsLikePdf(const std::string &path)
{
    std::ifstream file(pathFromUtf8(path), std::ios::binary);
    char head[1024];
    file.read(head, sizeof head);
    return std::string_view(head, static_cast<std::size_t>(file.gcount())).find("%PDF-")
        != std::string_view::npos;
}

std::string sha256OfFile(const std::string &path)
{
    std::ifstream file(pathFromUtf8(path), std::ios::binary);
    if (!file)
        return {};
    Digest digest(Digest::Kind::Sha256);
    std::vector<char> buffer(256 * 1024);
    while (file) {
        file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        digest.update(buffer.data(), static_cast<std::size_t>(file.gcount()));
    }
    return file.eof() ? Digest::hex(digest.finish()) : std::string();
}

class NestedWalk {
public:
    NestedWalk(
        ExtractionObserver &observer, const ExtractionOptions &options, const NestedLimits &limits)
        : m_observer(observer)
        , m_options(options)
        , m_limits(limits)
        , m_budget(options.maxDocumentSize)
    {
        m_options.sha256 = true;
        m_options.choice = options.choice.forNested();
    }

    void visit(const DocumentResult &document, int depth)
    {
        // Copied: m_found grows below, and `document` may be one of its elements.
        const std::vector<AttachmentOutcome> attachments = document.attachments;
        const std::string parentPath = document.documentPath;
        for (const AttachmentOutcome &outcome : attachments) {
            if (m_stopped)
                return;
            if (!outcomeOnDisk(outcome.kind) || !startsLikePdf(outcome.outputPath))
                continue;
            DocumentResult nested;
            nested.documentPath = outcome.outputPath;
            nested.documentFolder = outcome.outputPath + ".attachments/";
            const std::string digest
                = outcome.sha256.empty() ? sha256OfFile(outcome.outputPath) : outcome.sha256;
            const auto met = m_seen.find(digest);
            if (depth > m_limits.maxDepth)
                nested.notSearched = "not searched for attachments: nested deeper than "
                    + std::to_string(m_limits.maxDepth) + " levels";
            else if (m_found.size() >= m_limits.maxDocuments)
                nested.notSearched = "not searched for attachments: more than "
                    + std::to_string(m_limits.maxDocuments) + " nested documents in one document";
            else if (!digest.empty() && met != m_seen.end())
                nested.notSearched
                    = "not searched for attachments again: the same bytes as " + met->second;
            else {
                if (!digest.empty())
                    m_seen.emplace(digest, outcome.outputPath);
                nested = extractDocumentAttachments(nested.documentPath,
                    nested.documentFolder,
                    m_observer,
                    m_options,
                    {},
                    &m_budget);
                m_stopped = nested.stopped;
            }
            nested.nestedIn = parentPath;
            nested.nesting = depth;
            m_found.push_back(std::move(nested));
            const std::size_t at = m_found.size() - 1;
            if (!m_stopped && m_found[at].processed)
                visit(m_found[at], depth + 1); // bounded by maxDepth
        }
    }

    void seeDocument(const DocumentResult &document)
    {
        // The listed document's bytes count in the budget that its nested documents share.
        m_budget.spend(document.budgetSpent);
        // A document that holds itself: only worth hashing when an attachment has its size.
        std::error_code error;
        const auto size = std::filesystem::file_size(pathFromUtf8(document.documentPath), error);
        for (const AttachmentOutcome &outcome : document.attachments) {
            if (!error && outcome.bytes == size) {
                const std::string digest = sha256OfFile(document.documentPath);
                if (!digest.empty())
                    m_seen.emplace(digest, document.documentPath);
                return;
            }
        }
    }

    std::vector<DocumentResult> take()
    {
        return std::move(m_found);
    }

private:
    ExtractionObserver &m_observer;
    ExtractionOptions m_options;
    NestedLimits m_limits;
    SizeBudget m_budget; // of the listed document, shared by every document nested in it
    std::map<std::string, std::string> m_seen; // SHA-256 -> the first file with those bytes
    std::vector<DocumentResult> m_found;
    bool m_stopped = false;
};

} // namespace

std::vector<DocumentResult> extractNestedDocuments(const DocumentResult &parent,
    ExtractionObserver &observer,
    const ExtractionOptions &options,
    const NestedLimits &limits)
{
    NestedWalk walk(observer, options, limits);
    walk.seeDocument(parent);
    walk.visit(parent, 1);
    return walk.take();
}

} // namespace quenlith
