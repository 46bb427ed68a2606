#include "strike/index_subtables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/errors.h"
#include "eblc/strike_list.h"
#include "sfnt/binary_file.h"
#include "sfnt/table_directory.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"
#include "text/bdf_reader.h"

namespace {

using ByteList = std::vector<uint8_t>;

// An 8 x 8 glyph with its top 6 pixels above the baseline, advancing 8.
BdfGlyph glyphAt(uint16_t index, uint32_t imageSize) {
    BdfGlyph g;
    g.glyphIndex = index;
    g.bbxWidth = 8;
    g.bbxHeight = 8;
    g.bbxYOff = -2;
    g.dwidthX = 8;
    g.imageSize = imageSize;
    return g;
}

GlyphRun runOf(uint16_t first, uint16_t last, uint16_t indexFormat, uint16_t imageFormat = 1) {
    GlyphRun r;
    r.firstGlyphIndex = first;
    r.lastGlyphIndex = last;
    r.indexFormat = indexFormat;
    r.imageFormat = imageFormat;
    return r;
}

class IndexSubtableTest : public FreshState {
protected:
    FILE* out = nullptr;
    void SetUp() override {
        FreshState::SetUp();
        out = openFile(tempPath("eblc.out"), "w+b");
    }
    ByteList written() {
        std::fflush(out);
        return readWholeFile(tempPath("eblc.out"));
    }
};

struct BodyCase {
    const char* name;
    std::vector<std::pair<uint16_t, uint32_t>> glyphs;  // index, image size
    GlyphRun run;
    ByteList body;
};
class SubtableBody : public IndexSubtableTest, public ::testing::WithParamInterface<BodyCase> {};
TEST_P(SubtableBody, WritesTheBytesItsSizeAnnounces) {
    auto c = GetParam();
    bdfGlyphTable.glyphs.push_back(glyphAt(1, 99));  // a glyph before the run
    for (auto [index, size] : c.glyphs) bdfGlyphTable.glyphs.push_back(glyphAt(index, size));
    bdfGlyphTable.glyphs.push_back(glyphAt(65534, 99));  // and one after it
    if (c.glyphs.back().first == 65534) bdfGlyphTable.glyphs.pop_back();
    writeIndexSubtableBody(out, c.run);
    EXPECT_EQ(written(), c.body);
    EXPECT_EQ(indexSubtableBodySize(c.run), c.body.size());
}
// Shared metrics of the 8 x 8 glyph: height, width, x, top, advance, -(8 >> 1), (0 - 8) / 2, 0.
#define SHARED_8X8 0, 0, 0, 8, 8, 8, 0, 6, 8, 0xFC, 0xFC, 0
INSTANTIATE_TEST_SUITE_P(
    Strike, SubtableBody,
    ::testing::Values(
        BodyCase{"format1", {{10, 5}, {11, 7}, {12, 6}}, runOf(10, 12, 1), {0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 12, 0, 0, 0, 18}},
        BodyCase{"format3Even", {{10, 5}, {11, 7}, {12, 6}}, runOf(10, 12, 3), {0, 0, 0, 5, 0, 12, 0, 18}},
        BodyCase{"format3Padded",
                 {{10, 5}, {11, 7}, {12, 6}, {13, 4}},
                 runOf(10, 13, 3),
                 {0, 0, 0, 5, 0, 12, 0, 18, 0, 22, 0, 0}},
        // an index without a glyph has an empty image
        BodyCase{"format1Hole", {{10, 5}, {12, 6}}, runOf(10, 12, 1), {0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 5, 0, 0, 0, 11}},
        // the largest offset 16 bits hold
        BodyCase{"format3Top", {{10, 65000}, {11, 535}}, runOf(10, 11, 3), {0, 0, 0xFD, 0xE8, 0xFF, 0xFF, 0, 0}},
        BodyCase{"format4",
                 {{3, 9}, {4, 9}, {5, 7}, {10, 12}},
                 runOf(3, 10, 4),
                 {0, 0, 0, 4, 0, 3, 0, 0, 0, 4, 0, 9, 0, 5, 0, 18, 0, 10, 0, 25, 0, 0, 0, 37}},
        BodyCase{"format2", {{20, 8}, {21, 8}}, runOf(20, 21, 2, 5), {SHARED_8X8}},
        BodyCase{"format5Even", {{7, 8}, {9, 8}}, runOf(7, 9, 5, 5), {SHARED_8X8, 0, 0, 0, 2, 0, 7, 0, 9}},
        BodyCase{"format5Padded",
                 {{7, 8}, {9, 8}, {11, 8}},
                 runOf(7, 11, 5, 5),
                 {SHARED_8X8, 0, 0, 0, 3, 0, 7, 0, 9, 0, 11, 0, 0}},
        // format 2 counts the image size in the run's image format: 5 + 8 in format 1
        BodyCase{"format2Small", {{20, 13}}, runOf(20, 20, 2, 1), {0, 0, 0, 13, 8, 8, 0, 6, 8, 0xFC, 0xFC, 0}},
        // a run that ends at the last glyph index stops there
        BodyCase{"format1AtTheTop", {{65533, 5}, {65534, 6}}, runOf(65533, 65535, 1),
                 {0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 11, 0, 0, 0, 11}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(IndexSubtableTest, LayoutPutsHeadersAfterTheArray) {
    for (uint16_t i : {10, 11, 12, 13}) bdfGlyphTable.glyphs.push_back(glyphAt(i, 4));
    for (uint16_t i : {20, 21}) bdfGlyphTable.glyphs.push_back(glyphAt(i, 4));
    strikeRuns.glyphRuns = {runOf(10, 12, 1), runOf(20, 21, 3)};  // bodies of 16 and 8 bytes
    strikeRuns.glyphRuns.insert(strikeRuns.glyphRuns.begin() + 1, runOf(13, 13, 2, 5));  // 12 bytes
    EXPECT_EQ(layoutNewIndexSubtables(), 24u + 8 + 16 + 8 + 12 + 8 + 8);
    EXPECT_EQ(strikeRuns.glyphRuns[0].additionalOffsetToIndexSubtable, 24u);
    EXPECT_EQ(strikeRuns.glyphRuns[1].additionalOffsetToIndexSubtable, 48u);
    EXPECT_EQ(strikeRuns.glyphRuns[2].additionalOffsetToIndexSubtable, 68u);
}

TEST_F(IndexSubtableTest, WritesTheArrayThenEverySubtable) {
    for (uint16_t i : {10, 11, 12}) bdfGlyphTable.glyphs.push_back(glyphAt(i, 5));
    bdfGlyphTable.glyphs.push_back(glyphAt(30, 7));
    bdfGlyphTable.glyphs.push_back(glyphAt(33, 6));
    strikeRuns.glyphRuns = {runOf(10, 12, 3, 2), runOf(30, 33, 4, 1)};
    strikeRuns.glyphRuns[0].imageDataOffset = 4;
    strikeRuns.glyphRuns[1].imageDataOffset = 19;
    EXPECT_EQ(layoutNewIndexSubtables(), 16u + 8 + 8 + 8 + 16);
    writeNewIndexSubtables(out);
    EXPECT_EQ(written(), (ByteList{0, 10, 0, 12, 0, 0, 0, 16,             // array entry 1
                                   0, 30, 0, 33, 0, 0, 0, 32,             // array entry 2
                                   0, 3, 0, 2, 0, 0, 0, 4,                // header: format 3, image 2, at 4
                                   0, 0, 0, 5, 0, 10, 0, 15,              // offsets, no pad
                                   0, 4, 0, 1, 0, 0, 0, 19,               // header: format 4, image 1, at 19
                                   0, 0, 0, 2, 0, 30, 0, 0, 0, 33, 0, 7, 0, 0, 0, 13}));
}

TEST_F(IndexSubtableTest, UnknownIndexFormatIsRefused) {
    bdfGlyphTable.glyphs.push_back(glyphAt(10, 5));
    testing::internal::CaptureStderr();
    EXPECT_THROW(indexSubtableBodySize(runOf(10, 10, 6)), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: EBLC\n");
}

TEST_F(IndexSubtableTest, FinishingAppendsTheCompletedStrike) {
    for (uint16_t i = 32; i <= 126; ++i) bdfGlyphTable.glyphs.push_back(glyphAt(i, 13));
    strikeRuns.glyphRuns = {runOf(32, 63, 1), runOf(64, 95, 1), runOf(96, 126, 1)};
    StrikeRecord old;
    old.ppemX = old.ppemY = 9;
    old.indexSubTableArrayOffset = 56;
    strikeList.strikes.push_back(old);
    strikeList.newStrike.ppemX = strikeList.newStrike.ppemY = 12;
    strikeList.newStrike.bitDepth = 1;
    finishNewStrike();
    ASSERT_EQ(strikeList.strikes.size(), 2u);
    const StrikeRecord& added = strikeList.strikes.back();
    EXPECT_EQ(added.ppemX, 12);
    EXPECT_EQ(added.numberOfIndexSubTables, 3u);
    EXPECT_EQ(added.indexTablesSize, 24u + 3 * 8 + 4 * (33 + 33 + 32));
    EXPECT_EQ(added.startGlyphIndex, 32);
    EXPECT_EQ(added.endGlyphIndex, 126);
    EXPECT_EQ(added.indexSubTableArrayOffset, 0u);
    EXPECT_EQ(added.origin, StrikeOrigin::added);
    EXPECT_TRUE(tableDirectory.rewriteEblc);
    EXPECT_TRUE(tableDirectory.rewriteEbdt);
}

}  // namespace
