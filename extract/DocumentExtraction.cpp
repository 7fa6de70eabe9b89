#include "extract/DocumentExtraction.h"

#include "extract/output/OutputFolder.h"
#include "extract/output/PartFile.h"
#include "extract/output/Placement.h"
#include "extract/pdf/AttachmentWriter.h"
#include "extract/pdf/Document.h"
#include "util/FsPath.h"
#include "util/SafeFileName.h"
#include "util/registry.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <system_error>
#include <unordered_map>
#include <variant>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace quenlith {

namespace {

AttachmentOutcome::Kind outcomeKind(const WriteResult &written, bool numbered)
{
    switch (written.status) {
    case WriteStatus::Written:
        if (written.placement == Placement::Unchanged)
            return AttachmentOutcome::Kind::Unchanged;
        if (written.placement == Placement::Overwritten)
            return AttachmentOutcome::Kind::Overwritten;
        if (written.placement == Placement::Alternative || numbered)
            return AttachmentOutcome::Kind::Renamed;
        return AttachmentOutcome::Kind::Written;
    case WriteStatus::ChecksumMismatch:
        return AttachmentOutcome::Kind::ChecksumMismatch;
    case WriteStatus::Abandoned:
        return AttachmentOutcome::Kind::Abandoned;
    case WriteStatus::Skipped:
        return AttachmentOutcome::Kind::Skipped;
    default:
        return AttachmentOutcome::Kind::Failed;
    }
}

// Below this a declared size is not worth asking the file system about its free space.
constexpr std::int64_t freeSpaceCheckFloor = 16 * 1024 * 1024;

// "disk full: N bytes needed, M free" when the folder's file system has not room for the
// attachment's declared size, so that it fails at once instead of after filling the disk.
std::string missingSpace(const std::string &folder, std::int64_t declaredSize)
{
    if (declaredSize < freeSpaceCheckFloor)
        return {};
    std::error_code error;
    const auto space = std::filesystem::space(pathFromUtf8(folder), error);
    if (error || space.available >= static_cast<std::uintmax_t>(declaredSize))
        return {};
    return "disk full: " + std::to_string(declaredSize) + " bytes needed, "
        + std::to_string(space.available) + " free";
}

#ifdef _WIN32
constexpr bool folderHandles = false;
#else
constexpr bool folderHandles = true;
#endif

// Whole flat names stay within the bound of safe names, which leaves room for a number and the
// decoration of a temporary file.
constexpr std::size_t maxFlatNameBytes = 200;

// `name` cut to `maxBytes` at a UTF-8 character boundary, keeping a short extension.
std::string cutKeepingExtension(const std::string &name, std::size_t maxBytes)
{
    if (name.size() <= maxBytes)
        return name;
    const std::size_t dot = name.find_last_of('.');
    const std::string ext
        = dot != std::string::npos && dot > 0 && name.size() - dot <= 12 ? name.substr(dot) : "";
    std::size_t keep = maxBytes > ext.size() ? maxBytes - ext.size() : 0;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep; // not inside a character
    return name.substr(0, keep) + ext;
}

// Removes `path` when it is an empty folder (never a link at its name); false when it stays.
bool removeEmptyFolder(const std::string &path)
{
#ifdef _WIN32
    std::error_code error;
    const std::filesystem::path folder = pathFromUtf8(path);
    return std::filesystem::is_directory(std::filesystem::symlink_status(folder, error))
        && std::filesystem::remove(folder, error);
#else
    std::string name = path;
    while (name.size() > 1 && name.back() == '/')
        name.pop_back();
    return ::rmdir(name.c_str()) == 0; // refuses a link and a folder that holds anything
#endif
}

// Temporary files a killed run left in a folder this run did not make.
void sweepFolder(const FolderHandle &handle, const std::string &path)
{
    if (handle.fd() >= 0)
        PartFile::removeStaleParts(handle.fd());
    else if (!folderHandles)
        PartFile::removeStaleParts(pathFromUtf8(path));
}

// Past this a folder's path leaves no room below the usual PATH_MAX of 4096 bytes for a file
// name of up to 200 bytes with its number and the decoration of its temporary file.
constexpr std::size_t maxFolderPathBytes = 3600;

// The folders one document's files go into: the document folder and the portfolio folders made
// inside it, each with the names this run has given in it.
class OutputFolders {
public:
    struct Folder {
        std::string path; // ends in a separator
        std::vector<std::string> levels; // names on disk from the document folder down
        OutputNameSet names;
        std::map<std::string, std::size_t> children; // stored name -> index, or `none`
        FolderHandle handle; // while open; a folder past the bound is opened again when needed
        bool isNew = false; // made by this run, so it holds only files of this run
    };

