#include "extract/pdf/DocumentRecovery.h"

#include "tests/support/PdfFixtures.h"
#include "tests/support/ScratchFolder.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

namespace quenlith {
namespace {

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Deterministic bytes that do not compress, so that the large attachment fills its document.
std::string noise(std::size_t size)
{
    std::string bytes(size, '\0');
    std::uint32_t state = 12345;
    for (char &c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

// A document with a small attachment early and a large one late, with or without object streams,
// and for each attachment its stream's object number and where the stream's object ends.
struct Original {
    std::string bytes;
    std::vector<std::string> data;
    std::vector<int> stream;
    std::vector<std::size_t> start, end; // of the stream's object
};

Original makeOriginal(const fixtures::ScratchFolder &scratch, bool objectStreams, bool catalogLost)
{
    Original original;
    original.data = { "small and early", noise(300000) };
    fixtures::DocumentFixture document;
    for (const std::string &data : original.data) {
        fixtures::FileSpecFixture file;
        file.data = data;
        file.names["/UF"] = std::to_string(original.data.size()) + ".bin";
        file.treeKeys = { std::to_string(document.files.size()) + ".bin" };
        document.files.push_back(file);
    }
    const std::string path = scratch.file("whole.pdf");
    fixtures::writeDocument(path, document);
    if (catalogLost)
        fixtures::patchFile(path, "/Type /Catalog", "/Type /Catalxg");
    QPDF pdf;
    pdf.processFile(path.c_str());
    if (objectStreams) {
        QPDFWriter writer(pdf, scratch.file("streams.pdf").c_str());
        writer.setObjectStreamMode(qpdf_o_generate);
        writer.setStaticID(true);
        writer.write();
    }
    original.bytes = readAll(scratch.file(objectStreams ? "streams.pdf" : "whole.pdf"));
    QPDF written;
    written.processMemoryFile("original", original.bytes.data(), original.bytes.size());
    auto files = QPDFEmbeddedFileDocumentHelper(written).getEmbeddedFiles();
    for (const char *key : { "0.bin", "1.bin" }) {
        const int number = files.at(key)->getEmbeddedFileStream().getObjectID();
        const auto offset = written.getXRefTable().at(QPDFObjGen(number, 0)).getOffset();
        original.stream.push_back(number);
        original.start.push_back(static_cast<std::size_t>(offset));
        original.end.push_back(
            original.bytes.find("endstream", static_cast<std::size_t>(offset)) + 9);
    }
    return original;
}

// Cut anywhere, every attachment whose stream is whole in the remaining bytes comes back
// byte-exact and every other one is reported cut, never read from other bytes.
TEST(DocumentRecovery, WholeAttachmentsComeBackAndCutOnesAreRecognised)
{
    fixtures::ScratchFolder scratch("quenlith-recovery");
    const struct {
        bool objectStreams; // the catalog is then inside one
        double cut; // share of the document kept; 0: up to the large attachment's object
        bool catalogLost; // its /Type is damaged too: a minimal catalog stands in
    } rows[] = {
        { false, 0.02, false },
        { false, 0.5, false },
        { false, 0.97, true },
        { false, 0.999, false },
        { true, 0, false }, // its file specification refers to a number no object has
        { true, 0.02, false },
        { true, 0.5, false },
        { true, 0.97, false },
        { true, 0.995, false },
    };
    for (const auto &row : rows) {
        const Original original = makeOriginal(scratch, row.objectStreams, row.catalogLost);
        const auto size = row.cut > 0
            ? static_cast<std::size_t>(row.cut * double(original.bytes.size()))
            : original.start[1];
        const std::string where = (row.objectStreams ? "object streams, " : "")
            + std::to_string(size) + " of " + std::to_string(original.bytes.size());
        const std::string_view kept = std::string_view(original.bytes).substr(0, size);
        const auto recovered = recoverTruncated(kept);
        ASSERT_TRUE(recovered) << where;
        EXPECT_EQ(recovered->ownCatalog, !row.catalogLost) << where;
        const std::string bytes = recovered->joined(kept);
        QPDF pdf;
        pdf.processMemoryFile("recovered", bytes.data(), bytes.size());
        EXPECT_EQ(pdf.getWarnings().size(), 0u) << where;
        for (std::size_t i = 0; i < original.data.size(); ++i) {
            const bool cut = std::binary_search(
                recovered->cutObjects.begin(), recovered->cutObjects.end(), original.stream[i]);
            EXPECT_EQ(cut, original.start[i] < size && size < original.end[i])
                << where << ", attachment " << i;
            QPDFObjectHandle stream = pdf.getObjectByID(original.stream[i], 0);
            if (size >= original.end[i]) {
                ASSERT_TRUE(stream.isStream()) << where << ", attachment " << i;
                const auto data = stream.getStreamData(qpdf_dl_all);
                EXPECT_EQ(
                    std::string(reinterpret_cast<const char *>(data->getBuffer()), data->getSize()),
                    original.data[i])
                    << where << ", attachment " << i;
            } else {
                EXPECT_TRUE(stream.isNull()) << where << ", attachment " << i;
            }
        }
    }
}

// Documents whose end holds what reads their data: a /Length that follows its stream is measured
// anew; a lost security handler or /ID leaves nothing to read rather than encrypted bytes.
TEST(DocumentRecovery, WhatTheEndHeldIsRebuiltOrTheDocumentRefused)
{
    const std::string file = "2 0 obj\n<< /Type /EmbeddedFile /Length 3 0 R >>\nstream\r\nabc\r\n"
                             "endstream\nendobj\n";
    const std::string aes128 = "4 0 obj\n<< /Filter /Standard /V 4 /R 4 /O <00> /U <00> /P -4 >>\n"
                               "endobj\n";
    const struct {
        const char *name;
        std::string bytes;
        const char *data; // the stream's data; nullptr: nothing comes back
    } rows[] = {
        { "length lost", file + "3 0 ", "abc" },
        { "handler cut", file + "4 0 obj\n<< /Filter /Standard /V 2 /R 3 /O <", nullptr },
        { "aes-128 without /ID", file + aes128, nullptr },
    };
    for (const auto &row : rows) {
        const std::string cut = "%PDF-1.7\n1 0 obj\n<< /Type /Catalog >>\nendobj\n" + row.bytes;
        const auto recovered = recoverTruncated(cut);
        ASSERT_EQ(recovered.has_value(), row.data != nullptr) << row.name;
        if (!recovered)
            continue;
        const std::string bytes = recovered->joined(cut);
        QPDF pdf;
        pdf.processMemoryFile("recovered", bytes.data(), bytes.size());
        const auto data = pdf.getObjectByID(2, 0).getStreamData(qpdf_dl_all);
        EXPECT_EQ(std::string(reinterpret_cast<const char *>(data->getBuffer()), data->getSize()),
            row.data)
            << row.name;
    }
}

} // namespace
} // namespace quenlith
