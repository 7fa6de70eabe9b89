// PdfLibrary against documents generated at test time (tests/support/PdfFixtures).
#include "extract/PdfLibrary.h"

#include "tests/support/FileDigest.h"
#include "tests/support/PdfFixtures.h"
#include "tests/support/ScratchFolder.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quenlith {
namespace {

using fixtures::DocumentFixture;
using fixtures::FileSpecFixture;

constexpr int opened = static_cast<int>(OpenStatus::Opened);
constexpr int written = static_cast<int>(WriteStatus::Written);
constexpr int nameTag = static_cast<int>(AttachmentTag::Name);

FileSpecFixture file(const std::string &name, const std::string &data = "data")
{
    FileSpecFixture spec;
    spec.data = data;
    spec.names = { { "/UF", fixtures::utf16be(name) }, { "/F", name } };
    spec.treeKeys = { name };
    return spec;
}

FileSpecFixture onPages(FileSpecFixture spec, std::vector<int> pages)
{
    spec.treeKeys.clear();
    spec.annotationPages = std::move(pages);
    return spec;
}

std::string readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> names(const PdfLibrary &pdf)
{
    std::vector<std::string> result;
    for (int i = 1; i <= pdf.AttachmentCount(); ++i)
        result.push_back(pdf.AttachmentText(i, nameTag));
    return result;
}

std::size_t entriesIn(const std::filesystem::path &folder)
{
    return static_cast<std::size_t>(std::distance(
        std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}

std::string writeText(const fixtures::ScratchFolder &folder, const std::string &text);

class PdfLibraryTest : public testing::Test {
protected:
    // Writes `document` and opens it; fails the test when it does not open.
    void open(const DocumentFixture &document, const std::string &password = "")
    {
        fixtures::writeDocument(m_pdfPath, document);
        ASSERT_EQ(m_pdf.OpenDocument(m_pdfPath, password), opened) << m_pdf.lastError();
    }

    fixtures::ScratchFolder m_folder;
    std::string m_pdfPath = m_folder.file("document.pdf");
    fixtures::ScratchFolder m_out { "quenlith-out" };
    PdfLibrary m_pdf;
};

// Which attachments a document has, and in which order.
struct EnumerationCase {
    std::string label;
    DocumentFixture document;
    std::vector<std::string> names;
    std::vector<int> pages; // 0 for the name tree
};

class Enumeration : public PdfLibraryTest, public testing::WithParamInterface<EnumerationCase> { };

std::vector<EnumerationCase> enumerationCases()
{
    std::vector<EnumerationCase> cases;
    {
        DocumentFixture d;
        d.files = { file("a.txt"), file("b.xml"), file("c.pdf") };
        cases.push_back({ "FlatNameTree", d, { "a.txt", "b.xml", "c.pdf" }, { 0, 0, 0 } });
    }
    {
        DocumentFixture d;
        for (int i = 1; i <= 9; ++i)
            d.files.push_back(file("f" + std::to_string(i) + ".txt"));
        d.treeFanout = 2;
        std::vector<std::string> expected;
        for (int i = 1; i <= 9; ++i)
            expected.push_back("f" + std::to_string(i) + ".txt");
        cases.push_back({ "NestedKids", d, expected, std::vector<int>(9, 0) });
    }
    {
        DocumentFixture d;
        d.pages = 3;
        d.files = { onPages(file("p3.txt"), { 3 }), onPages(file("p2.txt"), { 2 }) };
        cases.push_back({ "AnnotationsInPageOrder", d, { "p2.txt", "p3.txt" }, { 2, 3 } });
    }
    {
        DocumentFixture d;
        d.pages = 2;
        d.files = { onPages(file("page.txt"), { 1 }), file("tree.txt") };
        cases.push_back({ "NameTreeBeforeAnnotations", d, { "tree.txt", "page.txt" }, { 0, 1 } });
    }
    {
        DocumentFixture d;
        auto both = file("both.txt");
        both.annotationPages = { 1 };
        d.files = { both };
        cases.push_back({ "SpecInTreeAndAnnotationOnce", d, { "both.txt" }, { 0 } });
    }
    {
        DocumentFixture d;
        auto both = file("direct.txt");
        both.annotationPages = { 1, 1 };
        both.direct = true;
        d.files = { both };
        cases.push_back({ "DirectSpecReachedThriceOnce", d, { "direct.txt" }, { 0 } });
    }
    {
        DocumentFixture d;
        d.pages = 16;
        std::vector<int> pages;
        for (int p = 1; p <= 16; ++p)
            pages.push_back(p);
        d.files = { onPages(file("shared.txt"), pages) };
        cases.push_back({ "SixteenAnnotationsOneFile", d, { "shared.txt" }, { 1 } });
    }
    {
        DocumentFixture d;
        auto external = file("external.txt");
        external.embedded = false;
        auto externalOnPage = onPages(file("external2.txt"), { 1 });
        externalOnPage.embedded = false;
        d.files = { external, file("inside.txt"), externalOnPage };
        cases.push_back({ "ExternalFilesNotCounted", d, { "inside.txt" }, { 0 } });
    }
    {
        DocumentFixture d;
        d.files = { file("before.txt") };
        d.nullTreeEntry = true;
        cases.push_back({ "NullTreeEntrySkipped", d, { "before.txt" }, { 0 } });
    }
    {
        DocumentFixture d;
        for (const char *content : { "1", "2", "3" })
            d.files.push_back(file("same.joboptions", content));
        d.files.insert(d.files.begin(), file("zzz.txt"));
        cases.push_back({ "UnsortedEqualKeysInTreeOrder",
            d,
            { "zzz.txt", "same.joboptions", "same.joboptions", "same.joboptions" },
            { 0, 0, 0, 0 } });
    }
    {
        DocumentFixture d;
        d.files = { file("one.txt"), file("one.txt") };
        cases.push_back({ "DuplicateNamesKept", d, { "one.txt", "one.txt" }, { 0, 0 } });
    }
    cases.push_back({ "NoAttachments", DocumentFixture {}, {}, {} });
    return cases;
}

TEST_P(Enumeration, CountsNamesAndPages)
{
    const auto &param = GetParam();
    open(param.document);
    ASSERT_EQ(m_pdf.AttachmentCount(), static_cast<int>(param.names.size()));
    EXPECT_EQ(names(m_pdf), param.names);
    for (int i = 1; i <= m_pdf.AttachmentCount(); ++i) {
        const int page = param.pages[static_cast<std::size_t>(i - 1)];
        EXPECT_EQ(m_pdf.attachmentInfo(i).page, page) << i;
        EXPECT_EQ(m_pdf.AttachmentText(i, static_cast<int>(AttachmentTag::Page)),
            page > 0 ? std::to_string(page) : "");
        EXPECT_EQ(m_pdf.WriteAttachment(i, m_out.file(std::to_string(i))), written)
            << m_pdf.lastError();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, Enumeration, testing::ValuesIn(enumerationCases()), [](const auto &row) {
        return row.param.label;
    });

// How stored names are decoded to UTF-8.
struct NameCase {
    std::string label;
    std::map<std::string, std::string> names; // raw bytes per key
    std::string expected;
};

class NameDecoding : public PdfLibraryTest, public testing::WithParamInterface<NameCase> { };

TEST_P(NameDecoding, GivesUtf8)
{
    FileSpecFixture spec;
    spec.data = "x";
    spec.names = GetParam().names;
    spec.treeKeys = { "tree-key.bin" };
    DocumentFixture d;
    d.files = { spec };
    open(d);
    ASSERT_EQ(m_pdf.AttachmentCount(), 1);
    EXPECT_EQ(m_pdf.AttachmentText(1, nameTag), GetParam().expected);
    EXPECT_EQ(m_pdf.AttachmentText(1, static_cast<int>(AttachmentTag::Key)), "tree-key.bin");
}

INSTANTIATE_TEST_SUITE_P(Fixtures,
    NameDecoding,
    testing::Values(
        NameCase { "Utf16BigEndian", { { "/UF", fixtures::utf16be("π-Ω.txt") } }, "π-Ω.txt" },
        NameCase { "Utf16LittleEndian", { { "/UF", fixtures::utf16le("π.png") } }, "π.png" },
        NameCase { "Utf16Surrogates", { { "/UF", fixtures::utf16be("😀.txt") } }, "😀.txt" },
        NameCase { "Utf8WithBom", { { "/UF", fixtures::utf8WithBom("Grüße.txt") } }, "Grüße.txt" },
        NameCase { "RawUtf8InF", { { "/F", "Übersicht.pdf" } }, "Übersicht.pdf" },
        NameCase { "PdfDocEncodingInF", { { "/F", "caf\xE9 \x8Dq\x8E.txt" } }, "café “q”.txt" },
        NameCase { "UfBeforeF",
            { { "/UF", fixtures::utf16be("unicode.txt") }, { "/F", "plain.txt" } },
            "unicode.txt" },
        NameCase {
            "UnixWhenNoUfOrF", { { "/Unix", "unix.txt" }, { "/Mac", "mac.txt" } }, "unix.txt" },
        NameCase { "DosBeforeMac", { { "/DOS", "DOS.TXT" }, { "/Mac", "mac.txt" } }, "DOS.TXT" },
        NameCase { "KeyWhenNoName", {}, "tree-key.bin" },
        NameCase { "EmptyName", { { "/UF", "" }, { "/F", "f.txt" } }, "" },
        NameCase { "FolderParts", { { "/UF", "dir\\sub/file.txt" } }, "dir\\sub/file.txt" },
        NameCase { "Traversal", { { "/F", "../../evil.txt" } }, "../../evil.txt" },
        NameCase {
            "BrokenUtf16", { { "/UF", std::string("\xFE\xFF\xD8\x00\x00", 5) } }, "\xEF\xBF\xBD" }),
    [](const auto &row) { return row.param.label; });

TEST_F(PdfLibraryTest, GivesTheOtherTags)
{
    auto spec = file("report.xml", "<xml/>");
    spec.description = fixtures::utf16be("Rechnung März");
    spec.mimeType = "text/xml";
    spec.modDate = "D:20240501120000+02'00'";
    spec.size = 6;
    auto onPage = onPages(file("note.txt"), { 2 });
    DocumentFixture d;
    d.pages = 2;
    d.files = { spec, onPage };
    open(d);
    ASSERT_EQ(m_pdf.AttachmentCount(), 2);
    const auto text = [&](int index, AttachmentTag tag) {
        return m_pdf.AttachmentText(index, static_cast<int>(tag));
    };
    EXPECT_EQ(text(1, AttachmentTag::Description), "Rechnung März");
    EXPECT_EQ(text(1, AttachmentTag::MimeType), "text/xml");
    EXPECT_EQ(text(1, AttachmentTag::DeclaredSize), "6");
    EXPECT_EQ(text(1, AttachmentTag::ModDate), "2024-05-01T10:00:00Z");
    EXPECT_EQ(text(1, AttachmentTag::Page), "");
    EXPECT_EQ(text(1, AttachmentTag::Key), "report.xml");
    EXPECT_EQ(text(2, AttachmentTag::Page), "2");
    EXPECT_EQ(text(2, AttachmentTag::Key), "");
    EXPECT_EQ(text(2, AttachmentTag::DeclaredSize), "");
    EXPECT_EQ(text(2, AttachmentTag::ModDate), "");
    EXPECT_EQ(m_pdf.attachmentInfo(1).modTime, 1714557600);
    EXPECT_EQ(m_pdf.attachmentInfo(2).declaredSize, -1);
    // Out of range and unknown tags give the empty text.
    EXPECT_EQ(m_pdf.AttachmentText(0, nameTag), "");
    EXPECT_EQ(m_pdf.AttachmentText(3, nameTag), "");
    EXPECT_EQ(m_pdf.AttachmentText(1, 99), "");
    EXPECT_EQ(m_pdf.attachmentInfo(3).name, "");
}

TEST_F(PdfLibraryTest, WritesDecodedBytesAndModificationTime)
{
    std::string data;
    for (int i = 0; i < 100000; ++i)
        data += std::to_string(i) + ",";
    auto spec = file("numbers.csv", data);
    spec.modDate = "D:20200229235959Z";
    spec.size = static_cast<std::int64_t>(data.size());
    spec.checkSum = fixtures::md5Of(data);
    DocumentFixture d;
    d.files = { spec };
    open(d);
    const auto target = m_out.path() / "numbers.csv";
    {
        std::ofstream old(target);
        old << "replaced";
    }
    ASSERT_EQ(m_pdf.WriteAttachment(1, target.string()), written) << m_pdf.lastError();
    EXPECT_EQ(readFile(target), data);
    EXPECT_EQ(m_pdf.lastWrittenBytes(), data.size());
    EXPECT_EQ(m_pdf.lastError(), "");
    const auto mtime = std::chrono::file_clock::to_sys(std::filesystem::last_write_time(target));
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(mtime.time_since_epoch()).count(),
        1583020799);
    EXPECT_EQ(entriesIn(m_out.path()), 1u); // no temporary file left
}

TEST_F(PdfLibraryTest, InvalidModDateLeavesTheCurrentTime)
{
    auto spec = file("a.txt");
    spec.modDate = "D:20241399";
    DocumentFixture d;
    d.files = { spec };
    open(d);
    EXPECT_EQ(m_pdf.attachmentInfo(1).modTime, INT64_MIN);
    const auto target = m_out.file("a.txt");
    ASSERT_EQ(m_pdf.WriteAttachment(1, target), written);
    const auto age = std::chrono::file_clock::now() - std::filesystem::last_write_time(target);
    EXPECT_LT(std::chrono::abs(age), std::chrono::hours(1));
}

// /Params /ModDate (ISO 32000-1 7.9.4) as seconds since 1970 UTC, INT64_MIN when invalid.
struct DateCase {
    std::string label;
    std::string text;
    std::int64_t seconds;
};

class ModDate : public PdfLibraryTest, public testing::WithParamInterface<DateCase> { };

TEST_P(ModDate, IsReadAsUtc)
{
    auto spec = file("d.txt");
    spec.modDate = GetParam().text;
    DocumentFixture d;
    d.files = { spec };
    open(d);
    EXPECT_EQ(m_pdf.attachmentInfo(1).modTime, GetParam().seconds) << GetParam().text;
}

constexpr std::int64_t may1 = 1714557600; // 2024-05-01T10:00:00Z
INSTANTIATE_TEST_SUITE_P(Fixtures,
    ModDate,
    testing::Values(DateCase { "Utc", "D:20240501100000Z", may1 },
        DateCase { "AheadOfUtc", "D:20240501120000+02'00'", may1 },
        DateCase { "BehindUtc", "D:20240501053000-04'30'", may1 },
        DateCase { "NoClosingApostrophe", "D:20240501120000+02'00", may1 },
        DateCase { "OffsetHoursOnly", "D:20240501120000+02", may1 },
        DateCase { "NoOffset", "D:20240501100000", may1 },
        DateCase { "HoursOnly", "D:2024050110", may1 },
        DateCase { "YearOnly", "D:2024", 1704067200 },
        DateCase { "NoPrefix", "20240501100000Z", may1 },
        DateCase { "ZeroOffsetAfterZ", "D:20240501100000Z00'00'", may1 },
        DateCase { "LeapSecond", "D:20161231235960Z", 1483228800 },
        DateCase { "Month13", "D:20241399", INT64_MIN },
        DateCase { "Hour24", "D:20240501240000Z", INT64_MIN },
        DateCase { "OddDigits", "D:2024050", INT64_MIN },
        DateCase { "ShortYear", "D:24", INT64_MIN },
        DateCase { "UnknownOffsetSign", "D:20240501100000X", INT64_MIN },
        DateCase { "ShortOffset", "D:20240501100000+2", INT64_MIN },
        DateCase { "OffsetAfterZ", "D:20240501100000Z02'00'", INT64_MIN },
        DateCase { "TrailingText", "D:20240501120000+02'00'x", INT64_MIN },
        DateCase { "Empty", "", INT64_MIN }),
    [](const auto &row) { return row.param.label; });

// /Params /CheckSum and /Size against the decoded data, for data hashed inline and for data
// large enough to be hashed on the helper thread (several blocks, more than the sink holds at
// once, and a last block cut short).
enum class Declared { Right, Wrong, None };

struct ChecksumCase {
    std::string label;
    std::size_t dataSize;
    Declared size;
    Declared checksum;
    int status;
};

class Checksum : public PdfLibraryTest, public testing::WithParamInterface<ChecksumCase> { };

TEST_P(Checksum, IsVerifiedAndTheFileKept)
{
    const auto &param = GetParam();
    std::string data = "the attachment's content\n";
    for (std::uint32_t i = 0; data.size() < param.dataSize; ++i)
        data += std::to_string(i * 2654435761u) + (i % 7 == 0 ? "\n" : ",");
    data.resize(param.dataSize);
    auto spec = file("c.txt", data);
    if (param.size != Declared::None)
        spec.size
            = static_cast<std::int64_t>(data.size()) + (param.size == Declared::Right ? 0 : 1);
    if (param.checksum != Declared::None)
        spec.checkSum = fixtures::md5Of(param.checksum == Declared::Right ? data : data + "x");
    DocumentFixture d;
    d.files = { spec };
    open(d);
    EXPECT_EQ(m_pdf.attachmentInfo(1).hasDeclaredChecksum, param.checksum != Declared::None);
    const auto target = m_out.file("c.txt");
    EXPECT_EQ(m_pdf.WriteAttachment(1, target), param.status) << m_pdf.lastError();
    EXPECT_TRUE(readFile(target) == data); // kept whole even when it mismatches
    EXPECT_EQ(m_pdf.lastWrittenBytes(), data.size());
    if (param.status == written)
        EXPECT_EQ(m_pdf.lastError(), "");
    else
        EXPECT_EQ(m_pdf.lastError().rfind("checksum mismatch", 0), 0u) << m_pdf.lastError();
    EXPECT_EQ(entriesIn(m_out.path()), 1u);
}

constexpr int mismatch = static_cast<int>(WriteStatus::ChecksumMismatch);
constexpr std::size_t mib = 1024 * 1024;
INSTANTIATE_TEST_SUITE_P(Fixtures,
    Checksum,
    testing::Values(ChecksumCase { "BothRight", 25, Declared::Right, Declared::Right, written },
        ChecksumCase { "WrongSize", 25, Declared::Wrong, Declared::Right, mismatch },
        ChecksumCase { "WrongMd5", 25, Declared::Right, Declared::Wrong, mismatch },
        ChecksumCase { "BothWrong", 25, Declared::Wrong, Declared::Wrong, mismatch },
        ChecksumCase { "NoneDeclared", 25, Declared::None, Declared::None, written },
        ChecksumCase { "OnlySizeDeclaredWrong", 25, Declared::Wrong, Declared::None, mismatch },
        ChecksumCase { "EmptyData", 0, Declared::Right, Declared::Right, written },
        ChecksumCase { "JustInline", mib, Declared::None, Declared::Right, written },
        ChecksumCase { "JustThreaded", mib + 1, Declared::None, Declared::Right, written },
        ChecksumCase { "ManyBlocks", 9 * mib + 12345, Declared::Right, Declared::Right, written },
        ChecksumCase {
            "ManyBlocksWrongMd5", 9 * mib + 1, Declared::None, Declared::Wrong, mismatch },
        ChecksumCase {
            "ManyBlocksNoneDeclared", 9 * mib, Declared::None, Declared::None, written }),
    [](const auto &row) { return row.param.label; });

TEST_F(PdfLibraryTest, CorruptDataLeavesNoFileAndKeepsTheOldOne)
{
    auto spec = file("bad.bin");
    spec.corruptFlate = true;
    DocumentFixture d;
    d.files = { spec };
    open(d);
    const auto target = m_out.path() / "bad.bin";
    EXPECT_EQ(m_pdf.WriteAttachment(1, m_out.file("new.bin")),
        static_cast<int>(WriteStatus::DecodeFailed));
    EXPECT_FALSE(m_pdf.lastError().empty());
    EXPECT_EQ(entriesIn(m_out.path()), 0u);
    {
        std::ofstream old(target);
        old << "old content";
    }
    EXPECT_EQ(
        m_pdf.WriteAttachment(1, target.string()), static_cast<int>(WriteStatus::DecodeFailed));
    EXPECT_EQ(readFile(target), "old content");
    EXPECT_EQ(entriesIn(m_out.path()), 1u);
    EXPECT_EQ(m_pdf.lastWrittenBytes(), 0u);
}

TEST_F(PdfLibraryTest, RefusesIndicesOutOfRange)
{
    const int outOfRange = static_cast<int>(WriteStatus::IndexOutOfRange);
    EXPECT_EQ(m_pdf.WriteAttachment(1, m_out.file("x")), outOfRange); // nothing open yet
    DocumentFixture d;
    d.files = { file("only.txt") };
    open(d);
    EXPECT_EQ(m_pdf.WriteAttachment(0, m_out.file("x")), outOfRange);
    EXPECT_EQ(m_pdf.WriteAttachment(2, m_out.file("x")), outOfRange);
    EXPECT_EQ(m_pdf.WriteAttachment(-1, m_out.file("x")), outOfRange);
    EXPECT_EQ(entriesIn(m_out.path()), 0u);
}

TEST_F(PdfLibraryTest, ReportsTargetsThatCannotBeCreated)
{
    DocumentFixture d;
    d.files = { file("t.txt") };
    open(d);
    const int cannot = static_cast<int>(WriteStatus::CannotCreate);
    EXPECT_EQ(m_pdf.WriteAttachment(1, ""), cannot);
    EXPECT_EQ(m_pdf.WriteAttachment(1, m_out.path().string() + "/"), cannot);
    EXPECT_EQ(m_pdf.WriteAttachment(1, m_out.file("missing-folder/t.txt")), cannot);
    EXPECT_FALSE(m_pdf.lastError().empty());
    // A folder at the target stays a folder.
    std::filesystem::create_directory(m_out.path() / "folder");
    EXPECT_EQ(m_pdf.WriteAttachment(1, m_out.file("folder")), cannot);
    EXPECT_TRUE(std::filesystem::is_directory(m_out.path() / "folder"));
    EXPECT_EQ(entriesIn(m_out.path()), 1u);
#ifndef _WIN32
    if (geteuid() != 0) { // root writes anywhere
        const auto locked = m_out.path() / "locked";
        std::filesystem::create_directory(locked);
        std::filesystem::permissions(
            locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        EXPECT_EQ(m_pdf.WriteAttachment(1, (locked / "t.txt").string()), cannot);
        std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
    }
#endif
}

TEST_F(PdfLibraryTest, LongNamesStillGetATemporaryFile)
{
    DocumentFixture d;
    d.files = { file("t.txt") };
    open(d);
    std::string name;
    for (int i = 0; i < 80; ++i)
        name += "π"; // 160 bytes: the temporary name must be cut on a character boundary
    EXPECT_EQ(m_pdf.WriteAttachment(1, m_out.file(name)), written) << m_pdf.lastError();
    EXPECT_EQ(readFile(m_out.path() / name), "data");
}

TEST_F(PdfLibraryTest, ProgressCanAbandonAWrite)
{
    const std::string data(9 * 1024 * 1024, 'z');
    DocumentFixture d;
    d.files = { file("big.bin", data) };
    open(d);
    std::vector<std::uint64_t> reports;
    m_pdf.setWriteProgress([&](std::uint64_t bytes) {
        reports.push_back(bytes);
        return true;
    });
    ASSERT_EQ(m_pdf.WriteAttachment(1, m_out.file("big.bin")), written);
    EXPECT_EQ(reports.size(), 2u); // every 4 MiB
    EXPECT_EQ(std::filesystem::file_size(m_out.path() / "big.bin"), data.size());

    m_pdf.setWriteProgress([](std::uint64_t) { return false; });
    const auto target = m_out.path() / "kept.bin";
    {
        std::ofstream old(target);
        old << "before";
    }
    EXPECT_EQ(m_pdf.WriteAttachment(1, target.string()), static_cast<int>(WriteStatus::Abandoned));
    EXPECT_EQ(readFile(target), "before");
    EXPECT_EQ(entriesIn(m_out.path()), 2u);
}

TEST_F(PdfLibraryTest, AbandoningAHashedWriteStopsItsThread)
{
    const std::string data(9 * 1024 * 1024, 'h');
    auto spec = file("hashed.bin", data);
    spec.checkSum = fixtures::md5Of(data);
    DocumentFixture d;
    d.files = { spec };
    open(d);
    for (int stopAt : { 1, 2 }) { // mid-attachment, with blocks still queued for hashing
        int reports = 0;
        m_pdf.setWriteProgress([&](std::uint64_t) { return ++reports < stopAt; });
        EXPECT_EQ(m_pdf.WriteAttachment(1, m_out.file("hashed.bin")),
            static_cast<int>(WriteStatus::Abandoned));
        EXPECT_EQ(entriesIn(m_out.path()), 0u);
    }
    m_pdf.setWriteProgress({});
    EXPECT_EQ(m_pdf.WriteAttachment(1, m_out.file("hashed.bin")), written) << m_pdf.lastError();
    EXPECT_TRUE(readFile(m_out.path() / "hashed.bin") == data);
}

// Documents up to the memory limit are read whole, larger ones from the file: both ways must
// give the same results, for a repaired cross-reference table and encryption too.
TEST_F(PdfLibraryTest, OpensTheSameFromMemoryAndFromTheFile)
{
    DocumentFixture d;
    d.pages = 2;
    d.files = { file("a.txt", "alpha"), onPages(file("b.txt", std::string(5000, 'b')), { 2 }) };
    for (const bool brokenXref : { false, true }) {
        d.encryption = brokenXref ? fixtures::Encryption::None : fixtures::Encryption::Aes256;
        fixtures::writeDocument(m_pdfPath, d);
        if (brokenXref)
            fixtures::breakXref(m_pdfPath);
        const auto size = std::filesystem::file_size(m_pdfPath);
        for (const std::uint64_t limit : { std::uint64_t { 0 },
                 std::uint64_t { 100 },
                 std::uint64_t { size - 1 },
                 std::uint64_t { size },
                 PdfLibrary::defaultMemoryLimit }) {
            SCOPED_TRACE("limit " + std::to_string(limit) + (brokenXref ? ", broken xref" : ""));
            m_pdf.setMemoryLimit(limit);
            ASSERT_EQ(m_pdf.OpenDocument(m_pdfPath, ""), opened) << m_pdf.lastError();
            EXPECT_EQ(m_pdf.warnings().empty(), !brokenXref);
            EXPECT_EQ(names(m_pdf), (std::vector<std::string> { "a.txt", "b.txt" }));
            ASSERT_EQ(m_pdf.WriteAttachment(2, m_out.file("b.txt")), written);
            EXPECT_EQ(readFile(m_out.path() / "b.txt"), std::string(5000, 'b'));
        }
    }
    // A text file beyond the limit is still told from a damaged PDF by its first bytes.
    m_pdf.setMemoryLimit(10);
    writeText(m_folder, "Dear reader,\nthis is a letter, not a document.\n");
    EXPECT_EQ(
        m_pdf.OpenDocument(m_folder.file("input.pdf"), ""), static_cast<int>(OpenStatus::NotPdf));
}

// OpenDocument's statuses for documents that open and for those that do not.
TEST_F(PdfLibraryTest, OpensDocumentsEncryptedWithAnEmptyUserPassword)
{
    for (auto encryption :
        { fixtures::Encryption::Aes256, fixtures::Encryption::Aes128, fixtures::Encryption::Rc4 }) {
        SCOPED_TRACE(static_cast<int>(encryption));
        DocumentFixture d;
        d.files
            = { file("secret.txt", "decrypted content"), onPages(file("p.txt", "page"), { 1 }) };
        d.encryption = encryption;
        open(d);
        EXPECT_EQ(names(m_pdf), (std::vector<std::string> { "secret.txt", "p.txt" }));
        ASSERT_EQ(m_pdf.WriteAttachment(1, m_out.file("secret.txt")), written);
        EXPECT_EQ(readFile(m_out.path() / "secret.txt"), "decrypted content");
    }
}

TEST_F(PdfLibraryTest, NeedsTheUserPassword)
{
    DocumentFixture d;
    d.files = { file("secret.txt", "decrypted content") };
    d.encryption = fixtures::Encryption::Aes256;
    d.userPassword = "user";
    fixtures::writeDocument(m_pdfPath, d);
    // A document that was open is no longer current after a failed open.
    DocumentFixture plain;
    plain.files = { file("other.txt") };
    const auto plainPath = m_folder.file("plain.pdf");
    fixtures::writeDocument(plainPath, plain);
    ASSERT_EQ(m_pdf.OpenDocument(plainPath, ""), opened);

    EXPECT_EQ(m_pdf.OpenDocument(m_pdfPath, ""), static_cast<int>(OpenStatus::NeedsPassword));
    EXPECT_EQ(m_pdf.lastError(), "needs a password");
    EXPECT_EQ(m_pdf.AttachmentCount(), 0);
    EXPECT_EQ(m_pdf.currentPath(), "");
    EXPECT_EQ(m_pdf.AttachmentText(1, nameTag), "");
    EXPECT_EQ(
        m_pdf.WriteAttachment(1, m_out.file("x")), static_cast<int>(WriteStatus::IndexOutOfRange));
    EXPECT_EQ(m_pdf.OpenDocument(m_pdfPath, "wrong"), static_cast<int>(OpenStatus::NeedsPassword));
    ASSERT_EQ(m_pdf.OpenDocument(m_pdfPath, "user"), opened);
    EXPECT_EQ(m_pdf.lastError(), "");
    EXPECT_EQ(m_pdf.currentPath(), m_pdfPath);
    ASSERT_EQ(m_pdf.WriteAttachment(1, m_out.file("secret.txt")), written);
    EXPECT_EQ(readFile(m_out.path() / "secret.txt"), "decrypted content");
    // The owner password opens it too (ISO 32000-1 7.6.3.4).
    EXPECT_EQ(m_pdf.OpenDocument(m_pdfPath, "owner"), opened);
}

TEST_F(PdfLibraryTest, ReconstructsABrokenCrossReferenceTable)
{
    DocumentFixture d;
    d.pages = 2;
    d.files = { file("a.txt", "alpha"), onPages(file("b.txt", "beta"), { 2 }) };
    fixtures::writeDocument(m_pdfPath, d);
    fixtures::breakXref(m_pdfPath);
    ASSERT_EQ(m_pdf.OpenDocument(m_pdfPath, ""), opened) << m_pdf.lastError();
    EXPECT_FALSE(m_pdf.warnings().empty());
    EXPECT_EQ(names(m_pdf), (std::vector<std::string> { "a.txt", "b.txt" }));
    ASSERT_EQ(m_pdf.WriteAttachment(2, m_out.file("b.txt")), written);
    EXPECT_EQ(readFile(m_out.path() / "b.txt"), "beta");
}

struct FailedOpenCase {
    std::string label;
    std::function<std::string(const fixtures::ScratchFolder &)> makeFile; // returns the path
    OpenStatus status;
    std::string reasonStart;
};

class FailedOpen : public testing::TestWithParam<FailedOpenCase> { };

TEST_P(FailedOpen, GivesStatusAndReason)
{
    fixtures::ScratchFolder folder;
    const auto path = GetParam().makeFile(folder);
    PdfLibrary pdf;
    EXPECT_EQ(pdf.OpenDocument(path, ""), static_cast<int>(GetParam().status));
    EXPECT_EQ(pdf.lastError().rfind(GetParam().reasonStart, 0), 0u) << pdf.lastError();
    EXPECT_EQ(pdf.AttachmentCount(), 0);
    EXPECT_EQ(pdf.currentPath(), "");
}

std::string writeText(const fixtures::ScratchFolder &folder, const std::string &text)
{
    const auto path = folder.file("input.pdf");
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::string truncatedDocument(const fixtures::ScratchFolder &folder, std::uintmax_t size)
{
    const auto path = folder.file("input.pdf");
    DocumentFixture d;
    d.files = { file("a.txt") };
    fixtures::writeDocument(path, d);
    fixtures::truncateFile(path, size);
    return path;
}

INSTANTIATE_TEST_SUITE_P(Fixtures,
    FailedOpen,
    testing::Values(FailedOpenCase { "MissingFile",
                        [](const auto &f) { return f.file("nothing-here.pdf"); },
                        OpenStatus::FileUnreadable,
                        "cannot be read" },
        FailedOpenCase { "Folder",
            [](const auto &f) { return f.path().string(); },
            OpenStatus::FileUnreadable,
            "cannot be read" },
        FailedOpenCase { "EmptyFile",
            [](const auto &f) { return writeText(f, ""); },
            OpenStatus::NotPdf,
            "not a PDF document" },
        FailedOpenCase { "TextFile",
            [](const auto &f) { return writeText(f, "Dear reader,\nhello.\n"); },
            OpenStatus::NotPdf,
            "not a PDF document" },
        FailedOpenCase { "HeaderOnly",
            [](const auto &f) { return truncatedDocument(f, 15); },
            OpenStatus::Damaged,
            "damaged beyond repair: " }),
    [](const auto &row) { return row.param.label; });

#ifndef _WIN32
TEST_F(PdfLibraryTest, RefusesAPipeWithoutWaitingForAWriter)
{
    const auto path = m_folder.file("fifo.pdf");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(m_pdf.OpenDocument(path, ""), static_cast<int>(OpenStatus::FileUnreadable));
    EXPECT_EQ(m_pdf.lastError(), "cannot be read: not a regular file");
}
#endif

TEST_F(PdfLibraryTest, SurvivesEveryTruncation)
{
    DocumentFixture d;
    d.pages = 2;
    d.files = { file("a.txt", std::string(3000, 'a')), onPages(file("b.txt", "b"), { 2 }) };
    fixtures::writeDocument(m_pdfPath, d);
    const auto size = std::filesystem::file_size(m_pdfPath);
    const auto cut = m_folder.file("cut.pdf");
    for (std::uintmax_t length = 0; length < size; length += 97) {
        std::filesystem::copy_file(
            m_pdfPath, cut, std::filesystem::copy_options::overwrite_existing);
        fixtures::truncateFile(cut, length);
        const int status = m_pdf.OpenDocument(cut, "");
        if (status != opened) {
            EXPECT_FALSE(m_pdf.lastError().empty());
            continue;
        }
        for (int i = 1; i <= m_pdf.AttachmentCount(); ++i)
            m_pdf.WriteAttachment(i, m_out.file("out"));
    }
}

// Our bytes equal those of `qpdf --show-attachment=KEY` for name-tree attachments.
TEST_F(PdfLibraryTest, WritesTheSameBytesAsTheQpdfCommand)
{
#ifdef _WIN32
    GTEST_SKIP() << "uses the qpdf command through a POSIX shell";
#else
    if (std::system("qpdf --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "no qpdf command";
    DocumentFixture d;
    d.treeFanout = 2;
    std::string binary;
    for (int i = 0; i < 70000; ++i)
        binary.push_back(static_cast<char>((i * 7919) % 251));
    auto umlaut = file("n\xC3\xA4me.txt", "utf-8 name");
    umlaut.treeKeys = { "name-utf8.txt" }; // qpdf reads 8-bit keys as PDFDocEncoding
    // Sorted keys, so that qpdf's lookup in the name tree finds them.
    d.files = { file("binary.bin", binary),
        file("broken-xref.txt", "from a reconstructed table"),
        file("empty.dat", ""),
        umlaut,
        file("text.txt", "plain text\r\n") };
    for (auto encryption : { fixtures::Encryption::None, fixtures::Encryption::Aes256 }) {
        d.encryption = encryption;
        fixtures::writeDocument(m_pdfPath, d);
        if (encryption == fixtures::Encryption::None)
            fixtures::breakXref(m_pdfPath);
        ASSERT_EQ(m_pdf.OpenDocument(m_pdfPath, ""), opened);
        ASSERT_EQ(m_pdf.AttachmentCount(), static_cast<int>(d.files.size()));
        for (int i = 1; i <= m_pdf.AttachmentCount(); ++i) {
            const auto key = m_pdf.AttachmentText(i, static_cast<int>(AttachmentTag::Key));
            const auto ours = m_out.file("ours");
            const auto theirs = m_out.file("theirs");
            ASSERT_EQ(m_pdf.WriteAttachment(i, ours), written);
            const std::string command = "qpdf '--show-attachment=" + key + "' '" + m_pdfPath
                + "' > '" + theirs + "' 2> /dev/null";
            const int exit = std::system(command.c_str());
            EXPECT_TRUE(exit == 0 || WEXITSTATUS(exit) == 3) << command; // 3: warnings
            EXPECT_EQ(fixtures::sha256OfFile(ours), fixtures::sha256OfFile(theirs)) << key;
            EXPECT_EQ(readFile(ours), d.files[static_cast<std::size_t>(i - 1)].data) << key;
        }
    }
#endif
}

} // namespace
} // namespace quenlith