    OutputFolders(const std::string &documentFolder, FolderHandle handle, bool isNew, bool foldCase)
        : m_foldCase(foldCase)
    {
        m_folders.push_back(
            { documentFolder, {}, OutputNameSet(foldCase), {}, std::move(handle), isNew });
    }

    // The index of the folder for a portfolio folder path, made on first use. Notes tell of
    // numbered folders and of folders that could not be made, whose files go to the top.
    std::size_t folderFor(
        const std::vector<std::string> &folderPath, std::vector<std::string> &notes)
    {
        if (folderPath.size() > static_cast<std::size_t>(maxPortfolioFolderDepth))
            return 0; // the reader warned already
        std::size_t at = 0;
        for (const std::string &stored : folderPath) {
            const auto known = m_folders[at].children.find(stored);
            if (known != m_folders[at].children.end()) {
                if (known->second == none)
                    return 0;
                at = known->second;
                continue;
            }
            const std::size_t child = make(at, stored, notes);
            m_folders[at].children.emplace(stored, child);
            if (child == none)
                return 0;
            at = child;
        }
        return at;
    }

    Folder &operator[](std::size_t index)
    {
        return m_folders[index];
    }

    // Removes the folders this run made that hold nothing, the deepest first; true when the
    // document folder went too. A folder that holds something, or a link swapped in for one,
    // stays.
    bool removeEmptyNew()
    {
        m_open.clear();
        bool removed = false;
        for (auto folder = m_folders.rbegin(); folder != m_folders.rend(); ++folder) {
            folder->handle.reset();
            removed = folder->isNew && removeEmptyFolder(folder->path);
        }
        return removed;
    }

    // The folder's descriptor (-1 where the system has none, or when it cannot be opened again),
    // leaving `alsoInUse` open. A portfolio of many folders keeps only a bounded number open.
    int fd(std::size_t index, std::size_t alsoInUse = 0)
    {
        Folder &folder = m_folders[index];
        if (folder.handle.fd() >= 0 || index == 0 || !folderHandles)
            return folder.handle.fd();
        FolderHandle handle = FolderHandle::openBelow(m_folders.front().handle.fd(), folder.levels);
        if (handle.fd() < 0)
            return -1;
        keep(index, std::move(handle), alsoInUse);
        return folder.handle.fd();
    }

private:
    static constexpr std::size_t none = SIZE_MAX;

    static std::string shown(const std::vector<std::string> &levels)
    {
        std::string text;
        for (std::size_t i = 0; i < levels.size(); ++i)
            text += (i == 0 ? "" : "/") + levels[i];
        return text;
    }

    std::size_t make(
        std::size_t parentIndex, const std::string &stored, std::vector<std::string> &notes)
    {
        const std::string name = safeOutputFolderName(stored);
        Folder &parent = m_folders[parentIndex];
        std::vector<std::string> wanted = parent.levels;
        wanted.push_back(name);
        const auto leftAtTop = [&](const std::string &why) {
            notes.push_back("the files of the folder " + shown(wanted)
                + " are written at the top because " + why);
            return none;
        };
        if (parent.path.size() + name.size() + 1 > maxFolderPathBytes)
            return leftAtTop("its path would be too long");
        SubFolderChoice choice = openSubFolder(
            parent.path, fd(parentIndex), name, [&parent](const std::string &candidate) {
                return parent.names.isUsed(candidate);
            });
        if (choice.name.empty())
            return leftAtTop("it cannot be created: " + choice.failure);
        parent.names.reserve(choice.name);
        Folder folder { parent.path + choice.name + preferredSeparator(),
            parent.levels,
            OutputNameSet(m_foldCase),
            {},
            {},
            choice.created };
        folder.levels.push_back(choice.name);
        if (!choice.clash.empty())
            notes.push_back("written into " + shown(folder.levels) + " because " + shown(wanted)
                + " " + choice.clash);
        if (!choice.created)
            sweepFolder(choice.handle, folder.path);
        m_folders.push_back(std::move(folder));
        if (choice.handle.fd() >= 0)
            keep(m_folders.size() - 1, std::move(choice.handle), parentIndex);
        return m_folders.size() - 1;
    }

