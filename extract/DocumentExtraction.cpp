#include "extract/DocumentExtraction.h"

#include "extract/OutputFolder.h"
#include "extract/PartFile.h"
#include "extract/PdfLibrary.h"
#include "extract/Placement.h"
#include "util/FsPath.h"
#include "util/SafeFileName.h"
#include "util/registry.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <unordered_map>

namespace quenlith {

namespace {

// Clears the library's progress callback when the extraction ends, so that the library never
// keeps a reference to an observer that is gone.
class WriteProgressScope {
public:
    WriteProgressScope(PdfLibrary &library, ExtractionObserver &observer)
        : m_library(library)
    {
        m_library.setWriteProgress([&observer](std::uint64_t bytesWritten) {
            return observer.writeProgress(bytesWritten);
        });
    }
    ~WriteProgressScope()
    {
        m_library.setWriteProgress({});
    }
    WriteProgressScope(const WriteProgressScope &) = delete;
    WriteProgressScope &operator=(const WriteProgressScope &) = delete;

private:
    PdfLibrary &m_library;
};

AttachmentOutcome::Kind outcomeKind(const WriteResult &written, bool numbered)
{
    switch (static_cast<WriteStatus>(written.status)) {
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

std::string documentLimitReason(std::uint64_t limit)
{
    return "stopped: the document's attachments together pass the limit of " + std::to_string(limit)
        + " bytes per document";
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

AttachmentOutcome writeOne(PdfLibrary &library,
    int index,
    const std::string &folder,
    OutputNameSet &usedNames,
    const ExtractionOptions &options,
    std::uint64_t documentBytes,
    const AttachmentOutcome *sameData)
{
    AttachmentOutcome outcome;
    outcome.index = index;
    outcome.info = library.attachmentInfo(index);
    outcome.storedName = outcome.info.name;
    const auto refuse = [&](WriteStatus status, std::string reason) {
        outcome.kind = AttachmentOutcome::Kind::Failed;
        outcome.writeStatus = static_cast<int>(status);
        outcome.outputPath = folder + safeOutputFileName(outcome.storedName, index);
        outcome.reason = std::move(reason);
        return outcome;
    };
    // The data of an earlier attachment that failed to decode is not decoded again.
    if (sameData != nullptr && !outcomeSucceeded(sameData->kind))
        return refuse(static_cast<WriteStatus>(sameData->writeStatus), sameData->reason);
    // The document's budget bounds this attachment too; a stop because of it says so. A copy of
    // data already on disk counts nothing: each byte counts once.
    bool boundByDocument = false;
    std::uint64_t maxBytes = options.maxAttachmentSize;
    if (options.maxDocumentSize > 0 && sameData == nullptr) {
        if (documentBytes >= options.maxDocumentSize)
            return refuse(WriteStatus::DecodeFailed, documentLimitReason(options.maxDocumentSize));
        const std::uint64_t remaining = options.maxDocumentSize - documentBytes;
        if (maxBytes == 0 || remaining < maxBytes) {
            maxBytes = remaining;
            boundByDocument = true;
        }
    }
    std::string noRoom
        = sameData != nullptr ? std::string() : missingSpace(folder, outcome.info.declaredSize);
    if (!noRoom.empty())
        return refuse(WriteStatus::DiskFull, std::move(noRoom));
    library.setSizeLimits(maxBytes, options.maxExpansionRatio);
    const std::string safeName = safeOutputFileName(outcome.storedName, index);
    const std::string outputName = usedNames.claim(safeName);

    WriteRequest request;
    request.path = folder + outputName;
    request.existing = options.existing;
    request.sha256 = options.sha256;
    // Names another attachment of this run has taken are passed over; trying a name does not
    // take it, so that a rerun finds each attachment where the first run put it.
    int number = 1;
    request.nextAlternative = [&] {
        std::string name;
        do
            name = numberedName(safeName, ++number);
        while (usedNames.isUsed(name));
        return name;
    };
    std::string copyError;
    WriteResult written = sameData != nullptr ? placeCopy(sameData->outputPath, request, copyError)
                                              : library.writeAttachment(index, request);
    if (sameData != nullptr && written.placement != Placement::None) {
        written.sha256 = options.sha256 ? sameData->sha256 : std::string();
        written.storedInClear = sameData->storedInClear;
    }

    outcome.writeStatus = written.status;
    outcome.outputPath = written.path.empty() ? request.path : written.path;
    outcome.bytes = written.bytes;
    outcome.sha256 = written.sha256;
    outcome.storedInClear = written.storedInClear;
    outcome.kind = outcomeKind(written, outputName != safeName);
    const std::string finalName = FileNameOfPath(outcome.outputPath);
    if (finalName != outputName)
        usedNames.reserve(finalName);
    switch (outcome.kind) {
    case AttachmentOutcome::Kind::Written:
    case AttachmentOutcome::Kind::Unchanged:
        break;
    case AttachmentOutcome::Kind::Renamed:
        outcome.reason = written.placement == Placement::Alternative ? "written as " + finalName
                + " because " + outputName + " already existed with other content"
                                                                     : "written as " + finalName
                + " because another attachment of this document is named " + safeName;
        break;
    case AttachmentOutcome::Kind::Overwritten:
        outcome.reason = "replaced " + finalName + ", which held other content";
        break;
    default:
        outcome.bytes
            = outcome.kind == AttachmentOutcome::Kind::ChecksumMismatch ? written.bytes : 0;
        outcome.reason = sameData != nullptr ? copyError : library.lastError();
        if (boundByDocument && outcome.reason == "stopped: expands past the size limit")
            outcome.reason = documentLimitReason(options.maxDocumentSize);
        if (outcome.reason.empty())
            outcome.reason = "write failed (status " + std::to_string(outcome.writeStatus) + ")";
        break;
    }
    return outcome;
}

// A handler run from a yield point may have opened another document in the same library
// (the window's add commands share it): make this document current again before going on.
bool keepCurrent(PdfLibrary &library, const std::string &documentPath, const std::string &password)
{
    if (library.currentPath() == documentPath)
        return true;
    return library.OpenDocument(documentPath, password) == static_cast<int>(OpenStatus::Opened);
}

} // namespace

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
        return true;
    default:
        return false;
    }
}

std::string documentFailure(const DocumentResult &result)
{
    if (!result.notSearched.empty())
        return {};
    if (!result.processed)
        return "not extracted: the run was stopped first";
    if (!result.folderFailure.empty())
        return result.folderFailure;
    if (result.openStatus != static_cast<int>(OpenStatus::Opened))
        return result.openReason.empty() ? "cannot be opened" : result.openReason;
    if (!result.openReason.empty())
        return result.openReason; // opened, then lost while its attachments were written
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

void keepWarnings(const PdfLibrary &library, DocumentResult &result)
{
    std::vector<std::string> all = library.warnings();
    result.warningCount = all.size();
    if (all.size() > DocumentResult::maxWarnings)
        all.resize(DocumentResult::maxWarnings);
    result.warnings = std::move(all);
}

} // namespace

DocumentResult extractDocumentAttachments(PdfLibrary &library,
    const std::string &documentPath,
    const std::string &documentFolder,
    ExtractionObserver &observer,
    const ExtractionOptions &options)
{
    DocumentResult result;
    result.documentPath = documentPath;
    result.documentFolder = withTrailingSeparator(documentFolder);
    result.processed = true;

    observer.attachmentLabel(attachmentLabelText(0, 0));
    observer.waitNotice(true);
    std::string usedPassword;
    int status = library.OpenDocument(documentPath, usedPassword);
    if (status == static_cast<int>(OpenStatus::NeedsPassword) && !options.password.empty()) {
        usedPassword = options.password;
        status = library.OpenDocument(documentPath, usedPassword);
    }
    result.openStatus = status;
    if (status != static_cast<int>(OpenStatus::Opened)) {
        result.openReason = library.lastError();
        observer.waitNotice(false);
        return result;
    }
    const int count = library.AttachmentCount() + (options.unlisted ? library.unlistedCount() : 0);
    result.count = count;
    DocumentFolderChoice folder = openDocumentFolder(result.documentFolder);
    if (folder.folder.empty()) {
        result.folderFailure = std::move(folder.failure);
        observer.waitNotice(false);
        keepWarnings(library, result);
        return result;
    }
    result.documentFolder = std::move(folder.folder);
    // Temporary files a killed run left here (only where the file system has no anonymous ones).
    PartFile::removeStaleParts(pathFromUtf8(result.documentFolder));
    if (!folder.note.empty())
        result.notes.push_back(std::move(folder.note));
    result.folderExists = true;
    observer.waitNotice(false);

    WriteProgressScope progressScope(library, observer);
    OutputNameSet usedNames(options.foldCase);
    std::uint64_t documentBytes = 0; // of the attachments on disk, unchanged ones included
    std::unordered_map<std::uint64_t, std::size_t> firstWithData; // -> index in attachments
    for (int index = 1; index <= count; ++index) {
        if (!observer.yieldPoint()) {
            result.stopped = true;
            break;
        }
        if (!keepCurrent(library, documentPath, usedPassword)) {
            result.stopped = true;
            result.openReason = "could not be opened again: " + library.lastError();
            break;
        }
        // Several names for one embedded stream: its data is decoded once, the others get
        // copies of the file (or its failure).
        const std::uint64_t dataIdentity = library.dataIdentity(index);
        const auto first
            = dataIdentity == 0 ? firstWithData.end() : firstWithData.find(dataIdentity);
        const AttachmentOutcome *sameData = nullptr;
        if (first != firstWithData.end()) {
            const AttachmentOutcome &earlier = result.attachments[first->second];
            if ((outcomeSucceeded(earlier.kind) && earlier.kind != AttachmentOutcome::Kind::Skipped)
                || earlier.writeStatus == static_cast<int>(WriteStatus::DecodeFailed))
                sameData = &earlier;
        }
        AttachmentOutcome outcome = writeOne(
            library, index, result.documentFolder, usedNames, options, documentBytes, sameData);
        if (sameData == nullptr) {
            documentBytes += outcome.bytes;
            if (dataIdentity != 0)
                firstWithData[dataIdentity] = result.attachments.size();
        }
        result.attachments.push_back(std::move(outcome));
        observer.attachmentDone(result.attachments.back());
        const bool goOn = observer.yieldPoint();
        observer.attachmentLabel(attachmentLabelText(index, count));
        if (!goOn) {
            result.stopped = index < count;
            break;
        }
    }
    // A document made current again after a yield point has its own warnings: only this one's.
    if (library.currentPath() == documentPath)
        keepWarnings(library, result);
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

std::vector<std::string> assignDocumentFolders(
    const std::string &outputFolder, const std::vector<std::string> &documentPaths, bool foldCase)
{
    std::vector<std::size_t> order(documentPaths.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return documentPaths[a] < documentPaths[b];
    });

    const std::string prefix = withTrailingSeparator(outputFolder);
    std::vector<std::string> folders(documentPaths.size());
    OutputNameSet names(foldCase);
    std::unordered_map<std::string, int> nextNumber; // base name -> next number to try
    const std::size_t none = documentPaths.size();
    std::size_t previous = none;
    for (const std::size_t i : order) {
        if (previous != none && documentPaths[previous] == documentPaths[i]) {
            folders[i] = folders[previous];
            continue;
        }
        // Folder names carry no extension: "a.b (2)", not "a (2).b".
        const std::string base = folderName(documentPaths[i]);
        std::string name = base;
        if (names.isUsed(name)) {
            int &n = nextNumber.try_emplace(foldCase ? foldedCase(base) : base, 2).first->second;
            do
                name = base + " (" + std::to_string(n++) + ")";
            while (names.isUsed(name));
        }
        names.reserve(name);
        folders[i] = prefix + name + preferredSeparator();
        previous = i;
    }
    return folders;
}

} // namespace quenlith
