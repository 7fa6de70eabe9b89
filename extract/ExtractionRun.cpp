#include "extract/ExtractionRun.h"

#include "extract/NestedExtraction.h"
#include "util/Error.h"
#include "util/modMain.h"
#include "util/registry.h"

#include <algorithm>
#include <chrono>
#include <unordered_set>

namespace quenlith {

namespace {

// Below this a document's bytes are not worth a label of their own: it is written in a moment.
constexpr std::uint64_t LargeDocument = std::uint64_t { 64 } << 20;

std::vector<std::string> eachOnce(std::vector<std::string> files)
{
    std::unordered_set<std::string> seen;
    std::erase_if(files, [&seen](const std::string &file) { return !seen.insert(file).second; });
    return files;
}

} // namespace

struct ExtractionRun::Opened {
    OpenedFolder folder;
    bool ignoresCase = false;
};

// Turns one document's extraction events into the run's progress: the bar moves with the bytes
// written when the document declares their sizes, else with the attachments done.
class ExtractionRun::Observer : public ExtractionObserver {
public:
    Observer(RunView &view, std::size_t documents)
        : m_view(view)
        , m_documents(static_cast<double>(std::max<std::size_t>(documents, 1)))
    {
    }

    void startDocument(std::size_t index)
    {
        m_index = index;
        m_total = m_done = 0;
        m_count = m_finished = 0;
    }
    bool stopAsked() const
    {
        return m_stopAsked;
    }

    bool yieldPoint() override
    {
        m_stopAsked = m_stopAsked || !m_view.goOn();
        return !m_stopAsked;
    }
    void attachmentCount(int index, int count) override
    {
        m_view.attachmentCount(index, count);
    }
    void waitNotice(bool shown) override
    {
        m_view.opening(shown);
    }
    void attachmentsChosen(const std::vector<const Attachment *> &attachments) override
    {
        m_count = attachments.size();
        for (const Attachment *attachment : attachments)
            m_total
                += static_cast<std::uint64_t>(std::max<std::int64_t>(attachment->declaredSize, 0));
        m_started = std::chrono::steady_clock::now();
    }
    void attachmentDone(const AttachmentOutcome &outcome) override
    {
        ++m_finished;
        m_done += static_cast<std::uint64_t>(std::max<std::int64_t>(outcome.info.declaredSize, 0));
        showProgress(m_done);
    }
    bool writeProgress(std::uint64_t bytesWritten) override
    {
        const std::uint64_t written = m_done + bytesWritten;
        showProgress(written);
        if (m_total >= LargeDocument) {
            const std::chrono::duration<double> seconds
                = std::chrono::steady_clock::now() - m_started;
            m_view.bytesWritten(written,
                m_total,
                seconds.count() > 0.05 ? static_cast<std::uint64_t>(written / seconds.count()) : 0);
        }
        return m_view.keepWriting();
    }

private:
    void showProgress(std::uint64_t written)
    {
        double share = 0;
        if (m_total > 0)
            share = std::min(1.0, static_cast<double>(written) / static_cast<double>(m_total));
        else if (m_count > 0)
            share = static_cast<double>(m_finished) / static_cast<double>(m_count);
        m_view.progress((static_cast<double>(m_index) + share) / m_documents);
    }