    // Holds the folder open, closing the longest open one (but `alsoInUse`) past the bound.
    void keep(std::size_t index, FolderHandle handle, std::size_t alsoInUse)
    {
        if (m_open.size() >= maxOpenFolders) {
            const auto victim = std::find_if(m_open.begin(),
                m_open.end(),
                [alsoInUse](std::size_t open) { return open != alsoInUse; });
            m_folders[*victim].handle.reset();
            m_open.erase(victim);
        }
        m_folders[index].handle = std::move(handle);
        m_open.push_back(index);
    }

    // Portfolio folders held open at once, besides the document folder.
    static constexpr std::size_t maxOpenFolders = 64;

    bool m_foldCase;
    std::deque<Folder> m_folders; // [0]: the document folder; references stay valid
    std::deque<std::size_t> m_open; // the portfolio folders with an open handle, oldest first
};

} // namespace

std::string pathInDocumentFolder(const DocumentResult &result, const AttachmentOutcome &outcome)
{
    const std::string &folder = result.documentFolder;
    if (!folder.empty() && outcome.outputPath.compare(0, folder.size(), folder) == 0)
        return outcome.outputPath.substr(folder.size());
    return FileNameOfPath(outcome.outputPath);
}

void ExtractionObserver::attachmentCount(int index, int count)
{
    attachmentLabel(attachmentLabelText(index, count));
}

std::string attachmentLabelText(int index, int count)
{
    return "Extracted Attachment(s) " + std::to_string(index) + " (of " + std::to_string(count)
        + ")";
}

bool outcomeSucceeded(AttachmentOutcome::Kind kind)
{
    switch (kind) {
    case AttachmentOutcome::Kind::Written:
    case AttachmentOutcome::Kind::Renamed:
    case AttachmentOutcome::Kind::Unchanged:
    case AttachmentOutcome::Kind::Overwritten:
    case AttachmentOutcome::Kind::Skipped:
    case AttachmentOutcome::Kind::NotChosen:
        return true;
    default:
        return false;
    }
}

bool outcomeOnDisk(AttachmentOutcome::Kind kind)
{
    return outcomeSucceeded(kind) && kind != AttachmentOutcome::Kind::Skipped
        && kind != AttachmentOutcome::Kind::NotChosen;
}

OpenStatus openStatusOf(OpenFailure::Reason reason)
{
    switch (reason) {
    case OpenFailure::Reason::FileUnreadable:
        return OpenStatus::FileUnreadable;
    case OpenFailure::Reason::NeedsPassword:
        return OpenStatus::NeedsPassword;
    case OpenFailure::Reason::Damaged:
        return OpenStatus::Damaged;
    case OpenFailure::Reason::NotPdf:
        return OpenStatus::NotPdf;
    case OpenFailure::Reason::Stopped:
        break;
    }
    return OpenStatus::NotOpened;
}

const char *const incompleteListingReason
    = "not every attachment could be listed: the search stopped at a bound";

std::string documentFailure(const DocumentResult &result)
{
    if (!result.notSearched.empty())
        return {};
    if (!result.processed)
        return "not extracted: the run was stopped first";
    if (!result.folderFailure.empty())
        return result.folderFailure;
    if (result.openStatus != OpenStatus::Opened)
        return result.openReason.empty() ? "cannot be opened" : result.openReason;
    if (!result.invoiceMissing.empty())
        return result.invoiceMissing;
    if (!result.listingComplete)
        return incompleteListingReason;
    if (result.stopped)
        return "stopped before every attachment was written";
    return {};
}

