// Damaged documents through Document::open and write: what comes back byte-exact, what fails.
#include "extract/pdf/AttachmentWriter.h"
#include "extract/pdf/Document.h"
#include "tests/support/FileDigest.h"
#include "tests/support/PdfFixtures.h"
#include "tests/support/ScratchFolder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <variant>

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
    std::uint32_t state = 54321;
    for (char &c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

// A document whose one attachment, "a.bin", is a stream with `dict` (inside << >>) and `data` as
// stored, with a classic cross-reference table, written by hand since qpdf would correct them.
std::string oneStream(const std::string &dict, const std::string &data)
{
    std::string pdf = "%PDF-1.7\n";
    std::vector<std::size_t> offsets;
    const auto object = [&](const std::string &body) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
    };
    object("<< /Type /Catalog /Pages 2 0 R /Names << /EmbeddedFiles << /Names [(a.bin) 3 0 R] >> "
           ">> >>");
    object("<< /Type /Pages /Kids [] /Count 0 >>");
    object("<< /Type /Filespec /F (a.bin) /UF (a.bin) /EF << /F 4 0 R >> >>");
    object("<< /Type /EmbeddedFile " + dict + " >>\nstream\n" + data + "\nendstream");
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 5\n0000000000 65535 f \n";
    for (const std::size_t offset : offsets) {
        char row[21];
        std::snprintf(row, sizeof row, "%010zu 00000 n \n", offset);
        pdf += row;
    }
    return pdf + "trailer\n<< /Size 5 /Root 1 0 R >>\nstartxref\n" + std::to_string(xref)
        + "\n%%EOF\n";
}

// /Params with the declared /Size and /CheckSum of `data`.
std::string declared(const std::string &data)
{
    std::string hex;
    for (const unsigned char c : fixtures::md5Of(data)) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", c);
        hex += digits;
    }
    return "/Params << /Size " + std::to_string(data.size()) + " /CheckSum <" + hex + "> >>";
}

// Each attachment comes back byte-exact or fails as DecodeFailed with no file: a document cut
// inside its second attachment (read whole, and read from the file past the memory limit), a
// stream whose /Length qpdf recovers while listing, RunLength data without its end-of-data
// marker; the declared /Size and /CheckSum vouch for data read with a warning.
TEST(DamagedDocument, AttachmentsComeBackByteExactOrFail)
{
    fixtures::ScratchFolder scratch("quenlith-damaged");
    const std::string small = "small and early";
    const std::string large = noise(300000);
    const std::string whole = scratch.file("whole.pdf");
    fixtures::DocumentFixture twoFiles;
    for (const std::string *data : { &small, &large }) {
        fixtures::FileSpecFixture file;
        file.data = *data;
        file.treeKeys = { std::to_string(twoFiles.files.size()) + ".bin" };
        twoFiles.files.push_back(file);
    }
    fixtures::writeDocument(whole, twoFiles);
    const std::string halfDocument
        = readAll(whole).substr(0, std::filesystem::file_size(whole) / 2);
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
        auto opened = Document::open(path, {}, OpenLimits { row.memoryLimit });
        ASSERT_TRUE(std::holds_alternative<Document>(opened))
            << row.name << ": " << std::get<OpenFailure>(opened).text;
        const Document &document = std::get<Document>(opened);
        EXPECT_EQ(document.repaired(), row.repaired) << row.name;
        ASSERT_EQ(document.attachments().size(), row.data.size()) << row.name;
        for (std::size_t i = 0; i < row.data.size(); ++i) {
            WriteRequest request;
            request.path = scratch.file("out-" + std::to_string(i));
            const WriteResult result = write(document, document.attachments()[i], request);
            const std::string where = std::string(row.name) + ", attachment " + std::to_string(i);
            if (row.data[i] == nullptr) {
                EXPECT_EQ(result.status, WriteStatus::DecodeFailed) << where;
                EXPECT_TRUE(row.reason.empty() || result.reason == row.reason)
                    << where << ": " << result.reason;
                EXPECT_FALSE(std::filesystem::exists(request.path)) << where;
            } else {
                EXPECT_EQ(result.status, WriteStatus::Written) << where << ": " << result.reason;
                EXPECT_EQ(readAll(request.path), *row.data[i]) << where;
                std::filesystem::remove(request.path);
            }
        }
    }
}

} // namespace
} // namespace quenlith
