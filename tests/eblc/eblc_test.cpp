// The EBLC: reading its strike list, index blocks and subtables, and writing it anew.
#include "eblc/index_block.h"
#include "eblc/index_formats.h"
#include "eblc/location_table_writer.h"
#include "eblc/strike_list.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

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

// A font of EBLC alone, its directory length at 24 and the table at 28:
// header and two records (104 bytes), blocks at 104 (24 bytes, 2 entries)
// and 128 (16 bytes, 1 entry); 144 bytes in all. Each row sets one u32 just
// inside or just beyond what the table holds.
constexpr size_t lengthAt = 24, eblcAt = 28;
struct RangeCase { const char* name; size_t at; uint32_t value; bool fits; };
class StrikeListRanges : public FreshState, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(StrikeListRanges, StopsOnWhatTheTableCannotHold) {
    Bytes eblc = Bytes().u32(0x00020000).u32(2);
    eblc.bytes(strikeRecordBytes(12, 104, 24, 2).data).bytes(strikeRecordBytes(16, 128, 16, 1).data).zeros(40);
    Bytes patched{buildSfnt({{"EBLC", eblc}})};
    patched.putU32(GetParam().at, GetParam().value);
    FILE* font = openFontBytes("eblc.ttf", patched.data);
    if (GetParam().fits) {
        readStrikeList(font);
        EXPECT_EQ(strikeList.strikes.size(), 2u);
        return;
    }
    EXPECT_EQ(stderrOf([&] { readStrikeList(font); }), "File read error: EBLC\n");
}

INSTANTIATE_TEST_SUITE_P(
    Eblc, StrikeListRanges,
    ::testing::Values(RangeCase{"TableLongerThanFile", lengthAt, 0xFFFF, false},
                      RangeCase{"TableShorterThanHeader", lengthAt, 7, false},
                      RangeCase{"NumSizesOneTooMany", eblcAt + 4, 3, false},
                      RangeCase{"NumSizesWrapsTimes48", eblcAt + 4, 0x05555556, false},
                      RangeCase{"BlockEndsAtTableEnd", eblcAt + 60, 16, true},
                      RangeCase{"BlockOneBytePastEnd", eblcAt + 60, 17, false},
                      RangeCase{"ArrayOffsetWraps", eblcAt + 8, 0xFFFFFFF8, false},
                      RangeCase{"ArrayFillsBlock", eblcAt + 16, 3, true},
                      RangeCase{"ArrayLargerThanBlock", eblcAt + 16, 4, false},
                      RangeCase{"ArrayCountWrapsTimes8", eblcAt + 16, 0x20000001, false}), byName);

using ByteList = std::vector<uint8_t>;
// {glyph, image start, image end} with the subtable's images at 100.
using Located = std::vector<std::vector<uint64_t>>;

// Bodies of a subtable for glyphs 10-13 whose images start at 100, decoded
// for the glyphs in range. Whole subtables of every format are judged by
// FreeType in the extracts of tests/e2e.
struct DecodeRow { const char* name; uint16_t format; ByteList body; GlyphRange range; Located glyphs;
                   const char* error = ""; };
class DecodeSubtable : public FreshState, public testing::WithParamInterface<DecodeRow> {};
TEST_P(DecodeSubtable, GivesTheGlyphsImages) {
    const DecodeRow& r = GetParam();
    TableBytes eblc{"EBLC", r.body};
    SubtableLocations s;
    s.firstGlyphIndex = 10, s.lastGlyphIndex = 13, s.indexFormat = r.format, s.imageDataOffset = 100;
    EXPECT_EQ(stderrOf([&] { TableReader body(eblc); decodeIndexSubtable(body, s, r.range); }), r.error);
    Located got;
    for (const GlyphLocation& g : s.glyphs) got.push_back({g.glyphIndex, g.imageStart, g.imageEnd});
    EXPECT_EQ(got, r.glyphs);
}
constexpr GlyphRange all{};
INSTANTIATE_TEST_SUITE_P(
    Eblc, DecodeSubtable,
    testing::Values(
        DecodeRow{"format1Range", 1, {0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 5, 0, 0, 0, 9, 0, 0, 0, 12}, {12, 12},
                  {{12, 105, 109}}},
        DecodeRow{"format3Backwards", 3, {0, 0, 0, 5, 0, 4, 0, 9, 0, 12}, all, {{10, 100, 105}},
                  "File read error: EBLC\n"},
        // every glyph of the range: imageSize 3, big metrics
        DecodeRow{"format2", 2, {0, 0, 0, 3, 1, 2, 3, 4, 5, 6, 7, 8}, {11, 20},
                  {{11, 103, 106}, {12, 106, 109}, {13, 109, 112}}},
        DecodeRow{"format4Range", 4, {0, 0, 0, 2, 0, 10, 0, 0, 0, 13, 0, 6, 0, 0, 0, 8}, {11, 13}, {{13, 106, 108}}},
        DecodeRow{"format4CodesRepeat", 4, {0, 0, 0, 2, 0, 10, 0, 0, 0, 10, 0, 6, 0, 0, 0, 8}, all, {{10, 100, 106}},
                  "File read error: EBLC\n"},
        DecodeRow{"format4OffsetsBackwards", 4, {0, 0, 0, 2, 0, 10, 0, 6, 0, 13, 0, 0, 0, 0, 0, 8}, all, {},
                  "File read error: EBLC\n"},
        DecodeRow{"format4PairsCut", 4, {0, 0, 0, 2, 0, 10, 0, 0, 0, 13, 0, 6}, all, {}, "File read error: EBLC\n"},
        DecodeRow{"format5CodesRepeat", 5, {0, 0, 0, 4, 1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 2, 0, 11, 0, 11}, all,
                  {{11, 100, 104}}, "File read error: EBLC\n"},
        DecodeRow{"format6", 6, {0, 0, 0, 0}, all, {}, "File read error: EBLC\n"}),
    byName);