bool documentSucceeded(const DocumentResult &result)
{
    if (!documentFailure(result).empty())
        return false;
    for (const AttachmentOutcome &outcome : result.attachments) {
        if (!outcomeSucceeded(outcome.kind))
            return false;
    }
    return true;
}

namespace {

void keepWarnings(const Document &document, DocumentResult &result)
{
    std::vector<std::string> all = document.warnings();
    result.warningCount = all.size();
    if (all.size() > DocumentResult::maxWarnings)
        all.resize(DocumentResult::maxWarnings);
    result.warnings = std::move(all);
    result.repaired = document.repaired();
    result.listingComplete = document.listingComplete();
}

// Opens the document with the empty password, then options.password if it needs one.
std::optional<Document> openDocument(
    const std::string &path, const ExtractionOptions &options, DocumentResult &result)
{
    OpenLimits limits;
    limits.stop = options.stop;
    auto opened = Document::open(path, std::string(), limits);
    const auto *failure = std::get_if<OpenFailure>(&opened);
    if (failure != nullptr && failure->reason == OpenFailure::Reason::NeedsPassword
        && !options.password.empty()) {
        opened = Document::open(path, options.password, limits);
        failure = std::get_if<OpenFailure>(&opened);
    }
    if (failure != nullptr && failure->reason == OpenFailure::Reason::Stopped) {
        result.processed = false;
        return std::nullopt;
    }
    if (failure != nullptr) {
        result.openStatus = openStatusOf(failure->reason);
        result.openReason = failure->text;
        return std::nullopt;
    }
    result.openStatus = OpenStatus::Opened;
    return std::move(std::get<Document>(opened));
}

// The attachments to write, in this order; none, with the reason in `result`, when only the
// invoice is asked for and the document declares none or does not have its file.
std::vector<const Attachment *> chooseAttachments(
    const Document &document, const ExtractionOptions &options, DocumentResult &result)
{
    std::vector<const Attachment *> chosen;
    result.invoice = document.invoice();
    if (options.invoicesOnly) {
        const InvoiceInfo &invoice = result.invoice;
        result.count = static_cast<int>(document.attachments().size())
            + (options.unlisted ? static_cast<int>(document.unlisted().size()) : 0);
        if (invoice.present) {
            chosen.push_back(document.at(invoice.index));
        } else if (!invoice.declared && !invoice.metadataUnreadable.empty()) {
            result.invoiceMissing = invoice.metadataUnreadable;
        } else if (!invoice.declared) {
            result.noInvoice = true;
            result.notes.push_back(
                "no invoice: its XMP metadata declares none and no XML attachment is one");
        } else if (invoice.fileName.empty()) {
            result.invoiceMissing = "the invoice that its XMP metadata declares has no file name";
        } else {
            result.invoiceMissing = "the invoice " + invoice.fileName
                + " that its XMP metadata declares is not among its attachments";
        }
        return chosen;
    }
    for (const Attachment &attachment : document.attachments())
        chosen.push_back(&attachment);
    if (options.unlisted) {
        for (const Attachment &attachment : document.unlisted())
            chosen.push_back(&attachment);
    }
    result.count = static_cast<int>(chosen.size());
    return chosen;
}

// The outcome of an attachment that the options' choice leaves out.
AttachmentOutcome notChosen(const Attachment &attachment, std::string reason)
{
    AttachmentOutcome outcome;
    outcome.kind = AttachmentOutcome::Kind::NotChosen;
    outcome.index = attachment.position;
    outcome.storedName = attachment.name;
    outcome.info = attachment;
    outcome.writeStatus = WriteStatus::Skipped;
    outcome.reason = std::move(reason);
    return outcome;
}

// Opens (or makes) the folder the document's files go into; none, with the reason in
// result.folderFailure, when it cannot be had.
std::optional<OutputFolders> openFolders(
    const ExtractionOptions &options, bool flat, DocumentResult &result)
{
    FolderHandle handle;
    bool isNew = false;
    if (!flat) {
        DocumentFolderChoice folder
            = openDocumentFolder(result.documentFolder, options.outputFolder);
        if (folder.folder.empty()) {
            result.folderFailure = std::move(folder.failure);
            return std::nullopt;
        }
        result.documentFolder = std::move(folder.folder);
        // Temporary files a killed run left here (mostly where the file system has no anonymous
        // ones); a folder just made holds none. The output folder of the flat layout is cleaned
        // once per run, by the caller.
        if (!folder.created)
            sweepFolder(folder.handle, result.documentFolder);
        handle = std::move(folder.handle);
        isNew = folder.created;
        if (!folder.note.empty())
            result.notes.push_back(std::move(folder.note));
    } else if (options.outputFolder != nullptr && options.outputFolder->handle.fd() >= 0
        && options.outputFolder->path == result.documentFolder) {
        handle = options.outputFolder->handle.duplicate();
    } else {
        handle = FolderHandle::open(result.documentFolder);
    }
    result.folderExists = true;
    return std::make_optional<OutputFolders>(
        result.documentFolder, std::move(handle), isNew, options.foldCase);
}

// Writes a document's attachments one by one into its folders: the target from the folder's
// names, then one write, or a copy of the file of an earlier attachment with the same data.
class AttachmentWriterJob {
public:
    AttachmentWriterJob(const Document &document,
        OutputFolders &folders,
        const ExtractionOptions &options,
        const std::string &prefix,
        SizeBudget &budget,
        ExtractionObserver &observer,
        DocumentResult &result)
        : m_document(document)
        , m_folders(folders)
        , m_options(options)
        , m_prefix(prefix)
        , m_result(result)
        , m_progress([&observer](std::uint64_t bytes) { return observer.writeProgress(bytes); })
    {
        m_limits.maxBytes = options.maxAttachmentSize;
        m_limits.maxRatio = options.maxExpansionRatio;
        m_limits.budget = &budget;
    }

