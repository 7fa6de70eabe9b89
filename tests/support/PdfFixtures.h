#pragma once

#include <string>
#include <vector>

// Writes small PDF documents with embedded files for the tests, deterministically, with qpdf.
namespace quenlith::fixtures {

struct Attachment {
    std::string name; // stored as /UF and /F (as UTF-16BE with BOM when not plain ASCII)
    std::string data; // the file's bytes, stored Flate-compressed
    // Attach through a /FileAttachment annotation on this 1-based page instead of the name tree.
    int annotationPage = 0;
};

// A document of `pages` empty pages whose attachments are, in order, in the EmbeddedFiles name
// tree (key = name, made unique with a numeric suffix) or on page annotations.
void writePdf(const std::string &path, const std::vector<Attachment> &attachments, int pages = 1);

} // namespace quenlith::fixtures