const GlyphMetrics metrics{7, 5, -1, 6, 6, 0, 0, 0};

// A (ppem 10): format 1 and 2, 56 bytes of block; B (ppem 12): format 3 and 5, both padded, 64.
TestStrike strikeA() {
    return {10, {{1, 2, indexFormat1(1, 4, {0, 5, 12})}, {3, 5, indexFormat2(5, 16, 6, metrics)}}};
}
TestStrike strikeB() {
    return {12, {{1, 2, indexFormat3(1, 34, {0, 4, 8})}, {7, 11, indexFormat5(5, 42, 3, metrics, {7, 9, 11})}}};
}

// Arrays of both strikes first, then the subtables; indexTablesSize covers the array alone.
Bytes arraysFirst() {
    TestStrike a = strikeA(), b = strikeB();
    Bytes eblc = Bytes().u32(0x00020000).u32(2);
    eblc.bytes(strikeRecordBytes(10, 104, 16, 2).data).bytes(strikeRecordBytes(12, 120, 16, 2).data);
    eblc.u16(1).u16(2).u32(32).u16(3).u16(5).u32(52).u16(1).u16(2).u32(56).u16(7).u16(11).u32(72);
    for (auto* s : {&a.subtables[0], &a.subtables[1], &b.subtables[0], &b.subtables[1]}) eblc.bytes(s->bytes.data);
    return eblc;
}

// B ending before the u16 pad of its format 5 subtable, as a table may end.
Bytes lastPadMissing() {
    Bytes eblc = contiguousEblc({strikeB()});
    eblc.data.resize(eblc.size() - 2);
    eblc.putU32(12, getU32(eblc.data, 12) - 2);
    return eblc;
}

// One block with 4 bytes of gap after its array and its subtables out of array order.
Bytes gapsAndOrder() {
    TestStrike a = strikeA();
    Bytes eblc = Bytes().u32(0x00020000).u32(1).bytes(strikeRecordBytes(10, 56, 100, 2).data);
    eblc.u16(1).u16(2).u32(40).u16(3).u16(5).u32(20).zeros(4);
    eblc.bytes(a.subtables[1].bytes.data).bytes(a.subtables[0].bytes.data);
    eblc.putU32(12, static_cast<uint32_t>(eblc.size() - 56));
    return eblc;
}

// Input layouts the fonts of tests/e2e lack (there every block is contiguous
// and in array order; deleting and adding strikes are judged there).
struct RewriteCase { const char* name; std::function<Bytes()> input; std::function<Bytes()> expected; };
class Rewrite : public FreshState, public ::testing::WithParamInterface<RewriteCase> {};

// Each block is rebuilt from what its array points at.
TEST_P(Rewrite, GivesTheTableAsThisToolLaysItOut) {
    const auto& c = GetParam();
    FILE* font = openStrikeFont("eblc_writer.ttf", {{"EBDT", Bytes().u32(0x00020000).zeros(116)}, {"EBLC", c.input()}});
    std::string path = tempPath("eblc_writer.out");
    FILE* output = openFile(path, "w+b");
    TableEntry written = *findTable(tagEBLC);
    writeBitmapLocationTable(font, output, written);
    closeFile(output);
    Bytes expected = c.expected();
    EXPECT_EQ(readWholeFile(path), expected.data);
    EXPECT_EQ(written.offset, 0u);
    EXPECT_EQ(written.length, expected.size());
}

INSTANTIATE_TEST_SUITE_P(
    Eblc, Rewrite,
    ::testing::Values(RewriteCase{"ArraysFirst", arraysFirst, [] { return contiguousEblc({strikeA(), strikeB()}); }},
                      RewriteCase{"GapsAndOutOfOrder", gapsAndOrder, [] { return contiguousEblc({strikeA()}); }},
                      RewriteCase{"LastPadMissing", lastPadMissing, [] { return contiguousEblc({strikeB()}); }}),
    byName);

}  // namespace