    AttachmentOutcome writeNext(const Attachment &attachment);

private:
    // Where the attachment goes, and the earlier one with the same data whose file it copies.
    struct Target {
        std::size_t folder = 0;
        const AttachmentOutcome *sameData = nullptr;
        std::size_t sourceFolder = 0;
    };
    Target targetOf(const Attachment &attachment);
    AttachmentOutcome writeTo(const Attachment &attachment, const Target &target);
    WriteRequest requestFor(const OutputFolders::Folder &folder,
        int folderFd,
        const std::string &outputName,
        const std::string &safeName,
        int &number);
    void describe(AttachmentOutcome &outcome,
        const WriteResult &written,
        const std::string &outputName,
        const std::string &safeName,
        OutputNameSet &usedNames);

    const Document &m_document;
    OutputFolders &m_folders;
    const ExtractionOptions &m_options;
    const std::string &m_prefix;
    DocumentResult &m_result;
    WriteProgress m_progress;
    SizeLimits m_limits;
    // data identity -> index in m_result.attachments, index of its folder
    std::unordered_map<std::uint64_t, std::pair<std::size_t, std::size_t>> m_firstWithData;
    bool m_foldersFlattened = false;
};

AttachmentWriterJob::Target AttachmentWriterJob::targetOf(const Attachment &attachment)
{
    Target target;
    // Several names for one embedded stream: its data is decoded once, the others get copies of
    // the file (or its failure).
    const auto first = attachment.dataIdentity == 0 ? m_firstWithData.end()
                                                    : m_firstWithData.find(attachment.dataIdentity);
    if (first != m_firstWithData.end()) {
        const AttachmentOutcome &earlier = m_result.attachments[first->second.first];
        if (outcomeOnDisk(earlier.kind) || earlier.writeStatus == WriteStatus::DecodeFailed
            || earlier.writeStatus == WriteStatus::TooLarge) {
            target.sameData = &earlier;
            target.sourceFolder = first->second.second;
        }
    }
    const bool flat = !m_prefix.empty();
    if (flat && !attachment.folderPath.empty() && !m_foldersFlattened) {
        m_foldersFlattened = true;
        m_result.notes.push_back("the flat layout keeps no portfolio folders: their files are "
                                 "named like the others");
    }
    target.folder = m_folders.folderFor(
        flat ? std::vector<std::string>() : attachment.folderPath, m_result.notes);
    return target;
}

AttachmentOutcome AttachmentWriterJob::writeNext(const Attachment &attachment)
{
    const Target target = targetOf(attachment);
    AttachmentOutcome outcome = writeTo(attachment, target);
    if (target.sameData == nullptr && attachment.dataIdentity != 0)
        m_firstWithData[attachment.dataIdentity] = { m_result.attachments.size(), target.folder };
    return outcome;
}

WriteRequest AttachmentWriterJob::requestFor(const OutputFolders::Folder &folder,
    int folderFd,
    const std::string &outputName,
    const std::string &safeName,
    int &number)
{
    WriteRequest request;
    request.path = folder.path + m_prefix + outputName;
    request.folderFd = folderFd;
    request.folderIsNew = folder.isNew;
    request.existing = m_options.existing;
    request.sha256 = m_options.sha256;
    // Names another attachment of this run has taken are passed over; trying a name does not
    // take it, so that a rerun finds each attachment where the first run put it.
    const OutputNameSet &usedNames = folder.names;
    request.nextAlternative = [&number, &usedNames, safeName, this] {
        std::string name;
        do
            name = numberedName(safeName, ++number);
        while (usedNames.isUsed(name));
        return m_prefix + name;
    };
    return request;
}

AttachmentOutcome AttachmentWriterJob::writeTo(const Attachment &attachment, const Target &target)
{
    OutputFolders::Folder &folder = m_folders[target.folder];
    const int folderFd = m_folders.fd(target.folder, target.sourceFolder);
    const int sourceFd
        = target.sameData != nullptr ? m_folders.fd(target.sourceFolder, target.folder) : -1;
    AttachmentOutcome outcome;
    outcome.index = attachment.position;
    outcome.info = attachment;
    outcome.storedName = attachment.name;
    const InvoiceInfo &invoice = m_result.invoice;
    const bool byNumber = m_options.invoiceNames && invoice.present
        && invoice.index == attachment.position && !invoice.content.number.empty();
    const std::string safeName = cutKeepingExtension(
        safeOutputFileName(
            byNumber ? invoice.content.number + ".xml" : attachment.name, attachment.position),
        maxFlatNameBytes - m_prefix.size());
    const auto refuse = [&](WriteStatus status, std::string reason) {
        outcome.writeStatus = status;
        outcome.outputPath = folder.path + m_prefix + safeName;
        outcome.reason = std::move(reason);
        return outcome;
    };
    const AttachmentOutcome *sameData = target.sameData;
    // The data of an earlier attachment that failed to decode is not decoded again.
    if (sameData != nullptr && !outcomeSucceeded(sameData->kind))
        return refuse(sameData->writeStatus, sameData->reason);
    // Where folders are written through their descriptors, one that cannot be had is never
    // replaced by its path, which a link swapped in would lead elsewhere.
    if (folderHandles && (folderFd < 0 || (sameData != nullptr && sourceFd < 0)))
        return refuse(WriteStatus::CannotCreate, "cannot create the file: its folder is gone");
    // Past the document's budget nothing more is decoded, and the name stays free for the rerun.
    if (sameData == nullptr && m_limits.budget != nullptr && m_limits.budget->exhausted())
        return refuse(WriteStatus::TooLarge, m_limits.budget->reason());
    std::string noRoom
        = sameData != nullptr ? std::string() : missingSpace(folder.path, attachment.declaredSize);
    if (!noRoom.empty())
        return refuse(WriteStatus::DiskFull, std::move(noRoom));
    const std::string outputName = folder.names.claim(safeName);
    int number = 1;
    const WriteRequest request = requestFor(folder, folderFd, outputName, safeName, number);
    WriteResult written;
    if (sameData != nullptr) {
        // A copy of data already on disk counts nothing against the budget.
        written = writeResultOf(placeCopy(sameData->outputPath, sourceFd, request));
        if (written.status == WriteStatus::Written) {
            written.sha256 = m_options.sha256 ? sameData->sha256 : std::string();
            written.storedInClear = sameData->storedInClear;
        }
    } else {
        written = write(m_document, attachment, request, m_limits, m_progress);
    }
    outcome.outputPath = written.path.empty() ? request.path : written.path;
    describe(outcome, written, outputName, safeName, folder.names);
    return outcome;
}

void AttachmentWriterJob::describe(AttachmentOutcome &outcome,
    const WriteResult &written,
    const std::string &outputName,
    const std::string &safeName,
    OutputNameSet &usedNames)
{
    outcome.writeStatus = written.status;
    outcome.bytes = written.bytes;
    outcome.sha256 = written.sha256;
    outcome.storedInClear = written.storedInClear;
    outcome.kind = outcomeKind(written, outputName != safeName);
    const std::string finalName = FileNameOfPath(outcome.outputPath);
    if (finalName != m_prefix + outputName && finalName.compare(0, m_prefix.size(), m_prefix) == 0)
        usedNames.reserve(finalName.substr(m_prefix.size()));
    switch (outcome.kind) {
    case AttachmentOutcome::Kind::Written:
    case AttachmentOutcome::Kind::Unchanged:
        break;
    case AttachmentOutcome::Kind::Renamed:
        outcome.renamedForSibling = written.placement != Placement::Alternative;
        outcome.reason = written.placement == Placement::Alternative ? "written as " + finalName
                + " because " + m_prefix + outputName + " already existed with other content"
                                                                     : "written as " + finalName
                + " because another attachment of this document is named " + safeName;
        break;
    case AttachmentOutcome::Kind::Overwritten:
        outcome.reason = "replaced " + finalName + ", which held other content";
        break;
    default:
        if (outcome.kind != AttachmentOutcome::Kind::ChecksumMismatch)
            outcome.bytes = 0;
        outcome.reason = written.reason;
        break;
    }
}

} // namespace

