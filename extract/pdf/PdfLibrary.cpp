#include "extract/pdf/PdfLibrary.h"

namespace quenlith {

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
    case OpenFailure::Reason::Stopped: // the window's documents are opened without a stop signal
        break;
    }
    return OpenStatus::Damaged;
}

namespace {

int writeCode(WriteStatus status)
{
    switch (status) {
    case WriteStatus::Written:
        return 1;
    case WriteStatus::NoEmbeddedData:
        return 3;
    case WriteStatus::DecodeFailed:
    case WriteStatus::TooLarge:
        return 4;
    case WriteStatus::CannotCreate:
        return 5;
    case WriteStatus::DiskFull:
        return 6;
    case WriteStatus::ChecksumMismatch:
        return 7;
    case WriteStatus::Abandoned:
        return 8;
    case WriteStatus::Skipped:
        return 9;
    }
    return 4;
}

} // namespace

int PdfLibrary::OpenDocument(
    const std::string &path, const std::string &password, const OpenLimits &limits)
{
    m_document.reset();
    m_lastError.clear();
    auto opened = Document::open(path, password, limits);
    if (auto *failure = std::get_if<OpenFailure>(&opened)) {
        m_lastError = std::move(failure->text);
        return static_cast<int>(openStatusOf(failure->reason));
    }
    m_document.emplace(std::move(std::get<Document>(opened)));
    return static_cast<int>(OpenStatus::Opened);
}

int PdfLibrary::AttachmentCount() const
{
    return m_document ? static_cast<int>(m_document->attachments().size()) : 0;
}

std::string PdfLibrary::AttachmentText(int index, int tag) const
{
    const Attachment *attachment = m_document ? m_document->at(index) : nullptr;
    if (attachment == nullptr)
        return {};
    switch (static_cast<AttachmentTag>(tag)) {
    case AttachmentTag::Name:
        return attachment->name;
    case AttachmentTag::Description:
        return attachment->description;
    case AttachmentTag::MimeType:
        return attachment->mimeType;
    case AttachmentTag::DeclaredSize:
        return attachment->declaredSize >= 0 ? std::to_string(attachment->declaredSize) : "";
    case AttachmentTag::ModDate:
        return isoDate(attachment->modTime);
    case AttachmentTag::Page:
        return attachment->page > 0 ? std::to_string(attachment->page) : std::string();
    case AttachmentTag::Key:
        return attachment->key;
    case AttachmentTag::Origin:
        return originWord(attachment->origin);
    case AttachmentTag::Folder:
        return attachment->folder;
    }
    return {};
}

int PdfLibrary::WriteAttachment(int index, const std::string &path)
{
    m_lastError.clear();
    const Attachment *attachment = m_document ? m_document->at(index) : nullptr;
    if (attachment == nullptr) {
        m_lastError = "no attachment " + std::to_string(index)
            + (m_document ? " in this document" : ": no document is open");
        return 2;
    }
    WriteRequest request;
    request.path = path;
    WriteResult result = write(*m_document, *attachment, request);
    m_lastError = std::move(result.reason);
    return writeCode(result.status);
}

const std::string &PdfLibrary::lastError() const
{
    return m_lastError;
}

const Document *PdfLibrary::document() const
{
    return m_document ? &*m_document : nullptr;
}

} // namespace quenlith
