// The listing's walks over documents written object by object: platform variants of /EF, pages
// sharing their resources, walks cut at a bound, and the stop signal.
#include "extract/pdf/AttachmentWriter.h"
#include "extract/pdf/Document.h"
#include "tests/support/FileContents.h"
#include "tests/support/OpenedDocument.h"
#include "tests/support/PdfFixtures.h"
#include "tests/support/ScratchFolder.h"

#include <atomic>
#include <fstream>
#include <gtest/gtest.h>

namespace quenlith {
namespace {

std::string ref(std::size_t object)
{
    return std::to_string(object) + " 0 R";
}

// An embedded file stream declaring its own size.
std::string embedded(const std::string &data)
{
    const std::string size = std::to_string(data.size());
    return "<< /Type /EmbeddedFile /Length " + size + " /Params << /Size " + size
        + " >> >>\nstream\n" + data + "\nendstream";
}

std::string form(const std::string &extra)
{
    return "<< /Type /XObject /Subtype /Form /BBox [0 0 1 1] /Length 0" + extra
        + " >>\nstream\n\nendstream";
}

// "name:origin:afOwner" of each listed attachment, then "| name" of each unlisted one.
std::string summary(const Document &document)
{
    std::string text;
    for (const Attachment &listed : document.attachments())
        text += listed.name + ":" + originWord(listed.origin) + ":" + listed.afOwner + " ";
    for (const Attachment &hidden : document.unlisted())
        text += "| " + hidden.name + " ";
    return text;
}

class ListingTest : public testing::Test {
protected:
    Document open(const std::vector<std::string> &objects, const OpenLimits &limits = {})
    {
        std::ofstream(m_path, std::ios::binary) << fixtures::objectsPdf(objects);
        return fixtures::openDocument(m_path, {}, limits);
    }