    RunView &m_view;
    double m_documents;
    std::size_t m_index = 0;
    std::uint64_t m_total = 0; // declared bytes of the current document's attachments
    std::uint64_t m_done = 0; // of those, the attachments done
    std::size_t m_count = 0;
    std::size_t m_finished = 0;
    std::chrono::steady_clock::time_point m_started;
    bool m_stopAsked = false;
};

ExtractionRun::ExtractionRun(
    std::vector<std::string> files, std::string outputFolder, RunOptions options)
    : m_files(eachOnce(std::move(files)))
    , m_outputFolder(withTrailingSeparator(outputFolder))
    , m_options(std::move(options))
{
}

ExtractionRun::~ExtractionRun() = default;

const RunDetails &ExtractionRun::details() const
{
    return m_details;
}

RunReportSpool &ExtractionRun::report()
{
    return m_report;
}

RunEnd ExtractionRun::run(RunView &view)
{
    RunEnd end;
    end.documents = static_cast<int>(m_files.size());
    view.progress(0);
    if (!EnsureFolderPath(m_outputFolder))
        throw Error(ErrorNumber::PathNotFound,
            "The output folder " + m_outputFolder + " could not be created.");
    const bool ignoresCase = folderIgnoresCase(m_outputFolder);
    m_opened = std::make_unique<Opened>(Opened { OpenedFolder::open(m_outputFolder), ignoresCase });
    m_folders = assignDocumentFolders(m_outputFolder, m_files, ignoresCase);
    RunRecord header;
    header.program = "quenlith";
    header.outputFolder = m_outputFolder;
    std::string spoolError; // shown when the report is saved
    m_report.open(header, spoolError);
    Observer observer(view, m_files.size());
    for (std::size_t i = 0; i < m_files.size() && observer.yieldPoint(); ++i) {
        observer.startDocument(i);
        extractOne(view, observer, i);
        if (observer.stopAsked())
            break;
        ++end.done;
        view.progress(static_cast<double>(i + 1) / static_cast<double>(m_files.size()));
    }
    end.cancelled = observer.stopAsked();
    return end;
}

DocumentResult ExtractionRun::extract(
    Observer &observer, std::size_t index, const std::string &password)
{
    ExtractionOptions options; // keeps every file already there
    options.sha256 = true; // for the report the completion message offers
    options.foldCase = m_opened->ignoresCase;
    options.password = password;
    options.outputFolder = &m_opened->folder;
    const auto ticked = m_options.ticked.find(m_files[index]);
    if (ticked != m_options.ticked.end())
        options.choice.ticked = ticked->second;
    return extractDocumentAttachments(m_files[index], m_folders[index], observer, options);
}

void ExtractionRun::extractOne(RunView &view, Observer &observer, std::size_t index)
{
    view.documentStarted(m_files[index], m_folders[index]);
    DocumentResult result = extract(observer, index, m_passwordForAll);
    RunDetails::End end = askedPasswords(view, result, observer, index);
    if (result.stopped)
        end = RunDetails::End::Cancelled;
    view.documentDone(result);
    std::vector<DocumentResult> nested;
    if (m_options.nested && !result.stopped && end == RunDetails::End::Done) {
        ExtractionOptions options;
        options.sha256 = true;
        options.foldCase = m_opened->ignoresCase;
        nested = extractNestedDocuments(result, observer, options);
    }
    record(std::move(result), end);
    for (DocumentResult &inner : nested)
        record(std::move(inner), RunDetails::End::Done);
}

RunDetails::End ExtractionRun::askedPasswords(
    RunView &view, DocumentResult &result, Observer &observer, std::size_t index)
{
    const auto locked = [&result] { return result.openStatus == OpenStatus::NeedsPassword; };
    bool wrong = false;
    for (int asked = 0; locked() && m_askForPasswords && asked < PasswordQuestions; ++asked) {
        const RunView::PasswordReply reply = view.askPassword(result.documentPath, wrong);
        if (reply.forAllRemaining)
            m_askForPasswords = false;
        if (!reply.given)
            return RunDetails::End::SkippedByUser; // with "for all", every later one too
        if (reply.forAllRemaining)
            m_passwordForAll = reply.password;
        result = extract(observer, index, reply.password);
        wrong = true;
    }
    // Skip for all remaining: no password to try, no question.
    if (locked() && !m_askForPasswords && m_passwordForAll.empty())
        return RunDetails::End::SkippedByUser;
    return RunDetails::End::Done;
}

void ExtractionRun::record(DocumentResult result, RunDetails::End end)
{
    m_details.add(result, end);
    m_report.add(std::move(result));
}

} // namespace quenlith
