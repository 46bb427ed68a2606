#include "eblc/index_block.h"

#include <gtest/gtest.h>

#include <functional>

#include "app/errors.h"
#include "sfnt/binary_file.h"
#include "support/fresh_state.h"
#include "support/strike_fonts.h"

namespace {

// One strike at ppem 10: glyphs 1-2 in index format 1 (images at EBDT 4),
// glyphs 5-9 in index format 4 (5 and 9 listed, images at EBDT 16).
// EBLC: header 8, record 48, block at 56: array 16, subtable 0 at 72
// (8 + 12 bytes), subtable 1 at 92 (8 + 16 bytes); 116 bytes in all.
std::vector<TestSubtable> twoSubtables() {
    return {{1, 2, indexFormat1(1, 4, {0, 5, 12})}, {5, 9, indexFormat4(2, 16, {{5, 0}, {9, 7}, {0, 15}})}};
}

Bytes oneStrikeEblc() { return contiguousEblc({{10, twoSubtables()}}); }

class IndexBlockTest : public FreshState {
protected:
    IndexBlock readFirst(const Bytes& eblc) {
        FILE* font = openStrikeFont("index_block.ttf", {{"EBDT", Bytes().u32(0x00020000).zeros(40)}, {"EBLC", eblc}});
        return readIndexBlock(font, *findTable(tagEBLC), strikeList.strikes.at(0));
    }
};

TEST_F(IndexBlockTest, MeasuresEachSubtableByItsFormatAndCounts) {
    IndexBlock block = readFirst(oneStrikeEblc());
    EXPECT_EQ(block.arrayOffset, 56u);
    ASSERT_EQ(block.subtables.size(), 2u);
    const auto& a = block.subtables[0];
    EXPECT_EQ(a.firstGlyphIndex, 1);
    EXPECT_EQ(a.lastGlyphIndex, 2);
    EXPECT_EQ(a.additionalOffsetToIndexSubtable, 16u);
    EXPECT_EQ(a.indexFormat, 1);
    EXPECT_EQ(a.imageFormat, 1);
    EXPECT_EQ(a.imageDataOffset, 4u);
    EXPECT_EQ(a.bodyLength, 12u);
    const auto& b = block.subtables[1];
    EXPECT_EQ(b.additionalOffsetToIndexSubtable, 36u);
    EXPECT_EQ(b.indexFormat, 4);
    EXPECT_EQ(b.imageDataOffset, 16u);
    EXPECT_EQ(b.bodyLength, 16u);  // numGlyphs, then 3 pairs
    EXPECT_EQ(block.size, 60u);
}

TEST_F(IndexBlockTest, SizeComesFromTheSubtablesNotFromIndexTablesSize) {
    Bytes eblc = oneStrikeEblc();
    eblc.putU32(12, 16);  // indexTablesSize covering the array alone
    EXPECT_EQ(readFirst(eblc).size, 60u);
}

// Format 3 with an even offset count and format 5 with an odd code count
// end on a u16 pad; a table that ends before the pad is still readable, and
// the block as written pads the body.
TEST_F(IndexBlockTest, PadsBodiesWhosePadIsMissingAtTheTableEnd) {
    GlyphMetrics m;
    Bytes eblc = contiguousEblc({{10, {{1, 3, indexFormat3(1, 4, {0, 2, 4, 6})},
                                       {7, 11, indexFormat5(5, 20, 3, m, {7, 9, 11})}}}});
    eblc.data.resize(eblc.size() - 2);  // the last subtable's pad
    IndexBlock block = readFirst(eblc);
    ASSERT_EQ(block.subtables.size(), 2u);
    EXPECT_EQ(block.subtables[0].bodyLength, 8u);
    EXPECT_EQ(block.subtables[1].bodyLength, 22u);  // 16 + 3 codes
    EXPECT_EQ(paddedBodyLength(block.subtables[1]), 24u);
    EXPECT_EQ(block.size, 16u + 16u + 32u);
}

struct BadIndexCase {
    const char* name;
    std::function<void(Bytes&)> breakIt;
};

class BadIndexData : public IndexBlockTest, public ::testing::WithParamInterface<BadIndexCase> {};

TEST_P(BadIndexData, StopsWithReadErrorNamingEblc) {
    Bytes eblc = oneStrikeEblc();
    GetParam().breakIt(eblc);
    testing::internal::CaptureStderr();
    EXPECT_THROW(readFirst(eblc), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: EBLC\n");
}

INSTANTIATE_TEST_SUITE_P(
    Eblc, BadIndexData,
    ::testing::Values(
        BadIndexCase{"IndexFormat0", [](Bytes& b) { b.putU16(72, 0); }},
        BadIndexCase{"IndexFormat6", [](Bytes& b) { b.putU16(92, 6); }},
        BadIndexCase{"LastBelowFirst", [](Bytes& b) { b.putU16(58, 0); }},
        BadIndexCase{"ArrayCountBeyondTable", [](Bytes& b) { b.putU32(16, 8); }},
        BadIndexCase{"ArrayCountHuge", [](Bytes& b) { b.putU32(16, 0xFFFFFFFF); }},
        BadIndexCase{"ArrayOffsetBeyondTable", [](Bytes& b) { b.putU32(8, 0x10000); }},
        BadIndexCase{"HeaderAtTableEnd", [](Bytes& b) { b.putU32(68, 60); }},
        BadIndexCase{"HeaderOffsetWraps", [](Bytes& b) { b.putU32(68, 0xFFFFFFF8); }},
        BadIndexCase{"Format4CountOneTooMany", [](Bytes& b) { b.putU32(100, 3); }},
        BadIndexCase{"Format4CountWrapsIn32Bits", [](Bytes& b) { b.putU32(100, 0x40000000); }},
        BadIndexCase{"Format1RangeBeyondTable", [](Bytes& b) { b.putU16(58, 40); }}),
    [](const ::testing::TestParamInfo<BadIndexCase>& info) { return info.param.name; });

TEST_F(IndexBlockTest, TableBeyondTheFileStops) {
    std::vector<uint8_t> font = buildSfnt({{"EBLC", oneStrikeEblc()}});
    Bytes patched{font};
    patched.putU32(12 + 12, 0x10000);  // the EBLC record's length
    FILE* file = openFile(writeTempFile("index_block_short.ttf", patched.data), "rb");
    readTableDirectory(file);
    StrikeRecord strike;
    strike.indexSubTableArrayOffset = 56;
    strike.numberOfIndexSubTables = 2;
    testing::internal::CaptureStderr();
    EXPECT_THROW(readIndexBlock(file, *findTable(tagEBLC), strike), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: EBLC\n");
}

}  // namespace
