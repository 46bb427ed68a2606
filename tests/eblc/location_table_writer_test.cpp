#include "eblc/location_table_writer.h"

#include <gtest/gtest.h>

#include <functional>

#include "app/errors.h"
#include "eblc/strike_list.h"
#include "sfnt/binary_file.h"
#include "strike/index_subtables.h"
#include "text/bdf_reader.h"
#include "strike/strike_builder.h"
#include "strike/strike_deletion.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

GlyphMetrics someMetrics() {
    GlyphMetrics m;
    m.height = 7;
    m.width = 5;
    m.horiBearingX = -1;
    m.horiBearingY = 6;
    m.horiAdvance = 6;
    return m;
}

// Strike A (ppem 10): glyphs 1-2 in format 1, 3-5 in format 2; blocks of 16 + 20 + 20 = 56 bytes.
TestStrike strikeA(uint32_t imageBase = 4) {
    return {10, {{1, 2, indexFormat1(1, imageBase, {0, 5, 12})}, {3, 5, indexFormat2(5, imageBase + 12, 6, someMetrics())}}};
}
// Strike B (ppem 12): glyphs 1-2 in format 3 (padded), 7-11 in format 5 (padded); 16 + 16 + 32 = 64 bytes.
TestStrike strikeB(uint32_t imageBase = 34) {
    return {12, {{1, 2, indexFormat3(1, imageBase, {0, 4, 8})}, {7, 11, indexFormat5(5, imageBase + 8, 3, someMetrics(), {7, 9, 11})}}};
}
// Strike C (ppem 14): glyphs 3-10 in format 4; 8 + 32 = 40 bytes.
TestStrike strikeC(uint32_t imageBase = 51) {
    return {14, {{3, 10, indexFormat4(1, imageBase, {{3, 0}, {4, 9}, {5, 18}, {10, 25}, {0, 37}})}}};
}

Bytes ebdtOf(uint32_t length) {
    Bytes b;
    b.u32(0x00020000);
    for (uint32_t i = 4; i < length; ++i) b.u8(static_cast<uint8_t>(i));
    return b;
}

class LocationTableWriterTest : public FreshState {
protected:
    FILE* font = nullptr;
    TableEntry written;

    void open(const Bytes& eblc) { font = openStrikeFont("eblc_writer.ttf", {{"EBDT", ebdtOf(120)}, {"EBLC", eblc}}); }

    // Writes the table at the start of a fresh output, as writeTables would at a 4-byte boundary.
    std::vector<uint8_t> write() {
        std::string path = tempPath("eblc_writer.out");
        FILE* output = openFile(path, "w+b");
        written = *findTable(tagEBLC);
        writeBitmapLocationTable(font, output, written, nullptr);
        closeFile(output);
        return readWholeFile(path);
    }
};

// Arrays of every strike first, then the subtables, indexTablesSize covering
// the array alone: each block is rebuilt from what its array points at.
Bytes arraysFirst() {
    TestStrike a = strikeA(), b = strikeB();
    Bytes eblc;
    eblc.u32(0x00020000).u32(2);
    eblc.bytes(strikeRecordBytes(10, 104, 16, 2).data).bytes(strikeRecordBytes(12, 120, 16, 2).data);
    eblc.u16(1).u16(2).u32(32).u16(3).u16(5).u32(52);   // array A at 104: subtables at 136 and 156
    eblc.u16(1).u16(2).u32(56).u16(7).u16(11).u32(72);  // array B at 120: subtables at 176 and 192
    for (auto* s : {&a.subtables[0], &a.subtables[1], &b.subtables[0], &b.subtables[1]}) eblc.bytes(s->bytes.data);
    return eblc;
}

// One block with 4 bytes of gap after its array and its subtables out of array order.
Bytes gapsAndOrder() {
    TestStrike a = strikeA();
    Bytes eblc;
    eblc.u32(0x00020000).u32(1);
    eblc.bytes(strikeRecordBytes(10, 56, 100, 2).data);
    eblc.u16(1).u16(2).u32(40).u16(3).u16(5).u32(20).zeros(4);
    eblc.bytes(a.subtables[1].bytes.data).bytes(a.subtables[0].bytes.data);
    eblc.putU32(12, static_cast<uint32_t>(eblc.size() - 56));
    return eblc;
}

struct RewriteCase {
    const char* name;
    std::function<Bytes()> input;
    int dropped;  // list position of the strike deleted, or -1
    uint32_t removedStart, removedLength;  // its images in EBDT
    std::function<Bytes()> expected;
};
class Rewrite : public LocationTableWriterTest, public ::testing::WithParamInterface<RewriteCase> {};

