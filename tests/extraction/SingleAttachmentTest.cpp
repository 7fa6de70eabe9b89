#include "extract/SingleAttachment.h"

#include "extract/pdf/Document.h"
#include "tests/support/FileContents.h"
#include "tests/support/PdfFixtures.h"
#include "tests/support/ScratchFolder.h"

#include <fstream>
#include <gtest/gtest.h>
#include <variant>

namespace quenlith {
namespace {

namespace fs = std::filesystem;

// One attachment written on its own: its name, a file in the way, and what is refused.
TEST(SingleAttachmentTest, TargetsAndRefusals)
{
    const fixtures::ScratchFolder scratch;
    fixtures::writePdf(scratch.file("in.pdf"), { { "../a.txt", "new" } });
    const Document document = std::get<Document>(Document::open(scratch.file("in.pdf"), ""));
    const auto K = ExistingFiles::Keep;
    const auto O = ExistingFiles::Overwrite;
    using S = WriteStatus;
    using P = Placement;
    const struct {
        const char *what;
        int position;
        std::string name; // the target's, in the row's own folder
        ExistingFiles existing;
        const char *before; // the bytes of a file at the target's name first; null: none
        S status;
        P placement;
        const char *written; // the file expected to hold the data
    } rows[] = {
        { "safe name", 1, "", K, nullptr, S::Written, P::Created, "a.txt" },
        { "other bytes kept", 1, "", K, "old", S::Written, P::Alternative, "a (2).txt" },
        { "replaced", 1, "b.bin", O, "old", S::Written, P::Overwritten, "b.bin" },
        { "not a file name", 1, "../c.txt", K, nullptr, S::CannotCreate, P::None, nullptr },
        { "no attachment", 2, "", K, nullptr, S::DecodeFailed, P::None, nullptr },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        const fs::path folder = scratch.path() / row.what;
        fs::create_directory(folder);
        const fs::path named = folder / (row.name.empty() ? "a.txt" : row.name);
        if (row.before != nullptr)
            std::ofstream(named) << row.before;
        const WriteResult result = writeSingleAttachment(
            document, row.position, { folder.string(), row.name, row.existing });
        EXPECT_EQ(result.status, row.status) << result.reason;
        EXPECT_EQ(result.placement, row.placement);
        EXPECT_EQ(fixtures::readFile(folder / (row.written ? row.written : "none")),
            row.written ? "new" : "");
        if (row.before != nullptr && row.placement != Placement::Overwritten) {
            EXPECT_EQ(fixtures::readFile(named), row.before);
        }
    }
}

} // namespace
} // namespace quenlith
