#include "extract/pdf/QpdfIsalInflate.h"

#include "tests/support/PdfFixtures.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using quenlith::QpdfIsalInflate;
namespace fixtures = quenlith::fixtures;

namespace {

// Collects what the inflater passes on, and the largest piece it got at once.
class Collector : public Pipeline {
public:
    Collector()
        : Pipeline("collector", nullptr)
    {
    }
    void write(unsigned char const *data, size_t len) override
    {
        bytes.append(reinterpret_cast<const char *>(data), len);
        largestPiece = std::max(largestPiece, len);
    }
    void finish() override
    {
        finished = true;
    }

    std::string bytes;
    std::size_t largestPiece = 0;
    bool finished = false;
};

struct Outcome {
    bool threw = false;
    bool rejected = false;
    std::string output;
    std::size_t largestPiece = 0;
    bool finished = false;
};

// Feeds `stored` in pieces of `piece` bytes (0: all at once), then finishes.
Outcome inflate(const std::string &stored, std::size_t piece)
{
    Collector collector;
    QpdfIsalInflate inflater(&collector);
    Outcome outcome;
    try {
        const auto *data = reinterpret_cast<const unsigned char *>(stored.data());
        const std::size_t step = piece == 0 ? std::max<std::size_t>(stored.size(), 1) : piece;
        for (std::size_t at = 0; at < stored.size(); at += step)
            inflater.write(data + at, std::min(step, stored.size() - at));
        inflater.finish();
    } catch (std::exception &) {
        outcome.threw = true;
    }
    outcome.rejected = inflater.rejected();
    outcome.output = collector.bytes;
    outcome.largestPiece = collector.largestPiece;
    outcome.finished = collector.finished;
    return outcome;
}

} // namespace

// A clean zlib stream comes out byte for byte however it is fed; every other stream is refused
// (so that qpdf's own decoder decides about it), never passed on as if complete.
TEST(QpdfIsalInflate, AcceptsOnlyCleanZlibStreams)
{
    const std::size_t block = QpdfIsalInflate::outputSize;
    std::string text;
    for (int i = 0; text.size() < 100000; ++i)
        text += "row " + std::to_string(i * 7919 % 1000) + "\n";
    const std::string deflated = fixtures::deflate(text);
    std::string badChecksum = deflated;
    badChecksum.back() = static_cast<char>(badChecksum.back() ^ 1);
    // FDICT set in the header (0x78 0xBB is a valid header with it), then a dictionary id.
    const std::string presetDictionary = std::string("\x78\xbb\0\0\0\1", 6) + deflated.substr(2);
    struct Row {
        const char *what;
        std::string stored;
        std::string expected; // what comes out; empty with `accepted` false
        bool accepted;
    };
    const std::vector<Row> rows = {
        { "text", deflated, text, true },
        { "empty content", std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8), "", true },
        { "exactly one output block",
            fixtures::deflate(std::string(block, 'a')),
            std::string(block, 'a'),
            true },
        { "noise over several blocks",
            fixtures::deflate(fixtures::noise(3 * block + 1)),
            fixtures::noise(3 * block + 1),
            true },
        { "end-of-line counted in /Length", deflated + "\r\n", text, true },
        { "data after the end", deflated + "\r\nmore", "", false },
        { "truncated", deflated.substr(0, deflated.size() / 2), "", false },
        { "without its checksum", deflated.substr(0, deflated.size() - 4), "", false },
        { "wrong checksum", badChecksum, "", false },
        { "raw deflate without a zlib header", deflated.substr(2, deflated.size() - 6), "", false },
        { "preset dictionary", presetDictionary, "", false },
        { "no data", "", "", false },
        { "not deflate at all", "plain text, never compressed", "", false },
    };
    for (const auto &row : rows) {
        for (const std::size_t piece :
            { std::size_t { 0 }, std::size_t { 1 }, std::size_t { 4093 } }) {
            if (piece == 1 && row.stored.size() > 200000)
                continue; // byte by byte is slow through the whole noise stream
            SCOPED_TRACE(std::string(row.what) + ", pieces of " + std::to_string(piece));
            const Outcome outcome = inflate(row.stored, piece);
            EXPECT_EQ(outcome.rejected, !row.accepted);
            EXPECT_EQ(outcome.threw, !row.accepted);
            EXPECT_EQ(outcome.finished, row.accepted);
            if (row.accepted) {
                EXPECT_TRUE(outcome.output == row.expected);
            }
            EXPECT_LE(outcome.largestPiece, block);
        }
    }
}
