#include "tests/support/OpenedDocument.h"

#include <stdexcept>
#include <variant>

namespace quenlith::fixtures {

Document openDocument(
    const std::string &path, const std::string &password, const OpenLimits &limits)
{
    auto opened = Document::open(path, password, limits);
    if (const auto *failure = std::get_if<OpenFailure>(&opened))
        throw std::runtime_error(path + ": " + failure->text);
    return std::move(std::get<Document>(opened));
}

WriteResult writeAttachment(const Document &document, int position, const std::string &path)
{
    const Attachment *attachment = document.at(position);
    if (attachment == nullptr) {
        WriteResult none;
        none.reason = "no attachment " + std::to_string(position);
        return none;
    }
    WriteRequest request;
    request.path = path;
    return write(document, *attachment, request);
}

} // namespace quenlith::fixtures