    fixtures::ScratchFolder m_folder;
    const std::string m_path = m_folder.file("listing.pdf");
};

// Each stream of /EF is a file of its own, named by its platform's entry first and checked
// against its own /Params; a stream under two keys counts once.
TEST_F(ListingTest, ListsPlatformVariantsOfOneSpecification)
{
    struct Row {
        const char *name;
        std::string ef; // keys of /EF to objects 4 ("generic"), 5 ("unix"), 6 ("dos"), 7 ("mac")
        std::string names; // the specification's name entries
        std::string expected; // name=data@platform of each attachment
    } rows[] = {
        { "every platform",
            "/F 4 0 R /Mac 7 0 R /DOS 6 0 R /Unix 5 0 R",
            "/F (a.txt) /Unix (a.unix) /DOS (A.DOS) /Mac (a-mac)",
            "a.txt=generic@ a.unix=unix@Unix A.DOS=dos@DOS a-mac=mac@Mac " },
        { "/F and /UF one stream", "/F 4 0 R /UF 4 0 R", "/F (f) /UF (uf)", "uf=generic@ " },
        { "a variant without its own name",
            "/F 4 0 R /Mac 7 0 R",
            "/F (n.txt)",
            "n.txt=generic@ n.txt=mac@Mac " },
        { "only a variant", "/DOS 6 0 R", "/UF (u) /DOS (d)", "d=dos@ " },
        { "a variant that is the file's stream", "/F 4 0 R /Unix 4 0 R", "/F (f)", "f=generic@ " },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const Document document
            = open({ "<< /Type /Catalog /Pages 2 0 R /Names << /EmbeddedFiles << "
                     "/Names [(key) 3 0 R] >> >> >>",
                "<< /Type /Pages /Kids [] /Count 0 >>",
                "<< /Type /Filespec " + row.names + " /EF << " + row.ef + " >> >>",
                embedded("generic"),
                embedded("unix"),
                embedded("dos"),
                embedded("mac") });
        std::string found;
        for (const Attachment &listed : document.attachments()) {
            const std::string out = m_folder.file("out");
            const WriteResult written = fixtures::writeAttachment(document, listed.position, out);
            EXPECT_EQ(written.status, WriteStatus::Written) << written.reason;
            found += listed.name + "=" + fixtures::readFile(out) + "@" + listed.platform + " ";
            std::filesystem::remove(out);
        }
        EXPECT_EQ(found, row.expected);
        // The streams that /EF leaves out are unlisted, each stream once.
        EXPECT_EQ(document.attachments().size() + document.unlisted().size(), 4u);
    }
}

// Pages that share one /Resources of many forms: each form is searched once, for the first page
// that reaches it; a page of its own resources names its own forms.
TEST_F(ListingTest, SearchesSharedResourcesOnceForTheFirstPage)
{
    constexpr std::size_t pages = 2000;
    constexpr std::size_t forms = 200;
    // 1 catalog, 2 pages, 3 spec a, 4 its stream, 5 spec b, 6 its stream, 7 shared resources,
    // 8 own resources, then the forms, then the pages.
    std::vector<std::string> objects { "<< /Type /Catalog /Pages 2 0 R >>",
        "",
        "<< /Type /Filespec /F (a.txt) /EF << /F 4 0 R >> >>",
        embedded("a"),
        "<< /Type /Filespec /F (b.txt) /EF << /F 6 0 R >> >>",
        embedded("b"),
        "",
        "" };
    std::string xobjects;
    for (std::size_t i = 0; i < forms; ++i) {
        objects.push_back(form(i == forms - 1 ? " /AF [3 0 R]" : ""));
        xobjects += " /X" + std::to_string(i) + " " + ref(objects.size());
    }
    objects[6] = "<< /XObject <<" + xobjects + " >> >>";
    objects.push_back(form(" /AF [5 0 R] /Resources 7 0 R"));
    objects[7] = "<< /XObject << /Own " + ref(objects.size()) + " >> >>";
    std::string kids;
    for (std::size_t page = 1; page <= pages; ++page) {
        const char *resources = page == pages ? "8 0 R" : "7 0 R";
        objects.push_back(
            std::string("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 1 1] /Resources ") + resources
            + " >>");
        kids += " " + ref(objects.size());
    }
    objects[1] = "<< /Type /Pages /Count " + std::to_string(pages) + " /Kids [" + kids + " ] >>";
    const Document document = open(objects);
    EXPECT_EQ(summary(document),
        "a.txt:af:xobject on page 1 b.txt:af:xobject on page " + std::to_string(pages) + " ");
    EXPECT_TRUE(document.listingComplete());
}

// Associated files that the walks do not reach for their bounds are found among all objects,
// with a warning; the listing is complete then.
TEST_F(ListingTest, FindsAssociatedFilesPastTheWalksBounds)
{
    constexpr int nesting = 20; // forms inside forms, past the walk's 16
    // 1 catalog, 2 pages, 3 page, 4 spec, 5 stream, then the forms, each inside the one before.
    std::vector<std::string> objects { "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Count 1 /Kids [3 0 R] >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 1 1] /Resources << /XObject << /X 6 0 R >> "
        ">> >>",
        "<< /Type /Filespec /F (deep.txt) /EF << /F 5 0 R >> >>",
        embedded("deep") };
    for (int level = 1; level <= nesting; ++level)
        objects.push_back(level == nesting
                ? form(" /AF [4 0 R]")
                : form(" /Resources << /XObject << /X " + ref(objects.size() + 2) + " >> >>"));
    for (const std::size_t memoryLimit : { OpenLimits::defaultMemoryLimit, std::size_t { 0 } }) {
        SCOPED_TRACE(memoryLimit == 0 ? "read as needed" : "read whole");
        OpenLimits limits;
        limits.memoryLimit = memoryLimit;
        const Document document = open(objects, limits);
        EXPECT_EQ(summary(document), "deep.txt:af:xobject ");
        EXPECT_TRUE(document.listingComplete());
        const auto warnings = document.warnings();
        ASSERT_FALSE(warnings.empty());
        EXPECT_NE(warnings.back().find("search bounds"), std::string::npos) << warnings.back();
    }
}

// A stop signal set before opening fails the open as stopped, also where qpdf reads alone; set
// after it, the search for unlisted files ends early and leaves the listing incomplete.
TEST_F(ListingTest, StopsWhenAsked)
{
    std::atomic<bool> stop { true };
    OpenLimits limits;
    limits.stop = &stop;
    const std::vector<std::string> objects { "<< /Type /Catalog /Pages 2 0 R /Hidden 3 0 R >>",
        "<< /Type /Pages /Kids [] /Count 0 >>",
        "<< /Type /Filespec /F (hidden.txt) /EF << /F 4 0 R >> >>",
        embedded("hidden") };
    // qpdf's own reads stop too: a document it cannot read at all, from memory and from disk.
    for (const std::uint64_t memoryLimit :
        { OpenLimits::defaultMemoryLimit, std::uint64_t { 0 } }) {
        limits.memoryLimit = memoryLimit;
        for (const bool readable : { true, false }) {
            if (readable)
                std::ofstream(m_path, std::ios::binary) << fixtures::objectsPdf(objects);
            else
                std::ofstream(m_path, std::ios::binary) << "%PDF-1.7\n" << std::string(4096, '#');
            const auto stopped = Document::open(m_path, {}, limits);
            ASSERT_TRUE(std::holds_alternative<OpenFailure>(stopped));
            EXPECT_EQ(std::get<OpenFailure>(stopped).reason, OpenFailure::Reason::Stopped);
        }
    }
    limits.memoryLimit = OpenLimits::defaultMemoryLimit;

    stop = false;
    for (const bool stopLater : { false, true }) {
        const Document document = open(objects, limits);
        stop = stopLater;
        EXPECT_EQ(document.unlisted().size(), stopLater ? 0u : 1u);
        EXPECT_EQ(document.listingComplete(), !stopLater);
    }
}

} // namespace
} // namespace quenlith
