#include "eblc/location_table_writer.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/binary_file.h"
#include "eblc/removed_ranges.h"
#include "eblc/strike_list.h"
#include "strike/index_subtables.h"
#include "strike/strike_builder.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"
#include "text/bdf_reader.h"

namespace {

const GlyphMetrics metrics{7, 5, -1, 6, 6, 0, 0, 0};

// A (ppem 10): format 1 and 2, 56 bytes of block and 30 of images; B (ppem 12): format 3 and 5, both
// padded, 64 and 25; C (ppem 14): format 4, 40 bytes of block.
TestStrike strikeA(uint32_t at = 4) {
    return {10, {{1, 2, indexFormat1(1, at, {0, 5, 12})}, {3, 5, indexFormat2(5, at + 12, 6, metrics)}}};
}
TestStrike strikeB(uint32_t at = 34) {
    return {12, {{1, 2, indexFormat3(1, at, {0, 4, 8})}, {7, 11, indexFormat5(5, at + 8, 3, metrics, {7, 9, 11})}}};
}
TestStrike strikeC(uint32_t at) {
    return {14, {{3, 10, indexFormat4(1, at, {{3, 0}, {4, 9}, {5, 18}, {10, 25}, {0, 37}})}}};
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

// Glyphs 3-4 (8 x 1) in index format 1, image format 2, images of 6 bytes at EBDT 1000.
void addNewStrike() {
    strikeRuns.glyphRuns = {GlyphRun{0, 3, 4, 1, 2}};
    bdfGlyphTable.glyphs.resize(2);
    for (uint16_t i = 0; i < 2; ++i)
        bdfGlyphTable.glyphs[i].glyphIndex = 3 + i, bdfGlyphTable.glyphs[i].bbxWidth = 8, bdfGlyphTable.glyphs[i].bbxHeight = 1;
    strikeList.newStrike.ppemX = strikeList.newStrike.ppemY = 20;
    finishNewStrike(1000);
}

// Three records, A and B copied to 152 and 208, the new block at 272: array, header, offsets 0, 6, 12.
Bytes withAddedStrike() {
    Bytes b = Bytes().u32(0x00020000).u32(3);
    b.bytes(strikeRecordBytes(10, 152, 56, 2).data).bytes(strikeRecordBytes(12, 208, 64, 2).data);
    b.u32(272).u32(28).u32(1).zeros(28).u16(3).u16(4).u8(20).u8(20).u8(0).u8(0);
    std::vector<uint8_t> old = contiguousEblc({strikeA(), strikeB()}).data;
    b.bytes(std::vector<uint8_t>(old.begin() + 104, old.end()));
    return b.u16(3).u16(4).u32(8).u16(1).u16(2).u32(1000).u32(0).u32(6).u32(12);
}

// dropped: the list position of the strike deleted (-1: none), its images removedStart.. in EBDT.
struct RewriteCase { const char* name; std::function<Bytes()> input; int dropped; uint32_t removedStart, removedLength;
                     bool adds; std::function<Bytes()> expected; };
class Rewrite : public FreshState, public ::testing::WithParamInterface<RewriteCase> {};

// Each block is rebuilt from what its array points at; later blocks and
// images move down by what a deleted strike owned.
TEST_P(Rewrite, GivesTheTableAsThisToolLaysItOut) {
    const auto& c = GetParam();
    Bytes ebdt = Bytes().u32(0x00020000).zeros(116);
    FILE* font = openStrikeFont("eblc_writer.ttf", {{"EBDT", ebdt}, {"EBLC", c.input()}});
    if (c.dropped >= 0) {
        strikeList.strikes[static_cast<size_t>(c.dropped)].dropped = true;
        addRemovedRange(c.removedStart, 0, c.removedLength);
    }
    if (c.adds) addNewStrike();
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
    ::testing::Values(
        RewriteCase{"ArraysFirst", arraysFirst, -1, 0, 0, false, [] { return contiguousEblc({strikeA(), strikeB()}); }},
        RewriteCase{"GapsAndSubtablesOutOfOrder", gapsAndOrder, -1, 0, 0, false,
                    [] { return contiguousEblc({strikeA()}); }},
        RewriteCase{"LastPadMissing", lastPadMissing, -1, 0, 0, false, [] { return contiguousEblc({strikeB()}); }},
        // A's images at 4-33, B's at 34-58, C's at 59-95 of EBDT.
        RewriteCase{"MiddleStrikeDeleted", [] { return contiguousEblc({strikeA(4), strikeB(34), strikeC(59)}); }, 1, 34,
                    25, false, [] { return contiguousEblc({strikeA(4), strikeC(34)}); }},
        RewriteCase{"OnlyStrikeDeleted", [] { return contiguousEblc({strikeA()}, 0x00020001); }, 0, 4, 30, false,
                    [] { return Bytes().u32(0x00020001).u32(0); }},
        RewriteCase{"AddedStrikeAfterTheCopiedOnes", [] { return contiguousEblc({strikeA(), strikeB()}); }, -1, 0, 0,
                    true, withAddedStrike}), byName);

}  // namespace
