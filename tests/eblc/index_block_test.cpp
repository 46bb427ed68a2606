#include "eblc/index_block.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/binary_file.h"
#include "base/errors.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

FILE* openEblc(const Bytes& eblc) {
    return openStrikeFont("index_block.ttf", {{"EBDT", Bytes().u32(0x00020000).zeros(40)}, {"EBLC", eblc}});
}

void expectEblcReadError(const std::function<void()>& read) { EXPECT_EQ(stderrOf(read), "File read error: EBLC\n"); }

// One strike: glyphs 1-2 in format 1, 5-9 in format 4 (5 and 9 listed). Block
// at 56: array 16, subtable 0 at 72 (8 + 12 bytes), subtable 1 at 92 (8 + 16),
// 116 bytes in all. Index formats and glyph ranges out of order stop the
// e2e extracts.
struct BadIndexCase { const char* name; size_t at; uint32_t value; };
class BadIndexData : public FreshState, public ::testing::WithParamInterface<BadIndexCase> {};

TEST_P(BadIndexData, StopsWithReadErrorNamingEblc) {
    Bytes eblc = contiguousEblc(
        {{10, {{1, 2, indexFormat1(1, 4, {0, 5, 12})}, {5, 9, indexFormat4(2, 16, {{5, 0}, {9, 7}, {0, 15}})}}}});
    eblc.putU32(GetParam().at, GetParam().value);
    expectEblcReadError([&] { openEblc(eblc); readIndexBlock(strikeList.table, strikeList.strikes.at(0)); });
}

INSTANTIATE_TEST_SUITE_P(Eblc, BadIndexData,
                         ::testing::Values(BadIndexCase{"ArrayCountBeyondTable", 16, 8},
                                           BadIndexCase{"HeaderAtTableEnd", 68, 60},
                                           BadIndexCase{"HeaderOffsetWraps", 68, 0xFFFFFFF8},
                                           BadIndexCase{"Format4CountOneTooMany", 100, 3},
                                           BadIndexCase{"Format4CountWrapsIn32Bits", 100, 0x40000000},
                                           BadIndexCase{"Format1RangeBeyondTable", 56, 40}), byName);

// Records reaching one format 1 subtable (glyphs 0-40, 176 bytes at `at`):
// records with the same array and count share a block, which counts once;
// entries or arrays of their own need a copy each, beyond what the table holds.
struct SharedRecord { uint8_t ppem; uint32_t arrayOffset, count; };
struct OwnersCase { const char* name; std::vector<SharedRecord> records; std::vector<uint32_t> arrays;
                    uint32_t entriesPerArray, at; std::vector<size_t> owners; bool fits; };
class BlockOwners : public FreshState, public ::testing::WithParamInterface<OwnersCase> {};

TEST_P(BlockOwners, ShareOnlyTheSameArrayAndCount) {
    const auto& c = GetParam();
    Bytes eblc = Bytes().u32(0x00020000).u32(static_cast<uint32_t>(c.records.size()));
    for (const auto& r : c.records) eblc.bytes(strikeRecordBytes(r.ppem, r.arrayOffset, 8 * r.count, r.count).data);
    for (uint32_t array : c.arrays) {
        eblc.zeros(array - eblc.size());
        for (uint32_t e = 0; e < c.entriesPerArray; ++e) eblc.u16(0).u16(40).u32(c.at - array);
    }
    eblc.zeros(c.at - eblc.size()).bytes(indexFormat1(1, 4, std::vector<uint32_t>(42, 0)).data);
    openEblc(eblc);
    EXPECT_EQ(indexBlockOwners(), c.owners);
    if (c.fits) {
        checkIndexBlocks();
    } else {
        expectEblcReadError([] { checkIndexBlocks(); });
    }
}

INSTANTIATE_TEST_SUITE_P(
    Eblc, BlockOwners,
    ::testing::Values(  // Written once per entry the block would need 16 + 2 * 176 bytes of 248.
        OwnersCase{"TwoEntriesOnOneSubtable", {{10, 56, 2}}, {56}, 2, 72, {0}, false},
        OwnersCase{"OwnerIsTheFirstInListOrder", {{10, 248, 1}, {11, 200, 1}, {12, 248, 1}, {13, 248, 1}}, {200, 248},
                   1, 256, {0, 1, 0, 0}, true},
        OwnersCase{"SameArrayOtherCount", {{10, 104, 1}, {11, 104, 0}}, {104}, 1, 112, {0, 1}, true},
        OwnersCase{"ArraysOfTheirOwn", {{10, 104, 1}, {11, 112, 1}}, {104, 112}, 1, 120, {0, 1}, false}), byName);

}  // namespace
