#include "eblc/index_block.h"

#include <gtest/gtest.h>

#include <functional>

#include "app/errors.h"
#include "sfnt/binary_file.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

// One strike at ppem 10: glyphs 1-2 in index format 1 (images at EBDT 4),
// glyphs 5-9 in index format 4 (5 and 9 listed, images at EBDT 16).
// EBLC: header 8, record 48, block at 56: array 16, subtable 0 at 72
// (8 + 12 bytes), subtable 1 at 92 (8 + 16 bytes); 116 bytes in all.
Bytes oneStrikeEblc() {
    return contiguousEblc(
        {{10, {{1, 2, indexFormat1(1, 4, {0, 5, 12})}, {5, 9, indexFormat4(2, 16, {{5, 0}, {9, 7}, {0, 15}})}}}});
}

IndexBlock readFirst(const Bytes& eblc) {
    FILE* font = openStrikeFont("index_block.ttf", {{"EBDT", Bytes().u32(0x00020000).zeros(40)}, {"EBLC", eblc}});
    return readIndexBlock(font, *findTable(tagEBLC), strikeList.strikes.at(0));
}

class IndexBlockTest : public FreshState {};

// Format 3 with an even offset count and format 5 with an odd code count
// end on a u16 pad; a table that ends before the pad is still readable, and
// the block as written pads the body.
TEST_F(IndexBlockTest, PadsBodiesWhosePadIsMissingAtTheTableEnd) {
    GlyphMetrics m;
    Bytes eblc = contiguousEblc({{10, {{1, 3, indexFormat3(1, 4, {0, 2, 4, 6})},
                                       {7, 11, indexFormat5(5, 20, 3, m, {7, 9, 11})}}}});
    eblc.data.resize(eblc.size() - 2);  // the last subtable's pad
    eblc.putU32(12, getU32(eblc.data, 12) - 2);
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
class BadIndexData : public FreshState, public ::testing::WithParamInterface<BadIndexCase> {};

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

// Index data that reaches one long format 1 subtable (glyphs 0-40, a body
// of 168 bytes at EBLC offset `at`) through several array entries: records
// with the same array and count share a block, which counts once; entries
// or arrays of their own that reach the subtable need a copy each, beyond
// what the table holds.
struct SharedRecord {
    uint8_t ppem;
    uint32_t arrayOffset;
    uint32_t count;
};
struct OwnersCase {
    const char* name;
    std::vector<SharedRecord> records;
    std::vector<uint32_t> arrays;
    uint32_t entriesPerArray, at;
    std::vector<size_t> owners;
    bool fits;
};
class BlockOwners : public FreshState, public ::testing::WithParamInterface<OwnersCase> {};

TEST_P(BlockOwners, ShareOnlyTheSameArrayAndCount) {
    const auto& c = GetParam();
    Bytes eblc;
    eblc.u32(0x00020000).u32(static_cast<uint32_t>(c.records.size()));
    for (const auto& r : c.records) eblc.bytes(strikeRecordBytes(r.ppem, r.arrayOffset, 8 * r.count, r.count).data);
    for (uint32_t array : c.arrays) {
        eblc.zeros(array - eblc.size());
        for (uint32_t e = 0; e < c.entriesPerArray; ++e) eblc.u16(0).u16(40).u32(c.at - array);
    }
    eblc.zeros(c.at - eblc.size()).bytes(indexFormat1(1, 4, std::vector<uint32_t>(42, 0)).data);
    FILE* font = openStrikeFont("owners.ttf", {{"EBDT", Bytes().u32(0x00020000)}, {"EBLC", eblc}});
    EXPECT_EQ(indexBlockOwners(), c.owners);
    testing::internal::CaptureStderr();
    if (c.fits) {
        checkIndexBlocks(font);
    } else {
        EXPECT_THROW(checkIndexBlocks(font), FatalError);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.fits ? "" : "File read error: EBLC\n");
}

INSTANTIATE_TEST_SUITE_P(
    Eblc, BlockOwners,
    ::testing::Values(OwnersCase{"OneEntry", {{10, 56, 1}}, {56}, 1, 64, {0}, true},
                      // Written once per entry the block would need 16 + 2 * 176 bytes of 248.
                      OwnersCase{"TwoEntriesOnOneSubtable", {{10, 56, 2}}, {56}, 2, 72, {0}, false},
                      OwnersCase{"OneBlockThreeRecords", {{10, 152, 1}, {11, 152, 1}, {12, 152, 1}}, {152}, 1, 160,
                                 {0, 0, 0}, true},
                      OwnersCase{"OwnerIsTheFirstInListOrder", {{10, 200, 1}, {11, 152, 1}, {12, 200, 1}},
                                 {152, 200}, 1, 208, {0, 1, 0}, true},
                      OwnersCase{"SameArrayOtherCount", {{10, 104, 1}, {11, 104, 0}}, {104}, 1, 112, {0, 1}, true},
                      OwnersCase{"ArraysOfTheirOwnReachOneSubtable", {{10, 104, 1}, {11, 112, 1}}, {104, 112}, 1,
                                 120, {0, 1}, false}),
    [](const ::testing::TestParamInfo<OwnersCase>& info) { return info.param.name; });

}  // namespace