DocumentResult extractDocumentAttachments(const std::string &documentPath,
    const std::string &documentFolder,
    ExtractionObserver &observer,
    const ExtractionOptions &options,
    const std::string &flatPrefix,
    SizeBudget *budget)
{
    DocumentResult result;
    result.documentPath = documentPath;
    result.documentFolder = withTrailingSeparator(documentFolder);
    result.processed = true;

    observer.attachmentCount(0, 0);
    observer.waitNotice(true);
    std::optional<Document> document = openDocument(documentPath, options, result);
    if (!document) {
        observer.waitNotice(false);
        return result;
    }
    const std::vector<const Attachment *> listed = chooseAttachments(*document, options, result);
    std::vector<std::string> leftOut; // per listed attachment: why it is not written, or empty
    std::vector<const Attachment *> chosen;
    for (const Attachment *attachment : listed) {
        leftOut.push_back(options.choice.reasonLeftOut(*attachment));
        if (leftOut.back().empty())
            chosen.push_back(attachment);
    }
    std::optional<OutputFolders> folders;
    if (!chosen.empty() || (listed.empty() && !options.invoicesOnly))
        folders = openFolders(options, !flatPrefix.empty(), result);
    observer.waitNotice(false);
    if (!folders) {
        for (std::size_t i = 0; i < listed.size(); ++i) {
            if (!leftOut[i].empty())
                result.attachments.push_back(notChosen(*listed[i], leftOut[i]));
        }
        keepWarnings(*document, result);
        return result;
    }
    observer.attachmentsChosen(chosen);
    SizeBudget own(options.maxDocumentSize);
    SizeBudget &shared = budget != nullptr ? *budget : own;
    AttachmentWriterJob job(*document, *folders, options, flatPrefix, shared, observer, result);
    const int count = static_cast<int>(chosen.size());
    int position = 0;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        if (!leftOut[i].empty()) {
            result.attachments.push_back(notChosen(*listed[i], leftOut[i]));
            continue;
        }
        if (!observer.yieldPoint()) {
            result.stopped = true;
            break;
        }
        result.attachments.push_back(job.writeNext(*listed[i]));
        observer.attachmentDone(result.attachments.back());
        const bool goOn = observer.yieldPoint();
        observer.attachmentCount(++position, count);
        if (!goOn) {
            result.stopped = position < count
                || result.attachments.back().kind == AttachmentOutcome::Kind::Abandoned;
            break;
        }
    }
    if (result.stopped && folders->removeEmptyNew())
        result.folderExists = false;
    result.budgetSpent = shared.used();
    keepWarnings(*document, result);
    return result;
}

