#include "extract/SingleAttachment.h"

#include "extract/output/OutputFolder.h"
#include "extract/pdf/Document.h"
#include "util/FsPath.h"
#include "util/SafeFileName.h"
#include "util/registry.h"

namespace quenlith {

SingleAttachmentTarget SingleAttachmentTarget::exactPath(
    const std::string &path, ExistingFiles existing)
{
    const std::filesystem::path target = pathFromUtf8(path);
    return { utf8FromPath(target.parent_path()), utf8FromPath(target.filename()), existing };
}

namespace {

// A name that stays inside its folder: no separator, not empty, "." or "..".
bool isPlainFileName(const std::string &name)
{
    return !name.empty() && name != "." && name != ".."
        && name.find_first_of(preferredSeparator() == '/' ? "/" : "/\\") == std::string::npos;
}

WriteResult refused(WriteStatus status, std::string reason)
{
    WriteResult result;
    result.status = status;
    result.reason = std::move(reason);
    return result;
}

} // namespace

WriteResult writeSingleAttachment(const Document &document,
    int position,
    const SingleAttachmentTarget &target,
    const SizeLimits &limits,
    const WriteProgress &progress)
{
    const Attachment *attachment = document.at(position);
    if (attachment == nullptr)
        return refused(WriteStatus::DecodeFailed,
            "the document has no attachment " + std::to_string(position));
    const std::string name
        = target.name.empty() ? safeOutputFileName(attachment->name, position) : target.name;
    if (!isPlainFileName(name))
        return refused(WriteStatus::CannotCreate, "cannot create the file: not a file name");
    const FolderHandle folder = FolderHandle::open(target.folder);
#ifndef _WIN32
    if (folder.fd() < 0)
        return refused(
            WriteStatus::CannotCreate, "cannot create the file: its folder cannot be opened");
#endif
    WriteRequest request;
    request.path = withTrailingSeparator(target.folder) + name;
    request.folderFd = folder.fd();
    request.existing = target.existing;
    return write(document, *attachment, request, limits, progress);
}

} // namespace quenlith
