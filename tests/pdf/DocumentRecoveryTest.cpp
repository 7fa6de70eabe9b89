#include "extract/pdf/DocumentRecovery.h"

#include "extract/pdf/AttachmentWriter.h"
#include "extract/pdf/Document.h"
#include "tests/support/FileContents.h"
#include "tests/support/FileDigest.h"
#include "tests/support/OpenedDocument.h"
#include "tests/support/PdfFixtures.h"
#include "tests/support/ScratchFolder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

namespace quenlith {
namespace {

const std::string small = "small and early";
const std::string large = fixtures::noise(300000); // fills its document, as it does not compress

// "0.bin", small, early in the document and "1.bin", large, late.
void writeSmallAndLarge(const std::string &path)
{
    fixtures::writeDocument(path,
        { .files = { fixtures::treeFile("0.bin", small), fixtures::treeFile("1.bin", large) } });
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
    original.data = { small, large };
    const std::string path = scratch.file("whole.pdf");
    writeSmallAndLarge(path);
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
    original.bytes = fixtures::readFile(scratch.file(objectStreams ? "streams.pdf" : "whole.pdf"));
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

// A document whose one attachment, "a.bin", is a stream with `dict` (inside << >>) and `data` as
// stored, written by hand since qpdf would correct them.
std::string oneStream(const std::string &dict, const std::string &data)
{
    return fixtures::objectsPdf({ "<< /Type /Catalog /Pages 2 0 R /Names << /EmbeddedFiles << "
                                  "/Names [(a.bin) 3 0 R] >> >> >>",
        "<< /Type /Pages /Kids [] /Count 0 >>",
        "<< /Type /Filespec /F (a.bin) /UF (a.bin) /EF << /F 4 0 R >> >>",
        "<< /Type /EmbeddedFile " + dict + " >>\nstream\n" + data + "\nendstream" });
}

// /Params with the declared /Size and /CheckSum of `data`.
std::string declared(const std::string &data)
{
    return "/Params << /Size " + std::to_string(data.size()) + " /CheckSum <"
        + QUtil::hex_encode(fixtures::md5Of(data)) + "> >>";
}

// Each attachment comes back byte-exact or fails as DecodeFailed with no file: a document cut
// inside its second attachment (read whole, and read from the file past the memory limit), a
// stream whose /Length qpdf recovers while listing, RunLength data without its end-of-data
// marker; the declared /Size and /CheckSum vouch for data read with a warning.
TEST(DocumentRecovery, DamagedAttachmentsComeBackByteExactOrFail)
{
    fixtures::ScratchFolder scratch("quenlith-damaged");
    const std::string whole = scratch.file("whole.pdf");
    writeSmallAndLarge(whole);
    const std::string halfDocument
        = fixtures::readFile(whole).substr(0, std::filesystem::file_size(whole) / 2);
    const std::string stored(4501, 'x');
    const std::string storedEol = stored + "\n";
    const std::string runs = "abc!!!";
    const std::string cutShort = "the document ends inside this attachment's data";
    const std::string *none = nullptr; // the write fails
    const struct {
        const char *name;
        std::string bytes;
        std::uint64_t memoryLimit;
        bool repaired;
        std::vector<const std::string *> data; // per attachment; none: DecodeFailed
        std::string reason; // of the failures, when the cause is fixed
    } rows[] = {
        { "cut in half", halfDocument, 1 << 20, true, { &small, none }, cutShort },
        { "cut in half, read from the file", halfDocument, 0, true, { &small, none }, cutShort },
        { "/Length 10 of 4501", oneStream("/Length 10", stored), 1 << 20, true, { none }, {} },
        // qpdf's recovered length takes in the end of line before "endstream".
        { "/Length 10 of 4501, declared",
            oneStream("/Length 10 " + declared(storedEol), stored),
            1 << 20,
            true,
            { &storedEol },
            {} },
        { "RunLength",
            oneStream("/Filter /RunLengthDecode /Length 7", "\2abc\xfe!\x80"),
            1 << 20,
            false,
            { &runs },
            {} },
        { "RunLength without end",
            oneStream("/Filter /RunLengthDecode /Length 6", "\2abc\xfe!"),
            1 << 20,
            false,
            { none },
            {} },
    };
    for (const auto &row : rows) {
        const std::string path = scratch.file("damaged.pdf");
        std::ofstream(path, std::ios::binary | std::ios::trunc) << row.bytes;
        const Document document = fixtures::openDocument(path, {}, OpenLimits { row.memoryLimit });
        EXPECT_EQ(document.repaired(), row.repaired) << row.name;
        ASSERT_EQ(document.attachments().size(), row.data.size()) << row.name;
        for (std::size_t i = 0; i < row.data.size(); ++i) {
            const std::string out = scratch.file("out-" + std::to_string(i));
            const WriteResult result
                = fixtures::writeAttachment(document, static_cast<int>(i) + 1, out);
            const std::string where = std::string(row.name) + ", attachment " + std::to_string(i);
            if (row.data[i] == nullptr) {
                EXPECT_EQ(result.status, WriteStatus::DecodeFailed) << where;
                EXPECT_TRUE(row.reason.empty() || result.reason == row.reason)
                    << where << ": " << result.reason;
                EXPECT_FALSE(std::filesystem::exists(out)) << where;
            } else {
                EXPECT_EQ(result.status, WriteStatus::Written) << where << ": " << result.reason;
                EXPECT_EQ(fixtures::readFile(out), *row.data[i]) << where;
                std::filesystem::remove(out);
            }
        }
    }
}

} // namespace
} // namespace quenlith