namespace {

// The document's file name without its final ".pdf" (any capitals, trailing blanks ignored),
// made safe as a folder name.
std::string folderName(const std::string &documentPath)
{
    std::string name = FileNameOfPath(documentPath);
    std::size_t end = name.size();
    while (end > 0 && name[end - 1] == ' ')
        --end;
    if (end >= 4 && name[end - 4] == '.'
        && std::tolower(static_cast<unsigned char>(name[end - 3])) == 'p'
        && std::tolower(static_cast<unsigned char>(name[end - 2])) == 'd'
        && std::tolower(static_cast<unsigned char>(name[end - 1])) == 'f')
        name.resize(end - 4);
    if (name.find_first_not_of(". ") == std::string::npos)
        return "_";
    return safeOutputFileName(name, 0);
}

} // namespace

std::string documentFolderFor(const std::string &outputFolder, const std::string &documentPath)
{
    return withTrailingSeparator(outputFolder) + folderName(documentPath) + preferredSeparator();
}

namespace {

constexpr std::size_t maxFlatPrefixBytes = 80;

// The folder name with no "__" inside and no "_" at its end, so that "__" ends it unmistakably.
std::string flatBaseName(const std::string &documentPath)
{
    std::string name;
    for (const char c : folderName(documentPath)) {
        if (c != '_' || name.empty() || name.back() != '_')
            name += c;
    }
    name = cutKeepingExtension(name, maxFlatPrefixBytes);
    while (!name.empty() && name.back() == '_')
        name.pop_back();
    return name.empty() ? "document" : name;
}

} // namespace

