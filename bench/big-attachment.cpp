// Drives one big attachment through the PDF layer's writer, to measure that memory stays flat.
//   quenlith-bench-write generate OUT.pdf MEGABYTES   a document with one compressible
//                                                      attachment "big.txt" of that size
//   quenlith-bench-write write IN.pdf OUTFILE          writes its first attachment to OUTFILE
#include "extract/pdf/AttachmentWriter.h"
#include "extract/pdf/Document.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <string>
#include <variant>

namespace {

// Numbered text lines, generated a megabyte at a time, so the generator holds no copy either.
class LinesProvider : public QPDFObjectHandle::StreamDataProvider {
public:
    explicit LinesProvider(long long bytes)
        : m_bytes(bytes)
    {
    }

    void provideStreamData(QPDFObjGen const &, Pipeline *pipeline) override
    {
        std::string chunk;
        long long left = m_bytes;
        long long line = 0;
        while (left > 0) {
            chunk.clear();
            while (chunk.size() < (1 << 20)) {
                char text[64];
                const int n
                    = std::snprintf(text, sizeof(text), "line %012lld of big.txt\n", line++);
                chunk.append(text, static_cast<std::size_t>(n));
            }
            const auto take = static_cast<std::size_t>(std::min<long long>(left, chunk.size()));
            pipeline->write(reinterpret_cast<const unsigned char *>(chunk.data()), take);
            left -= static_cast<long long>(take);
        }
        pipeline->finish();
    }

private:
    long long m_bytes;
};

int generate(const char *path, long long megabytes)
{
    QPDF pdf;
    pdf.emptyPDF();
    auto page = pdf.makeIndirectObject(
        QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 612 792] >>"));
    QPDFPageDocumentHelper(pdf).addPage(page, false);
    const long long bytes = megabytes * 1024 * 1024;
    auto stream = pdf.newStream();
    stream.replaceStreamData(std::make_shared<LinesProvider>(bytes),
        QPDFObjectHandle::newNull(),
        QPDFObjectHandle::newNull());
    stream.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/EmbeddedFile"));
    auto params = QPDFObjectHandle::newDictionary();
    params.replaceKey("/Size", QPDFObjectHandle::newInteger(bytes));
    stream.getDict().replaceKey("/Params", params);
    auto spec = QPDFFileSpecObjectHelper::createFileSpec(pdf, "big.txt", stream);
    QPDFEmbeddedFileDocumentHelper(pdf).replaceEmbeddedFile("big.txt", spec);
    QPDFWriter writer(pdf, path);
    writer.setCompressStreams(true); // Flate, as real documents store attachments
    writer.write();
    return 0;
}

int write(const char *input, const char *output)
{
    const auto start = std::chrono::steady_clock::now();
    auto opened = quenlith::Document::open(input, "");
    const auto *failure = std::get_if<quenlith::OpenFailure>(&opened);
    const auto *pdf = std::get_if<quenlith::Document>(&opened);
    if (failure != nullptr || pdf->attachments().empty()) {
        std::fprintf(stderr,
            "cannot open %s: %s\n",
            input,
            failure != nullptr ? failure->text.c_str() : "no attachment");
        return 1;
    }
    quenlith::WriteRequest request;
    request.path = output;
    const quenlith::WriteResult result = quenlith::write(*pdf, pdf->attachments().front(), request);
    const double seconds
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const bool written = result.status == quenlith::WriteStatus::Written;
    std::printf("%s, %llu bytes in %.2f s %s\n",
        written ? "written" : "failed",
        static_cast<unsigned long long>(result.bytes),
        seconds,
        result.reason.c_str());
    return written ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "generate" && argc == 4)
        return generate(argv[2], std::atoll(argv[3]));
    if (command == "write" && argc == 4)
        return write(argv[2], argv[3]);
    std::fprintf(stderr,
        "usage: %s generate OUT.pdf MEGABYTES | write IN.pdf OUTFILE\n",
        argc > 0 ? argv[0] : "quenlith-bench-write");
    return 2;
}
