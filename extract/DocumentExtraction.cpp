#include "extract/DocumentExtraction.h"

#include "extract/PdfLibrary.h"
#include "util/SafeFileName.h"
#include "util/registry.h"

#include <cctype>

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

AttachmentOutcome writeOne(
    PdfLibrary &library, int index, const std::string &folder, OutputNameSet &usedNames)
{
    AttachmentOutcome outcome;
    outcome.index = index;
    outcome.storedName = library.AttachmentText(index, static_cast<int>(AttachmentTag::Name));
    const std::string safeName = safeOutputFileName(outcome.storedName, index);
    const std::string outputName = usedNames.claim(safeName);
    outcome.outputPath = folder + outputName;
    outcome.writeStatus = library.WriteAttachment(index, outcome.outputPath);
    switch (static_cast<WriteStatus>(outcome.writeStatus)) {
    case WriteStatus::Written:
        outcome.kind = outputName == safeName ? AttachmentOutcome::Kind::Written
                                              : AttachmentOutcome::Kind::Renamed;
        outcome.bytes = library.lastWrittenBytes();
        break;
    case WriteStatus::ChecksumMismatch:
        outcome.kind = AttachmentOutcome::Kind::ChecksumMismatch;
        outcome.bytes = library.lastWrittenBytes();
        outcome.reason = library.lastError();
        break;
    case WriteStatus::Abandoned:
        outcome.kind = AttachmentOutcome::Kind::Abandoned;
        outcome.reason = library.lastError();
        break;
    default:
        outcome.kind = AttachmentOutcome::Kind::Failed;
        outcome.reason = library.lastError();
        break;
    }
    if (outcome.reason.empty() && outcome.kind != AttachmentOutcome::Kind::Written
        && outcome.kind != AttachmentOutcome::Kind::Renamed)
        outcome.reason = "write failed (status " + std::to_string(outcome.writeStatus) + ")";
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

// "out/report/" with " (n)" after its last component: "out/report (n)/".
std::string numberedFolder(const std::string &folder, int n)
{
    std::string stem = folder;
    while (!stem.empty() && isPathSeparator(stem.back()))
        stem.pop_back();
    return stem + " (" + std::to_string(n) + ")" + preferredSeparator();
}

} // namespace

std::string attachmentLabelText(int index, int count)
{
    return "Extracted Attachment(s) " + std::to_string(index) + " (of " + std::to_string(count)
        + ")";
}

DocumentResult extractDocumentAttachments(PdfLibrary &library,
    const std::string &documentPath,
    const std::string &documentFolder,
    ExtractionObserver &observer,
    const std::string &password)
{
    DocumentResult result;
    result.documentPath = documentPath;
    result.documentFolder = withTrailingSeparator(documentFolder);

    observer.attachmentLabel(attachmentLabelText(0, 0));
    observer.waitNotice(true);
    std::string usedPassword;
    int status = library.OpenDocument(documentPath, usedPassword);
    if (status == static_cast<int>(OpenStatus::NeedsPassword) && !password.empty()) {
        usedPassword = password;
        status = library.OpenDocument(documentPath, usedPassword);
    }
    result.openStatus = status;
    if (status != static_cast<int>(OpenStatus::Opened)) {
        result.openReason = library.lastError();
        observer.waitNotice(false);
        return result;
    }
    const int count = library.AttachmentCount();
    result.count = count;
    observer.waitNotice(false);

    WriteProgressScope progressScope(library, observer);
    OutputNameSet usedNames;
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
        result.attachments.push_back(writeOne(library, index, result.documentFolder, usedNames));
        observer.attachmentDone(result.attachments.back());
        const bool goOn = observer.yieldPoint();
        observer.attachmentLabel(attachmentLabelText(index, count));
        if (!goOn) {
            result.stopped = index < count;
            break;
        }
    }
    return result;
}

std::string documentFolderFor(const std::string &outputFolder, const std::string &documentPath)
{
    const std::string name = FileNameOfPath(documentPath);
    const char separator = preferredSeparator();

    // Every ".pdf", in any mix of capitals, becomes a separator.
    std::string replaced;
    for (std::size_t i = 0; i < name.size();) {
        if (i + 4 <= name.size() && name[i] == '.'
            && std::tolower(static_cast<unsigned char>(name[i + 1])) == 'p'
            && std::tolower(static_cast<unsigned char>(name[i + 2])) == 'd'
            && std::tolower(static_cast<unsigned char>(name[i + 3])) == 'f') {
            replaced += separator;
            i += 4;
        } else {
            replaced += name[i];
            ++i;
        }
    }

    // The replacement can make empty, "." and ".." components ("..pdf", "a.pdf.pdf"): empty ones
    // are dropped and the dot ones become "_", so the folder always lies inside outputFolder.
    std::string folder = withTrailingSeparator(outputFolder);
    bool anyComponent = false;
    std::size_t start = 0;
    while (start <= replaced.size()) {
        std::size_t end = start;
        while (end < replaced.size() && !isPathSeparator(replaced[end]))
            ++end;
        std::string component = replaced.substr(start, end - start);
        if (component == "." || component == "..")
            component = "_";
        if (!component.empty()) {
            folder += component;
            folder += separator;
            anyComponent = true;
        }
        start = end + 1;
    }
    if (!anyComponent)
        folder += std::string("_") + separator;
    return folder;
}

std::string DocumentFolderAllocator::folderFor(
    const std::string &outputFolder, const std::string &documentPath)
{
    const auto known = m_folderOfDocument.find(documentPath);
    if (known != m_folderOfDocument.end())
        return known->second;

    const std::string base = documentFolderFor(outputFolder, documentPath);
    std::string folder = base;
    for (int n = 2; m_documentOfFolder.count(fileSystemComparable(folder)) != 0; ++n)
        folder = numberedFolder(base, n);
    m_documentOfFolder.emplace(fileSystemComparable(folder), documentPath);
    m_folderOfDocument.emplace(documentPath, folder);
    return folder;
}

} // namespace quenlith