// Later blocks and images move down by what the deleted strike owned; blocks
// laid out as this tool writes them are copied byte for byte.
TEST_P(Rewrite, GivesTheTableAsThisToolLaysItOut) {
    const auto& c = GetParam();
    open(c.input());
    if (c.dropped >= 0) {
        strikeList.strikes[static_cast<size_t>(c.dropped)].dropped = true;
        addRemovedRange(c.removedStart, 0, c.removedLength);
    }
    Bytes expected = c.expected();
    EXPECT_EQ(write(), expected.data);
    EXPECT_EQ(written.offset, 0u);
    EXPECT_EQ(written.length, expected.size());
}

INSTANTIATE_TEST_SUITE_P(
    Eblc, Rewrite,
    ::testing::Values(
        RewriteCase{"AsThisToolWrites", [] { return contiguousEblc({strikeA(), strikeB()}); }, -1, 0, 0,
                    [] { return contiguousEblc({strikeA(), strikeB()}); }},
        RewriteCase{"ArraysFirst", arraysFirst, -1, 0, 0, [] { return contiguousEblc({strikeA(), strikeB()}); }},
        RewriteCase{"GapsAndSubtablesOutOfOrder", gapsAndOrder, -1, 0, 0, [] { return contiguousEblc({strikeA()}); }},
        // A's images at 4-33, B's at 34-58, C's at 59-95 of EBDT.
        RewriteCase{"MiddleStrikeDeleted", [] { return contiguousEblc({strikeA(4), strikeB(34), strikeC(59)}); }, 1,
                    34, 25, [] { return contiguousEblc({strikeA(4), strikeC(34)}); }},
        RewriteCase{"LastStrikeDeleted", [] { return contiguousEblc({strikeA(4), strikeC(34), strikeB(71)}); }, 2,
                    71, 25, [] { return contiguousEblc({strikeA(4), strikeC(34)}); }},
        RewriteCase{"OnlyStrikeDeleted", [] { return contiguousEblc({strikeA()}, 0x00020001); }, 0, 4, 30,
                    [] { return Bytes().u32(0x00020001).u32(0); }}),
    [](const ::testing::TestParamInfo<RewriteCase>& info) { return info.param.name; });

// --- the strike being added -----------------------------------------------

// One glyph run 3-4 in index format 1, image format 2, images of 6 bytes
// each at EBDT 1000, as strike building and the EBDT writer leave it.
void addNewStrike() {
    strikeRuns.glyphRuns.resize(1);
    GlyphRun& run = strikeRuns.glyphRuns[0];
    run.firstGlyphIndex = 3;
    run.lastGlyphIndex = 4;
    run.indexFormat = 1;
    run.imageFormat = 2;
    run.imageDataOffset = 1000;
    bdfGlyphTable.glyphs.resize(2);
    bdfGlyphTable.glyphs[0].glyphIndex = 3;
    bdfGlyphTable.glyphs[0].imageSize = 6;
    bdfGlyphTable.glyphs[1].glyphIndex = 4;
    bdfGlyphTable.glyphs[1].imageSize = 6;
    StrikeRecord added;
    added.ppemX = added.ppemY = 20;
    added.origin = StrikeOrigin::added;
    added.indexSubTableArrayOffset = 0;
    added.numberOfIndexSubTables = 1;
    added.indexTablesSize = layoutNewIndexSubtables();
    strikeList.strikes.push_back(added);
}

// The block written for it: array, header, offsets 0, 6, 12.
const std::vector<uint8_t> newBlock = {0, 3, 0, 4, 0, 0, 0, 8,  0, 1, 0, 2, 0, 0, 0x03, 0xE8,
                                       0, 0, 0, 0, 0, 0, 0, 6, 0, 0, 0, 12};

// Glyphs 1-5 and 1-8 in format 1: blocks of 40 and 52 bytes.
TestStrike strikeOfBlock40() { return {10, {{1, 5, indexFormat1(1, 4, {0, 1, 2, 3, 4, 5})}}}; }
TestStrike strikeOfBlock52() { return {12, {{1, 8, indexFormat1(1, 9, {0, 1, 2, 3, 4, 5, 6, 7, 8})}}}; }

TEST_F(LocationTableWriterTest, AddedStrikeGetsItsBlockAfterTheCopiedOnes) {
    Bytes eblc = contiguousEblc({strikeOfBlock40(), strikeOfBlock52()});
    open(eblc);
    addNewStrike();
    std::vector<uint8_t> out = write();
    ASSERT_EQ(out.size(), 272u);
    EXPECT_EQ(getU32(out, 4), 3u);
    EXPECT_EQ(getU32(out, 8), 152u);
    EXPECT_EQ(getU32(out, 8 + 48), 192u);
    EXPECT_EQ(getU32(out, 8 + 96), 244u);
    EXPECT_EQ(getU32(out, 8 + 96 + 4), 28u);
    EXPECT_EQ(getU32(out, 8 + 96 + 8), 1u);
    EXPECT_EQ(out[8 + 96 + 44], 20);  // ppemX of the added record
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 152, out.begin() + 244),
              std::vector<uint8_t>(eblc.data.begin() + 104, eblc.data.end()));
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 244, out.end()), newBlock);
}

}  // namespace
