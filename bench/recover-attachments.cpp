// Writes the embedded files of one document to OUT/<object number>.bin: opened as it is, else
// through recoverTruncated; the name tree's files and every other /EmbeddedFile stream, except
// the streams the document ends inside. The stand-in for the extraction until it recovers
// documents itself. usage: recover-attachments OUT FILE.pdf

#include "extract/pdf/DocumentRecovery.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <set>
#include <string>

namespace {

void writeStream(QPDFObjectHandle stream, const std::string &folder)
{
    try {
        const auto data = stream.getStreamData(qpdf_dl_all);
        std::ofstream out(
            folder + "/" + std::to_string(stream.getObjectID()) + ".bin", std::ios::binary);
        out.write(reinterpret_cast<const char *>(data->getBuffer()),
            static_cast<std::streamsize>(data->getSize()));
    } catch (const std::exception &error) {
        std::fprintf(stderr, "object %d: %s\n", stream.getObjectID(), error.what());
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: recover-attachments OUT FILE.pdf\n");
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    const std::string bytes { std::istreambuf_iterator<char>(in), {} };
    std::optional<quenlith::RecoveredDocument> recovered;
    std::string joined;
    auto pdf = std::make_unique<QPDF>();
    pdf->setSuppressWarnings(true);
    try {
        pdf->processMemoryFile(argv[2], bytes.data(), bytes.size());
    } catch (const std::exception &) {
        recovered = quenlith::recoverTruncated(bytes);
        if (!recovered)
            return 1;
        joined = recovered->joined(bytes); // qpdf reads it while `pdf` lives
        pdf = std::make_unique<QPDF>();
        pdf->setSuppressWarnings(true);
        try {
            pdf->processMemoryFile(argv[2], joined.data(), joined.size());
        } catch (const std::exception &error) {
            std::fprintf(stderr, "%s\n", error.what());
            return 1;
        }
    }
    std::set<QPDFObjGen> seen;
    const auto take = [&](QPDFObjectHandle stream) {
        if (stream.isStream() && seen.insert(stream.getObjGen()).second)
            writeStream(stream, argv[1]);
    };
    try {
        for (const auto &[key, file] : QPDFEmbeddedFileDocumentHelper(*pdf).getEmbeddedFiles())
            take(file->getEmbeddedFileStream());
    } catch (const std::exception &) {
    }
    try {
        for (auto &object : pdf->getAllObjects())
            if (object.isStream()
                && object.getDict().getKey("/Type").isNameAndEquals("/EmbeddedFile"))
                take(object);
    } catch (const std::exception &) {
    }
    return 0;
}
