// Document and write() against documents generated at test time (tests/support/PdfFixtures).
#include "extract/pdf/Document.h"

#include "extract/pdf/AttachmentWriter.h"
#include "tests/support/FileContents.h"
#include "tests/support/FileDigest.h"
#include "tests/support/PdfFixtures.h"
#include "tests/support/ScratchFolder.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <variant>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace quenlith {
namespace {

namespace fs = std::filesystem;
using fixtures::DocumentFixture;
using fixtures::Encryption;
using fixtures::FileSpecFixture;
using Reason = OpenFailure::Reason;

constexpr std::optional<Reason> opened; // no failure
constexpr WriteStatus written = WriteStatus::Written;

// Named in /UF (UTF-16BE) and /F; under its name in the name tree (page 0) and/or on pages.
FileSpecFixture file(const std::string &name,
    const std::string &data = "data",
    const std::vector<int> &pages = { 0 })
{
    FileSpecFixture spec;
    spec.data = data;
    spec.names = { { "/UF", fixtures::utf16be(name) }, { "/F", name } };
    spec.annotationPages = pages;
    if (std::erase(spec.annotationPages, 0) > 0)
        spec.treeKeys = { name };
    return spec;
}

DocumentFixture document(std::vector<FileSpecFixture> files, int pages = 1)
{
    DocumentFixture d;
    d.files = std::move(files);
    d.pages = pages;
    return d;
}

using fixtures::readFile;

void writeText(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

class DocumentTest : public testing::Test {
protected:
    void open(const DocumentFixture &d)
    {
        fixtures::writeDocument(m_pdfPath, d);
        ASSERT_EQ(openDocument(m_pdfPath, ""), opened) << lastError();
    }
    // Why the document did not open; nullopt when it did.
    std::optional<Reason> openDocument(const std::string &path, const std::string &password)
    {
        m_last.reset();
        m_pdf.reset();
        auto result = Document::open(path, password, m_limits);
        const auto *failure = std::get_if<OpenFailure>(&result);
        m_openError = failure != nullptr ? failure->text : "";
        if (failure != nullptr)
            return failure->reason;
        m_pdf.emplace(std::move(std::get<Document>(result)));
        return std::nullopt;
    }
    int count() const
    {
        return m_pdf ? static_cast<int>(m_pdf->attachments().size()) : 0;
    }
    const Attachment &info(int index) const
    {
        return *m_pdf->at(index);
    }
    // The last write's reason, or the last open's.
    std::string lastError() const
    {
        return m_last ? m_last->reason : m_openError;
    }
    const WriteResult &writeRequest(int index, const WriteRequest &request)
    {
        m_last = quenlith::write(*m_pdf, info(index), request, m_sizeLimits, m_progress);
        return *m_last;
    }
    WriteStatus writeTo(int index, const std::string &path)
    {
        WriteRequest request;
        request.path = path;
        return writeRequest(index, request).status;
    }
    WriteStatus write(int index, const std::string &name)
    {
        return writeTo(index, m_out.file(name));
    }
    std::string out(const std::string &name) const
    {
        return readFile(m_out.file(name));
    }
    std::size_t outEntries() const
    {
        const fs::directory_iterator entries(m_out.path());
        return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
    }
    // Every name-tree attachment we write equals what `qpdf --show-attachment=KEY` writes.
    void expectSameAsQpdf(const std::string &password = "")
    {
#ifndef _WIN32
        for (int i = 1; i <= count(); ++i) {
            if (info(i).key.empty())
                continue;
            writeTo(i, m_folder.file("ours"));
            const std::string command = "qpdf '--password=" + password
                + "' '--show-attachment=" + info(i).key + "' '" + m_pdfPath + "' > '"
                + m_folder.file("qpdf") + "' 2> /dev/null";
            const int exit = std::system(command.c_str());
            EXPECT_TRUE(exit == 0 || WEXITSTATUS(exit) == 3) << command; // 3: warnings
            EXPECT_TRUE(readFile(m_folder.file("ours")) == readFile(m_folder.file("qpdf")))
                << command;
        }
#endif
    }

    fixtures::ScratchFolder m_folder;
    std::string m_pdfPath = m_folder.file("document.pdf");
    fixtures::ScratchFolder m_out { "quenlith-out" };
    std::optional<Document> m_pdf;
    std::string m_openError;
    OpenLimits m_limits;
    SizeLimits m_sizeLimits;
    WriteProgress m_progress;
    std::optional<WriteResult> m_last;
};

// The invoice the XMP metadata declares is matched to the attachment that holds it, however the
// metadata is stored, and its XML is read; metadata that cannot be read is warned about and
// declares nothing, and then the XML itself tells an invoice.
TEST_F(DocumentTest, FindsTheDeclaredInvoiceAttachment)
{
    const std::string xmp = fixtures::invoiceXmp("factur-x.xml", "EN 16931");
    const std::string cii = fixtures::invoiceXml("CII", "urn:cen.eu:en16931:2017");
    auto invoice = file("factur-x.xml", cii);
    invoice.afRelationship = "Alternative";
    invoice.afOwners = { "catalog" };
    auto plainNamesake = file("factur-x.xml", "not the invoice");
    plainNamesake.treeKeys = { "factur-x.xml (copy)" };
    auto hidden = invoice;
    hidden.treeKeys.clear();
    hidden.afOwners.clear();
    hidden.unreferenced = true;
    auto basicWl = invoice;
    basicWl.data = fixtures::invoiceXml("CII", "urn:factur-x.eu:1p0:basicwl");
    auto broken = invoice;
    broken.data = cii.substr(0, cii.size() / 2);
    // Found by its XML also in UTF-16, and past attachments that are no XML or large XML.
    auto utf16 = invoice;
    utf16.data = "\xFF\xFE"; // UTF-16LE, from UTF-8 of the Basic Multilingual Plane
    const std::string xml16 = std::string(cii).replace(cii.find("UTF-8"), 5, "UTF-16");
    for (std::size_t i = 0; i < xml16.size();) {
        const auto lead = static_cast<unsigned char>(xml16[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : 3;
        unsigned point = length == 1 ? lead : lead & (length == 2 ? 0x1F : 0x0F);
        for (int k = 1; k < length; ++k)
            point = point << 6 | (static_cast<unsigned char>(xml16[i + k]) & 0x3F);
        utf16.data += { static_cast<char>(point & 0xFF), static_cast<char>(point >> 8) };
        i += static_cast<std::size_t>(length);
    }
    const auto notXml = file("notes.xml", "plain text"),
               largeXml = file("big.xml", "<data>" + std::string(1 << 20, 'x') + "</data>");
    struct Row {
        const char *name;
        std::vector<FileSpecFixture> files;
        std::string metadata;
        bool compressed = false;
        Encryption encryption = Encryption::None;
        bool declared = true;
        int index = 0; // 0: not present
        std::string warning = {}; // the start of one warning, when expected
        std::string number = "471102"; // as read from the XML
        std::string filter = {}; // replaces "/Subtype /XML" in the metadata stream
    };
    const std::string bomb(5 << 20, ' ');
    const std::string tooLarge = "the XMP metadata is not read: it is larger than 4 MiB";
    const std::string notAmong
        = "the XMP metadata declares the invoice factur-x.xml, which is not among";
    const std::string otherLevel
        = "the XMP metadata declares the profile EN 16931, but the invoice XML names BASIC WL";
    const std::string unreadable = "the invoice XML factur-x.xml (attachment 1) cannot be read: ";
    const Row rows[] = {
        { "after another attachment", { file("a.pdf"), invoice }, xmp, false, {}, true, 2 },
        { "compressed and encrypted", { invoice }, xmp, true, Encryption::Aes256, true, 1 },
        { "the relationship decides", { plainNamesake, invoice }, xmp, false, {}, true, 2 },
        { "declared but missing", { file("other.xml") }, xmp, false, {}, true, 0, notAmong, "" },
        { "only among the unlisted files", { file("a.pdf"), hidden }, xmp, false, {}, true, 2 },
        { "no metadata, found by its XML", { file("a.xml"), invoice }, "", false, {}, false, 2 },
        { "no metadata, UTF-16", { notXml, largeXml, utf16 }, "", false, {}, false, 3 },
        { "metadata past 4 MiB", { invoice }, bomb + xmp, true, {}, false, 1, tooLarge },
        { "the XML contradicts the profile", { basicWl }, xmp, false, {}, true, 1, otherLevel },
        { "the XML is cut short", { broken }, xmp, false, {}, true, 1, unreadable, "" },
        { "metadata under a filter that cannot be decoded",
            { invoice },
            xmp,
            false,
            {},
            false,
            1,
            "the XMP metadata cannot be decoded",
            "471102",
            "/Filter /Foo " },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        auto d = document(row.files);
        d.metadata = row.metadata;
        d.metadataCompressed = row.compressed;
        d.encryption = row.encryption;
        fixtures::writeDocument(m_pdfPath, d);
        ASSERT_TRUE(
            row.filter.empty() || fixtures::patchFile(m_pdfPath, "/Subtype /XML", row.filter));
        ASSERT_EQ(openDocument(m_pdfPath, ""), opened) << lastError();
        const InvoiceInfo info = m_pdf->invoice();
        EXPECT_EQ(info.declared, row.declared);
        EXPECT_EQ(info.present, row.index > 0);
        EXPECT_EQ(info.index, row.index);
        EXPECT_EQ(info.content.number, row.number);
        if (row.index > 0) {
            EXPECT_EQ(info.standard, row.declared ? "Factur-X" : "CII");
            EXPECT_EQ(info.fileName, "factur-x.xml");
        }
        const auto warned = m_pdf->warnings();
        if (row.warning.empty())
            EXPECT_EQ(warned, std::vector<std::string> {});
        else
            EXPECT_TRUE(std::any_of(warned.begin(), warned.end(), [&](const std::string &w) {
                return w.starts_with(row.warning);
            }));
    }
}

// Every embedded file once, name tree first (flat or nested, in tree order even unsorted), then
// annotations in page order; file specifications naming an external file only are not counted.
TEST_F(DocumentTest, CountsNamesAndPages)
{
    auto direct = file("direct", "d", { 0, 1, 2 });
    direct.direct = true; // a copy at each of the three places
    auto external = file("external"), externalOnPage = file("external2", "", { 1 });
    external.embedded = externalOnPage.embedded = false;
    auto d = document({ file("z"),
                          file("same", "1"),
                          file("p3", "3", { 3 }),
                          file("both", "b", { 0, 1 }),
                          direct,
                          external,
                          file("same", "2"),
                          file("p2", "2", { 2 }),
                          externalOnPage,
                          file("shared", "s", { 1, 2, 3, 3 }) },
        3);
    d.nullTreeEntry = true;
    for (int fanout : { 0, 2 }) {
        d.treeFanout = fanout;
        open(d);
        std::string found; // "name:page", page 0 for the name tree
        for (int i = 1; i <= count(); ++i) {
            found += info(i).name + ":" + std::to_string(info(i).page) + " ";
            EXPECT_EQ(write(i, std::to_string(i)), written) << lastError();
        }
        EXPECT_EQ(found, "z:0 same:0 both:0 direct:0 same:0 shared:1 p2:2 p3:3 ");
    }
    open(DocumentFixture {});
    EXPECT_EQ(count(), 0);
}

// Associated files of every owner, after the name tree and the annotations: the catalog's, then
// page by page those of the page, its annotations and its forms, then the structure elements'.
// A file found twice is one, and keeps the first /AF owner that named it.
TEST_F(DocumentTest, FindsAssociatedFilesOfEveryOwner)
{
    const auto af = [](const std::string &name,
                        std::vector<std::string> owners,
                        const std::vector<int> &pages = {}) {
        auto spec = file(name, "data of " + name, pages);
        spec.afOwners = std::move(owners);
        return spec;
    };
    auto named = af("n", { "catalog" }, { 0 });
    named.afRelationship = "Source";
    auto catalog = af("cat", { "catalog" });
    catalog.afRelationship = "Data";
    catalog.creationDate = "D:20240501120000+02'00'";
    auto direct = af("direct", { "structure", "page 2" });
    direct.direct = true; // a copy in each array: its stream tells it is the same file
    auto d = document({ named,
                          af("a", { "page 1" }, { 2 }),
                          catalog,
                          af("pg", { "page 2" }),
                          af("an", { "annotation 1" }),
                          af("xo", { "xobject 2" }),
                          af("st", { "structure" }),
                          af("twice", { "page 1", "structure", "xobject 2" }),
                          direct },
        2);
    d.structureDepth = 3;
    open(d);
    std::string found;
    for (int i = 1; i <= count(); ++i) {
        const auto &listed = info(i);
        found += listed.name + ":" + originWord(listed.origin) + ":" + listed.afOwner + " ";
        EXPECT_EQ(write(i, listed.name), written) << lastError();
        EXPECT_EQ(out(listed.name), "data of " + listed.name);
    }
    EXPECT_EQ(found,
        "n:names:catalog a:annotation:page 1 cat:af:catalog twice:af:page 1 "
        "an:af:annotation on page 1 pg:af:page 2 direct:af:page 2 xo:af:xobject on page 2 "
        "st:af:structure element ");
    EXPECT_EQ(info(1).afRelationship, "Source");
    EXPECT_EQ(info(3).afRelationship, "Data");
    EXPECT_EQ(info(3).createdTime, 1714557600); // 10:00 UTC
    EXPECT_EQ(info(2).afRelationship, "");
    EXPECT_EQ(info(2).createdTime, INT64_MIN);
    EXPECT_EQ(m_pdf->unlisted().size(), 0u);
}

// Structure trees that loop or nest past any real one end quickly, without exhausting the stack;
// an element reached twice is searched once.
TEST_F(DocumentTest, StructureTreesThatLoopOrNestDeeplyEndQuickly)
{
    auto spec = file("in-structure");
    spec.treeKeys.clear();
    spec.afOwners = { "structure" };
    auto d = document({ spec });
    // A loop 200 deep; 20,000 levels, found by the search of all objects after the cut walk.
    for (const auto &[depth, loop] : { std::pair { 200, true }, std::pair { 20000, false } }) {
        d.structureDepth = depth;
        d.structureLoop = loop;
        open(d);
        EXPECT_EQ(count(), 1) << depth;
        EXPECT_TRUE(m_pdf->listingComplete()) << depth;
    }
}

// Embedded files that nothing lists are found on demand, after the listed ones and apart from
// their count, named from their file specification or from their object; a listed file is
// never also unlisted.
TEST_F(DocumentTest, FindsUnlistedEmbeddedFiles)
{
    auto hidden = file("hidden.txt", "hidden data");
    hidden.treeKeys.clear();
    hidden.unreferenced = true;
    auto bare = file("bare", "bare data");
    bare.treeKeys.clear();
    bare.unreferenced = bare.bareStream = true;
    bare.size = 9;
    auto listedAndKept = file("listed", "listed data");
    listedAndKept.unreferenced = true; // also under the private key
    auto d = document({ listedAndKept, hidden, bare });
    // Read whole (the objects are searched by their bytes) and read as needed (all are read).
    for (bool askFirst : { true, false }) {
        SCOPED_TRACE(askFirst ? "counted first, in memory" : "asked by index, from the file");
        m_limits.memoryLimit = (askFirst ? OpenLimits::defaultMemoryLimit : 0);
        open(d);
        EXPECT_EQ(count(), 1);
        if (askFirst) {
            EXPECT_EQ(m_pdf->unlisted().size(), 2u);
        }
        EXPECT_EQ(info(2).name, "hidden.txt");
        EXPECT_EQ(info(2).origin, Attachment::Origin::Unlisted);
        EXPECT_EQ(write(2, "2"), written) << lastError();
        EXPECT_EQ(out("2"), "hidden data");
        const auto bareInfo = info(3);
        EXPECT_EQ(bareInfo.origin, Attachment::Origin::Unlisted);
        EXPECT_TRUE(bareInfo.name.starts_with("unlisted-") && bareInfo.name.ends_with(".bin"))
            << bareInfo.name;
        EXPECT_GT(std::stoi(bareInfo.name.substr(9)), 0) << bareInfo.name;
        EXPECT_EQ(bareInfo.declaredSize, 9);
        EXPECT_EQ(write(3, "3"), written) << lastError();
        EXPECT_EQ(out("3"), "bare data");
        EXPECT_EQ(m_pdf->unlisted().size(), 2u);
        EXPECT_EQ(m_pdf->at(4), nullptr);
    }
    open(document({ file("only") }));
    EXPECT_EQ(m_pdf->unlisted().size(), 0u);
}

// /UF, else /F, /Unix, /DOS, /Mac, else the name-tree key, decoded to UTF-8 and never cleaned.
TEST_F(DocumentTest, DecodesStoredNames)
{
    const std::vector<std::pair<std::map<std::string, std::string>, std::string>> rows = {
        { { { "/UF", fixtures::utf16be("π-Ω 😀.txt") } }, "π-Ω 😀.txt" },
        { { { "/UF", fixtures::utf16le("π.png") } }, "π.png" },
        { { { "/UF", fixtures::utf8WithBom("Grüße.txt") } }, "Grüße.txt" },
        { { { "/F", "Übersicht.pdf" } }, "Übersicht.pdf" },
        { { { "/F", fixtures::pdfDoc("café “q”.txt") } }, "café “q”.txt" },
        { { { "/UF", fixtures::utf16be("unicode.txt") }, { "/F", "plain.txt" } }, "unicode.txt" },
        { { { "/Unix", "unix.txt" }, { "/Mac", "mac.txt" } }, "unix.txt" },
        { { { "/DOS", "DOS.TXT" }, { "/Mac", "mac.txt" } }, "DOS.TXT" },
        { {}, "key-i" },
        { { { "/UF", "" }, { "/F", "f.txt" } }, "" },
        { { { "/UF", "dir\\sub/file.txt" } }, "dir\\sub/file.txt" },
        { { { "/F", "../../evil.txt" } }, "../../evil.txt" },
        { { { "/UF", "\xFE\xFF" } }, "" },
        { { { "/UF", std::string("\xFE\xFF\x00\x41\x00", 5) } }, "A" }, // odd byte
        { { { "/UF", std::string("\xFF\xFE\x3D\xD8", 4) } }, "\uFFFD" }, // lone surrogate
        { { { "/UF", std::string("\xFE\xFF\xDE\x00\xD8\x3D", 6) } }, "\uFFFD\uFFFD" }, // swapped
        { { { "/UF", "\xEF\xBB\xBF\x61\xFF" } }, "a\uFFFD" }, // BOM, then an invalid byte
        { { { "/F", "\xC0\xAF" } }, "\u00C0\u00AF" }, // overlong UTF-8: PDFDocEncoding
        { { { "/F", "\xED\xA0\x80" } }, "í€•" }, // a surrogate in UTF-8: PDFDocEncoding
        { { { "/F", "\xF4\x90\x80\x80" } }, "ô’••" }, // past U+10FFFF
        { { { "/F", "a\xE2\x82" } }, "aâ‡" }, // cut short
    };
    DocumentFixture d;
    for (std::size_t i = 0; i < rows.size(); ++i)
        d.files.emplace_back(file("key-" + std::string(1, static_cast<char>('a' + i)))).names
            = rows[i].first;
    open(d);
    ASSERT_EQ(count(), static_cast<int>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(info(static_cast<int>(i + 1)).name, rows[i].second);
    expectSameAsQpdf();
}

// The properties of a name-tree and of an annotation attachment. /Params /ModDate (ISO
// 32000-1 7.9.4) is read as UTC, INT64_MIN when invalid, and the written file gets it as
// modification time.
TEST_F(DocumentTest, ReadsPropertiesAndModificationDates)
{
    constexpr std::int64_t may1 = 1714557600; // 2024-05-01T10:00:00Z
    const std::vector<std::pair<std::string, std::int64_t>> dates = {
        { "D:20240501120000+02'00'", may1 },
        { "D:20240501053000-04'30", may1 },
        { "20240501100000", may1 },
        { "D:20240501100000Z00'00'", may1 },
        { "D:2024", 1704067200 },
        { "D:20161231235960Z", 1483228800 }, // leap second
        { "D:20241399", INT64_MIN },
        { "D:20240501240000Z", INT64_MIN },
        { "D:2024050", INT64_MIN },
        { "D:20240501100000+2", INT64_MIN },
        { "D:20240501100000Z02'00'", INT64_MIN },
        { "D:20240501120000+02'00'x", INT64_MIN },
    };
    DocumentFixture d;
    for (const auto &row : dates)
        d.files.emplace_back(file("d.txt")).modDate = row.first;
    d.files[0].description = fixtures::utf16be("Rechnung März");
    d.files[0].mimeType = "text/xml";
    d.files[0].size = 4;
    d.files.push_back(file("note.txt", "n", { 1 }));
    open(d);
    const int last = count();
    const auto properties = [](const Attachment &a) {
        return a.description + "|" + a.mimeType + "|" + std::to_string(a.declaredSize) + "|"
            + isoDate(a.modTime) + "|" + std::to_string(a.page) + "|" + a.key;
    };
    EXPECT_EQ(properties(info(1)), "Rechnung März|text/xml|4|2024-05-01T10:00:00Z|0|d.txt");
    EXPECT_EQ(properties(info(last)), "||-1||1|");
    for (std::size_t i = 0; i < dates.size(); ++i)
        EXPECT_EQ(info(static_cast<int>(i + 1)).modTime, dates[i].second) << dates[i].first;
    ASSERT_EQ(write(1, "valid"), written);
    EXPECT_TRUE(std::chrono::file_clock::to_sys(fs::last_write_time(m_out.file("valid")))
        == std::chrono::sys_seconds(std::chrono::seconds(may1)));
    ASSERT_EQ(write(7, "invalid"), written); // gets the current time
    const auto age = fs::file_time_type::clock::now() - fs::last_write_time(m_out.file("invalid"));
    EXPECT_LT(std::chrono::abs(age), std::chrono::hours(1));
}

// /Params /Size and /CheckSum against the decoded data, small or hashed across many blocks, the
// last one cut short: a mismatching file is still kept whole, over the one that was there.
// The SHA-256 asked for alongside is that of the data. Progress comes every 4 MiB; returning false
// abandons a write, also while blocks wait for the hashing threads, and leaves no file but the
// old one.
TEST_F(DocumentTest, VerifiesDeclaredSizeAndChecksum)
{
    enum Declared { None, Right, Wrong };
    constexpr WriteStatus mismatch = WriteStatus::ChecksumMismatch;
    constexpr std::size_t many = 9 * 1024 * 1024 + 12345;
    const std::vector<std::tuple<std::size_t, Declared, Declared, WriteStatus>> rows = {
        { 0, Right, Right, written },
        { 25, Wrong, Right, mismatch },
        { 25, Right, Wrong, mismatch },
        { many, None, None, written },
        { many, Right, Right, written },
        { many, None, Wrong, mismatch },
    };
    auto d = document({});
    d.treeFanout = 2;
    std::vector<std::string> data;
    for (const auto &[length, size, checksum, status] : rows) {
        auto &bytes = data.emplace_back();
        for (std::uint32_t i = 0; bytes.size() < length; ++i) // all bytes, period 10007
            bytes.push_back(static_cast<char>((i % 10007 * 2654435761u) >> 13));
        auto &spec = d.files.emplace_back(file("c" + std::to_string(data.size()), bytes));
        spec.size = size == None ? -1 : static_cast<std::int64_t>(length + (size == Wrong));
        if (checksum != None)
            spec.checkSum = fixtures::md5Of(checksum == Right ? bytes : bytes + "x");
    }
    open(d);
    for (int i = 1; i <= count(); ++i) {
        const auto &[length, size, checksum, status] = rows[static_cast<std::size_t>(i - 1)];
        SCOPED_TRACE("row " + std::to_string(i));
        EXPECT_EQ(info(i).declaredChecksum.empty() == false, checksum != None);
        writeText(m_out.file("c"), "replaced");
        WriteRequest request; // both digests at once, each on its own thread past 1 MiB
        request.path = m_out.file("c");
        request.sha256 = true;
        EXPECT_EQ(writeRequest(i, request).status, status) << lastError();
        EXPECT_TRUE(out("c") == data[static_cast<std::size_t>(i - 1)]);
        EXPECT_EQ(m_last->bytes, length);
        EXPECT_EQ(m_last->sha256, fixtures::sha256Of(data[static_cast<std::size_t>(i - 1)]));
        EXPECT_EQ(lastError().substr(0, 17), status == written ? "" : "checksum mismatch");
        EXPECT_EQ(outEntries(), 1u); // no temporary file left
    }
    expectSameAsQpdf();
    int reports = 0;
    m_progress = ([&](std::uint64_t) { return ++reports > 0; });
    ASSERT_EQ(write(5, "c"), written);
    EXPECT_EQ(reports, 2);
    for (int stopAt : { 1, 2 }) {
        reports = 0;
        m_progress = ([&](std::uint64_t) { return ++reports < stopAt; });
        EXPECT_EQ(write(5, "kept"), (WriteStatus::Abandoned));
        EXPECT_EQ(write(6, "c"), (WriteStatus::Abandoned));
        EXPECT_TRUE(out("c") == data[4]);
        EXPECT_EQ(outEntries(), 1u);
    }
}

// A failed write leaves no file and keeps the one that was there.
TEST_F(DocumentTest, RefusesBadIndicesTargetsAndData)
{
    auto corrupt = file("bad.bin");
    corrupt.corruptFlate = true;
    open(document({ file("t.txt"), corrupt }));
    for (int index : { -1, 0, 3 })
        EXPECT_EQ(m_pdf->at(index), nullptr);
    EXPECT_EQ(write(2, "new.bin"), (WriteStatus::DecodeFailed));
    EXPECT_EQ(lastError().rfind("the embedded data cannot be decoded", 0), 0u);
    fs::create_directory(m_out.path() / "folder");
    for (const auto &target : { std::string(), m_out.file("missing/t"), m_out.file("folder") })
        EXPECT_EQ(writeTo(1, target), (WriteStatus::CannotCreate)) << target << ": " << lastError();
    EXPECT_EQ(lastError().rfind("cannot ", 0), 0u) << lastError();
    EXPECT_TRUE(fs::is_directory(m_out.path() / "folder"));
    writeText(m_out.file("bad.bin"), "old content");
    EXPECT_EQ(write(2, "bad.bin"), (WriteStatus::DecodeFailed));
    EXPECT_EQ(out("bad.bin"), "old content");
    EXPECT_EQ(outEntries(), 2u);
    std::string name; // 160 bytes: the temporary name must be cut on a character boundary
    for (int i = 0; i < 80; ++i)
        name += "π";
    EXPECT_EQ(write(1, name), written) << lastError();
    EXPECT_EQ(out(name), "data");
}

// Data is written only when it was fully decoded: a filter qpdf cannot apply, predictor
// parameters it would choke on, or a decoder that warned (unless /Size and /CheckSum both vouch for
// the result) fail with a reason naming the cause and leave no file; a lone /DCTDecode is the JPEG
// file itself, kept as stored when it has the declared size.
TEST_F(DocumentTest, WritesOnlyFullyDecodedData)
{
    constexpr WriteStatus failed = WriteStatus::DecodeFailed;
    std::string text;
    for (int i = 0; text.size() < 4500; ++i)
        text += "line " + std::to_string(i * 7919 % 1000) + "\n";
    const std::string deflated = fixtures::deflate(text);
    std::string large = text; // a few hundred times the decoder's output piece
    while (large.size() < 20 * 1024 * 1024)
        large += large;
    const std::string brotli = fixtures::brotli(text);
    const auto textSize = static_cast<std::int64_t>(text.size());
    const std::string jpeg = "\xff\xd8\xff\xe0" + std::string("\0\x10JFIF\0", 7) + "pixels\xff\xd9";
    struct Row {
        std::string filter, parms, stored;
        std::int64_t size; // -1: none declared
        bool checkSum; // the MD5 of `expected`
        std::string expected; // the file's bytes when written
        std::string reason; // empty: written
    };
    const std::string fl = "/FlateDecode", flate = "cannot decode /FlateDecode: ";
    const std::string rows1MiB = flate + "its predictor rows are larger than 1 MiB";
    const std::string wideRows = "<< /Predictor 12 /Columns 300000 /Colors 4 >>";
    const std::string badParms = flate + "invalid predictor parameters";
    const std::string brotliParms
        = "cannot decode /BrotliDecode: its /DecodeParms are not supported";
    const std::vector<Row> rows = {
        { "/FlateDecode", "", deflated, -1, false, text, "" },
        { "/Fl", "<< /Predictor 1 >>", deflated, -1, false, text, "" },
        { "/ZlateDecode", "", deflated, -1, false, text, "cannot decode /ZlateDecode" },
        { "[/FlateDecode /FooDecode]", "", deflated, -1, false, text, "cannot decode /FooDecode" },
        { "/JBIG2Decode", "", "x", 1, false, "x", "cannot decode /JBIG2Decode" },
        { "/JPXDecode", "", "x", 1, false, "x", "cannot decode /JPXDecode" },
        { fl, "<< /Predictor 3 >>", deflated, -1, false, text, flate + "unsupported /Predictor 3" },
        { fl, wideRows, deflated, -1, false, text, rows1MiB },
        { fl, "<< /Predictor 12 /BitsPerComponent 3 >>", deflated, -1, false, text, badParms },
        { "/FlateDecode", "", deflated.substr(0, deflated.size() / 3), -1, false, text, "?" },
        { "/FlateDecode", "", deflated.substr(0, deflated.size() / 3), 4500, true, text, "?" },
        { "/BrotliDecode", "", brotli, textSize, true, text, "" },
        { "[/BrotliDecode]", "<< >>", fixtures::brotli(large), -1, false, large, "" },
        { "/BrotliDecode", "", brotli.substr(0, brotli.size() / 2), textSize, true, text, "?" },
        { "/BrotliDecode", "", brotli + "tail", -1, false, text, "?" },
        { "/BrotliDecode", "", "not brotli data at all", -1, false, text, "?" },
        { "/BrotliDecode", "<< /Predictor 12 >>", brotli, -1, false, text, brotliParms },
        { "/DCTDecode", "", jpeg, static_cast<std::int64_t>(jpeg.size()), false, jpeg, "" },
        { "/DCTDecode", "", jpeg, 5, false, jpeg, "/DCTDecode data of 19 bytes, 5 declared" },
        { "/DCTDecode", "", jpeg, -1, false, jpeg, "/DCTDecode data without a declared /Size" },
    };
    auto d = document({});
    for (const auto &row : rows) {
        auto &spec = d.files.emplace_back(file("f" + std::to_string(d.files.size() + 1)));
        spec.data = row.stored;
        spec.filter = row.filter;
        spec.decodeParms = row.parms;
        spec.size = row.size;
        if (row.checkSum)
            spec.checkSum = fixtures::md5Of(row.expected);
    }
    // Encrypted by qpdf, whose decryption passes the data on to the same decoders.
    for (const auto encryption : { Encryption::None, Encryption::Aes256, Encryption::Rc4 }) {
        d.encryption = encryption;
        open(d);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const auto &row = rows[i];
            SCOPED_TRACE("row " + std::to_string(i + 1) + ": " + row.filter + " " + row.parms
                + " encryption " + std::to_string(static_cast<int>(encryption)));
            const std::string name = "f" + std::to_string(i + 1);
            const WriteStatus status = write(static_cast<int>(i + 1), name);
            if (row.reason.empty()) {
                EXPECT_EQ(status, written) << lastError();
                EXPECT_TRUE(out(name) == row.expected);
                continue;
            }
            EXPECT_EQ(status, failed) << lastError();
            EXPECT_FALSE(fs::exists(m_out.file(name)));
            const std::string prefix = "the embedded data cannot be decoded: ";
            EXPECT_EQ(lastError().rfind(prefix, 0), 0u) << lastError();
            if (row.reason != "?") // "?": qpdf's own words
                EXPECT_EQ(lastError(), prefix + row.reason);
            else
                EXPECT_GT(lastError().size(), prefix.size());
        }
        EXPECT_EQ(outEntries(), 5u);
        fs::remove_all(m_out.path());
        fs::create_directory(m_out.path());
    }
}

// Embedded files encrypted through their own crypt filter (/EFF, or /Crypt on the stream) come out
// decrypted with the owner or user password, whatever the name tree's shape; a writer that
// declares /EFF but stores the files in the clear is detected and said so. What cannot be
// decrypted fails with the reason and leaves no file.
TEST_F(DocumentTest, DecryptsEmbeddedFilesOfTheirOwnCryptFilter)
{
    using Method = fixtures::AttachmentEncryption::Method;
    std::string big;
    for (int i = 0; big.size() < 300000; ++i)
        big += std::to_string(i * 2654435761u) + "\n";
    struct Row {
        Method method;
        std::string user;
        int treeFanout;
        bool cryptFilterOnStreams;
        bool storedInClear;
        std::string streamFilter = "/Identity"; // with /Crypt on the streams, theirs holds
    };
    const std::vector<Row> rows = {
        { Method::Rc4, "", 0, false, false },
        { Method::Rc4, "user", 2, false, false },
        { Method::Aes128, "", 0, false, false },
        { Method::Aes128, "user", 0, true, false },
        { Method::Aes128, "", 0, true, false, "/NoSuchFilter" },
        { Method::Aes256, "user", 2, false, false },
        { Method::Rc4, "", 0, false, true },
        { Method::Aes128, "", 2, false, true },
        { Method::Aes256, "", 0, false, true },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(std::to_string(static_cast<int>(row.method)) + " user '" + row.user
            + "' fanout " + std::to_string(row.treeFanout)
            + (row.cryptFilterOnStreams ? " /Crypt" : "") + (row.storedInClear ? " clear" : "")
            + " " + row.streamFilter);
        auto d
            = document({ file("a.txt", "alpha"), file("b.txt", big), file("c.txt", "c", { 1 }) });
        d.treeFanout = row.treeFanout;
        for (auto &f : d.files) {
            f.size = static_cast<std::int64_t>(f.data.size());
            f.checkSum = fixtures::md5Of(f.data);
        }
        fixtures::writeDocument(m_pdfPath, d);
        fixtures::encryptAttachments(m_pdfPath,
            { .method = row.method,
                .userPassword = row.user,
                .storedInClear = row.storedInClear,
                .cryptFilterOnStreams = row.cryptFilterOnStreams,
                .streamFilter = row.streamFilter });
        for (const std::string &password : { row.user, std::string("owner") }) {
            ASSERT_EQ(openDocument(m_pdfPath, password), opened) << lastError();
            ASSERT_EQ(count(), 3);
            for (int i = 1; i <= 3; ++i) {
                const std::string name = info(i).name;
                EXPECT_EQ(write(i, name), written) << name << ": " << lastError();
                EXPECT_TRUE(out(name) == d.files[static_cast<std::size_t>(i - 1)].data) << name;
                EXPECT_EQ(m_last->storedInClear, row.storedInClear) << name;
            }
        }
    }

    // Damaged ciphertext, and a /StmF that names no crypt filter (which qpdf would take for AES,
    // whatever the bytes), pass neither decrypted nor as stored: the decryption's reason.
    std::string large; // past the sink's inline hashing, so that its helper thread is restarted
    while (large.size() < 3 * 1024 * 1024)
        large += big;
    const std::tuple<Method, std::size_t, std::string, std::string> failing[] = {
        { Method::Aes128, 1001, "/Identity", "AES" },
        { Method::Rc4, 1001, "/Identity", "" },
        { Method::Aes128, 0, "/NoSuchFilter", "its crypt filter (/StmF) is of an unknown kind" },
    };
    for (const auto &[method, truncateBy, streamFilter, reason] : failing) {
        SCOPED_TRACE(static_cast<int>(method));
        auto d = document({ file("damaged.txt", large) });
        d.files[0].size = static_cast<std::int64_t>(large.size());
        d.files[0].checkSum = fixtures::md5Of(large);
        fixtures::writeDocument(m_pdfPath, d);
        fixtures::encryptAttachments(m_pdfPath,
            { .method = method, .truncateBy = truncateBy, .streamFilter = streamFilter });
        ASSERT_EQ(openDocument(m_pdfPath, ""), opened) << lastError();
        EXPECT_EQ(write(1, "damaged.txt"), (WriteStatus::DecodeFailed));
        EXPECT_EQ(lastError().rfind("the embedded data cannot be decoded: ", 0), 0u) << lastError();
        EXPECT_NE(lastError().find(reason), std::string::npos) << lastError();
        EXPECT_FALSE(fs::exists(m_out.file("damaged.txt")));
        EXPECT_FALSE(m_last->storedInClear);
    }
}

// Data that expands past its declared /Size (twice it and 1 MiB) or past the size limits is
// stopped while it is written, and nothing of it stays on disk.
TEST_F(DocumentTest, StopsDataThatExpandsPastItsBounds)
{
    constexpr std::uint64_t MiB = 1024 * 1024;
    struct Row {
        std::uint64_t dataSize;
        std::int64_t declaredSize; // -1: none
        std::uint64_t maxBytes, maxRatio;
        WriteStatus status;
        std::string reason; // empty: none
    };
    const WriteStatus stopped = WriteStatus::TooLarge;
    const WriteStatus mismatch = WriteStatus::ChecksumMismatch;
    const std::string pastDeclared = "stopped: expands past its declared size of 1000 bytes";
    const std::string pastLimit = "stopped: expands past the size limit";
    const std::vector<Row> rows = {
        { 3 * MiB, 1000, 0, 0, stopped, pastDeclared },
        { MiB + 2000, 1000, 0, 0, mismatch, "checksum mismatch" }, // up to the declared bound
        { 3 * MiB, -1, 2 * MiB, 0, stopped, pastLimit },
        { 2 * MiB, -1, 2 * MiB, 0, written, "" },
        { 3 * MiB, 3 * MiB, 2 * MiB, 0, stopped, pastLimit }, // declared past the limit
        { SizeLimits::expansionRatioFloor + MiB, -1, 0, 1, stopped, pastLimit }, // past the ratio
        { 3 * MiB, -1, SizeLimits::defaultMaxAttachmentSize, 1000, written, "" },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(&row - rows.data());
        auto spec = file("x.bin", std::string(row.dataSize, 'x'));
        spec.size = row.declaredSize;
        open(document({ spec }));
        m_sizeLimits = { row.maxBytes, row.maxRatio, nullptr };
        EXPECT_EQ(write(1, "x.bin"), row.status) << lastError();
        EXPECT_EQ(lastError().substr(0, row.reason.size()), row.reason);
        EXPECT_EQ(m_last->bound,
            row.status != stopped         ? SizeBound::None
                : row.reason == pastLimit ? SizeBound::Attachment
                                          : SizeBound::DeclaredSize);
        EXPECT_EQ(outEntries(), row.status == stopped ? 0u : 1u);
        fs::remove(m_out.file("x.bin"));
    }
}

// Documents with an empty user password or a reconstructed cross-reference table open the same,
// read whole (up to the memory limit) or from the file; a real user password is needed, or the
// owner password (ISO 32000-1 7.6.3.4).
TEST_F(DocumentTest, OpensEncryptedAndRepairedDocuments)
{
    auto d = document({ file("a.txt", "alpha"), file("b.txt", std::string(5000, 'b'), { 2 }) }, 2);
    for (const auto &[encryption, user] : std::vector<std::pair<Encryption, std::string>> {
             { Encryption::None, "" }, // with a broken cross-reference table
             { Encryption::Aes256, "" },
             { Encryption::Aes128, "" },
             { Encryption::Rc4, "" },
             { Encryption::Aes256, "user" } }) {
        d.encryption = encryption;
        d.userPassword = user;
        fixtures::writeDocument(m_pdfPath, d);
        if (encryption == Encryption::None)
            fixtures::breakXref(m_pdfPath);
        const auto size = fs::file_size(m_pdfPath);
        for (const std::uint64_t limit : { std::uint64_t { 0 }, size - 1, size }) {
            SCOPED_TRACE(
                std::to_string(static_cast<int>(encryption)) + user + " " + std::to_string(limit));
            m_limits.memoryLimit = (limit);
            for (const char *wrong : { "", "wrong" }) {
                if (user.empty())
                    break;
                EXPECT_EQ(openDocument(m_pdfPath, wrong), Reason::NeedsPassword);
                EXPECT_EQ(lastError().rfind("needs a password", 0), 0u);
                EXPECT_EQ(openDocument(m_pdfPath, "owner"), opened);
            }
            ASSERT_EQ(openDocument(m_pdfPath, user), opened) << lastError();
            EXPECT_EQ(m_pdf->repaired(), encryption == Encryption::None);
            ASSERT_EQ(count(), 2);
            EXPECT_EQ(info(1).name + " " + info(2).name, "a.txt b.txt");
            ASSERT_EQ(write(2, "b.txt"), written);
            EXPECT_EQ(out("b.txt"), std::string(5000, 'b'));
        }
        expectSameAsQpdf(user);
    }
}

// Makes the /Length of the first embedded file stream a reference to that stream itself.
void makeLengthSelfReferent(const std::string &path)
{
    std::string bytes = readFile(path);
    const std::string from = "/Type /EmbeddedFile /Length ";
    const auto at = bytes.find(from);
    ASSERT_NE(at, std::string::npos);
    const auto objectStart = bytes.rfind(" 0 obj", at);
    const auto number = bytes.substr(
        bytes.rfind('\n', objectStart) + 1, objectStart - bytes.rfind('\n', objectStart) - 1);
    const auto end = bytes.find(">>", at) + 2;
    std::string to = "/Type/EmbeddedFile/Length " + number + " 0 R>>";
    ASSERT_LE(to.size(), end - at);
    to.resize(end - at, ' ');
    writeText(path, bytes.replace(at, end - at, to));
}

// A document whose embedded files cannot all be listed is damaged, with the reason, never a
// document without attachments; deep and looping name trees that can be walked are listed.
TEST_F(DocumentTest, ReportsAttachmentsThatCannotBeListed)
{
    struct Row {
        std::string name;
        std::function<void(const std::string &)> harm;
        std::string reason; // the start of lastError(); empty: opens, with both attachments
    };
    const auto deepen = [](int levels, bool loop = false) {
        return [=](const std::string &path) { fixtures::deepenNameTree(path, levels, loop); };
    };
    const std::vector<Row> rows = {
        { "an overflowing /Size",
            [](const std::string &path) {
                ASSERT_TRUE(fixtures::patchFile(
                    path, "/Size 1000000000000000000", "/Size 9999999999999999999"));
            },
            "damaged: the embedded file of a.txt is unreadable: " },
        { "a /Length that refers to its own stream",
            makeLengthSelfReferent,
            "damaged: the embedded file of a.txt is unreadable" },
        { "a name tree 100,001 levels deep",
            deepen(100000),
            "damaged: the EmbeddedFiles name tree is deeper than 100000 levels" },
        { "a name tree 100,000 levels deep", deepen(99999), "" },
        { "a name tree that loops", deepen(300, true), "" },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        auto d = document({ file("a.txt", std::string(300, 'a')), file("b.txt", "b") });
        d.files[0].size = 1000000000000000000;
        fixtures::writeDocument(m_pdfPath, d);
        row.harm(m_pdfPath);
        const auto status = openDocument(m_pdfPath, "");
        EXPECT_EQ(status, row.reason.empty() ? opened : Reason::Damaged) << lastError();
        EXPECT_EQ(lastError().substr(0, row.reason.size()), row.reason);
        EXPECT_EQ(count(), row.reason.empty() ? 2 : 0);
    }
}

// Files that do not open, read whole or from the file, give a reason in words; no truncation of
// a document crashes.
TEST_F(DocumentTest, ReportsDocumentsThatDoNotOpen)
{
    const auto good = m_folder.file("good.pdf");
    fixtures::writeDocument(
        good, document({ file("a.txt", std::string(3000, 'a')), file("b", "b", { 1 }) }));
    fs::copy_file(good, m_pdfPath);
    fixtures::truncateFile(m_pdfPath, 15);
    writeText(m_folder.file("empty.pdf"), "");
    writeText(m_folder.file("letter.pdf"), "Dear reader,\nthis is a letter, not a document.\n");
    writeText(m_folder.file("late.pdf"), std::string(1025, ' ') + readFile(good));
    writeText(m_folder.file("sparse.pdf"), "");
    fixtures::truncateFile(m_folder.file("sparse.pdf"), std::uintmax_t { 1 } << 32);
    std::vector<std::tuple<std::string, Reason, std::string>> rows = {
        { m_folder.file("missing.pdf"), Reason::FileUnreadable, "cannot be read" },
        { m_folder.path().string(), Reason::FileUnreadable, "cannot be read" },
        { m_folder.file("empty.pdf"), Reason::NotPdf, "not a PDF document" },
        { m_folder.file("letter.pdf"), Reason::NotPdf, "not a PDF document" },
        { m_folder.file("late.pdf"), Reason::NotPdf, "not a PDF document: no PDF header" },
        { m_folder.file("sparse.pdf"), Reason::NotPdf, "not a PDF document: no PDF header" },
        { m_pdfPath, Reason::Damaged, "damaged beyond repair: " },
    };
#ifndef _WIN32
    ASSERT_EQ(mkfifo(m_folder.file("fifo").c_str(), 0600), 0); // refused without waiting
    rows.emplace_back(
        m_folder.file("fifo"), Reason::FileUnreadable, "cannot be read: not a regular");
#endif
    for (const std::uint64_t limit : { OpenLimits::defaultMemoryLimit, std::uint64_t { 10 } }) {
        m_limits.memoryLimit = (limit);
        for (const auto &[path, status, reason] : rows) {
            SCOPED_TRACE(path + ", limit " + std::to_string(limit));
            EXPECT_EQ(openDocument(path, ""), status);
            EXPECT_EQ(lastError().rfind(reason, 0), 0u) << lastError();
        }
    }
    writeText(m_pdfPath, std::string(1000, ' ') + readFile(good)); // the header within 1 KiB
    EXPECT_EQ(openDocument(m_pdfPath, ""), opened) << lastError();
    EXPECT_EQ(count(), 2);
    for (std::uintmax_t length = 0; length < fs::file_size(good); length += 97) {
        fs::copy_file(good, m_pdfPath, fs::copy_options::overwrite_existing);
        fixtures::truncateFile(m_pdfPath, length);
        EXPECT_TRUE(openDocument(m_pdfPath, "") == opened || !lastError().empty());
        for (int i = 1; i <= count(); ++i)
            write(i, "out");
    }
}

} // namespace
} // namespace quenlith