DocumentNamer DocumentNamer::folders(const std::string &outputFolder, bool foldCase)
{
    return DocumentNamer(
        foldCase, withTrailingSeparator(outputFolder), std::string(1, preferredSeparator()), false);
}

DocumentNamer DocumentNamer::flatPrefixes(bool foldCase)
{
    return DocumentNamer(foldCase, {}, "__", true);
}

DocumentNamer::DocumentNamer(bool foldCase, std::string before, std::string after, bool flat)
    : m_foldCase(foldCase)
    , m_flat(flat)
    , m_before(std::move(before))
    , m_after(std::move(after))
{
}

std::string DocumentNamer::next(const std::string &documentPath)
{
    if (m_named && documentPath == m_previousPath)
        return m_previousName;
    // Folder names carry no extension: "a.b (2)", not "a (2).b".
    const std::string base = m_flat ? flatBaseName(documentPath) : folderName(documentPath);
    const auto comparable
        = [&](const std::string &name) { return m_foldCase ? foldedCase(name) : name; };
    std::string name = base;
    if (const auto used = m_used.find(comparable(base))) {
        int &n = m_nextNumber.try_emplace(*used, 2).first->second;
        do
            name = base + " (" + std::to_string(n++) + ")";
        while (m_used.find(comparable(name)));
    }
    m_used.insert(comparable(name));
    m_named = true;
    m_previousPath = documentPath;
    m_previousName = m_before + name + m_after;
    return m_previousName;
}

namespace {

// Names `documentPaths` with `namer` in the order of the paths and gives them back in theirs.
std::vector<std::string> assignNames(
    const std::vector<std::string> &documentPaths, DocumentNamer namer)
{
    std::vector<std::size_t> order(documentPaths.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return documentPaths[a] < documentPaths[b];
    });
    std::vector<std::string> names(documentPaths.size());
    for (const std::size_t i : order)
        names[i] = namer.next(documentPaths[i]);
    return names;
}

} // namespace

std::vector<std::string> assignDocumentFolders(
    const std::string &outputFolder, const std::vector<std::string> &documentPaths, bool foldCase)
{
    return assignNames(documentPaths, DocumentNamer::folders(outputFolder, foldCase));
}

std::vector<std::string> assignFlatPrefixes(
    const std::vector<std::string> &documentPaths, bool foldCase)
{
    return assignNames(documentPaths, DocumentNamer::flatPrefixes(foldCase));
}

} // namespace quenlith
