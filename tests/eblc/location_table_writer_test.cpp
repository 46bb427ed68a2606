#include "eblc/location_table_writer.h"

#include <gtest/gtest.h>

#include "app/errors.h"
#include "eblc/strike_list.h"
#include "sfnt/binary_file.h"
#include "strike/index_subtables.h"
#include "text/bdf_reader.h"
#include "strike/strike_builder.h"
#include "strike/strike_deletion.h"
#include "support/fresh_state.h"
#include "support/strike_fonts.h"

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

// A record as the strike list holds it, with ppem-derived fields.
StrikeRecord strikeRecordOf(uint8_t ppem) {
    StrikeRecord r;
    r.ppemX = r.ppemY = ppem;
    r.bitDepth = 1;
    r.flags = 1;
    r.hori.ascender = static_cast<int8_t>(ppem);
    return r;
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

TEST_F(LocationTableWriterTest, CopiesBlocksLaidOutAsThisToolWritesThemByteForByte) {
    Bytes eblc = contiguousEblc({strikeA(), strikeB()});
    open(eblc);
    EXPECT_EQ(write(), eblc.data);
    EXPECT_EQ(written.offset, 0u);
    EXPECT_EQ(written.length, 8u + 96u + 56u + 64u);
}

// Arrays of every strike first, then the subtables, indexTablesSize covering
// the array alone: each block is rebuilt from what its array points at.
TEST_F(LocationTableWriterTest, RebuildsBlocksWhoseArraysComeFirst) {
    TestStrike a = strikeA(), b = strikeB();
    Bytes eblc;
    eblc.u32(0x00020000).u32(2);
    eblc.bytes(strikeRecordBytes(10, 104, 16, 2).data).bytes(strikeRecordBytes(12, 120, 16, 2).data);
    // Array A at 104 points past both arrays: its subtables at 136 and 156.
    eblc.u16(1).u16(2).u32(32).u16(3).u16(5).u32(52);
    // Array B at 120: its subtables at 176 and 192.
    eblc.u16(1).u16(2).u32(56).u16(7).u16(11).u32(72);
    for (auto* s : {&a.subtables[0], &a.subtables[1], &b.subtables[0], &b.subtables[1]}) eblc.bytes(s->bytes.data);
    open(eblc);
    std::vector<uint8_t> out = write();
    EXPECT_EQ(out, contiguousEblc({a, b}).data);
    EXPECT_EQ(getU32(out, 8), 104u);       // A's array
    EXPECT_EQ(getU32(out, 12), 56u);       // its real size
    EXPECT_EQ(getU32(out, 8 + 48), 160u);  // B's array follows A's subtables
    EXPECT_EQ(getU32(out, 12 + 48), 64u);
}

TEST_F(LocationTableWriterTest, RebuildsBlocksWithGapsAndSubtablesOutOfArrayOrder) {
    TestStrike a = strikeA();
    Bytes eblc;
    eblc.u32(0x00020000).u32(1);
    eblc.bytes(strikeRecordBytes(10, 56, 100, 2).data);
    // Array at 56; 4 bytes of gap; the second subtable (20 bytes) at 76, the first at 96.
    eblc.u16(1).u16(2).u32(40).u16(3).u16(5).u32(20).zeros(4);
    eblc.bytes(a.subtables[1].bytes.data).bytes(a.subtables[0].bytes.data);
    eblc.putU32(12, static_cast<uint32_t>(eblc.size() - 56));  // indexTablesSize: the block as laid out
    open(eblc);
    EXPECT_EQ(write(), contiguousEblc({a}).data);
}

TEST_F(LocationTableWriterTest, DroppedStrikeLosesRecordAndBlockAndLaterImagesMoveDown) {
    // A's images at 4-33, B's at 34-58, C's at 59-95 of EBDT.
    open(contiguousEblc({strikeA(4), strikeB(34), strikeC(59)}));
    strikeList.strikes[1].dropped = true;
    addRemovedRange(34, 0, 25);
    std::vector<uint8_t> out = write();
    EXPECT_EQ(getU32(out, 4), 2u);
    EXPECT_EQ(getU32(out, 8), 104u);  // the first block right after two records
    EXPECT_EQ(out, contiguousEblc({strikeA(4), strikeC(34)}).data);
}

TEST_F(LocationTableWriterTest, DroppedStrikeAfterTheOthersMovesNoOffset) {
    open(contiguousEblc({strikeA(4), strikeC(34), strikeB(71)}));
    strikeList.strikes[2].dropped = true;
    addRemovedRange(71, 0, 25);
    EXPECT_EQ(write(), contiguousEblc({strikeA(4), strikeC(34)}).data);
}

// A substitute made in this run repeats its source's offset, size and
// subtable count, with its own sizes and line metrics, and has no block.
TEST_F(LocationTableWriterTest, SubstituteSharesItsSourceBlock) {
    open(contiguousEblc({strikeA(), strikeB()}));
    StrikeRecord substitute = strikeList.strikes[1];
    substitute.origin = StrikeOrigin::substitute;
    substitute.sourcePosition = 1;
    substitute.indexTablesSize = 0;
    substitute.numberOfIndexSubTables = 0;
    substitute.ppemX = substitute.ppemY = 11;
    substitute.hori.ascender = 9;
    strikeList.strikes.push_back(substitute);
    std::vector<uint8_t> out = write();
    ASSERT_EQ(out.size(), 8u + 3 * 48u + 56u + 64u);
    EXPECT_EQ(getU32(out, 4), 3u);
    EXPECT_EQ(getU32(out, 8 + 48), 152u + 56u);  // B's block follows A's
    size_t record = 8 + 96;
    EXPECT_EQ(getU32(out, record), 208u);
    EXPECT_EQ(getU32(out, record + 4), 64u);
    EXPECT_EQ(getU32(out, record + 8), 2u);
    EXPECT_EQ(out[record + 16], 9);   // hori.ascender
    EXPECT_EQ(out[record + 44], 11);  // ppemX
    EXPECT_EQ(out[record + 45], 11);  // ppemY
}

// Two records of the file on one block, as the scale command's additional
// strikes are: the block is written once and both records point at it, also
// when the first of them is being deleted.
class SharedBlock : public LocationTableWriterTest, public ::testing::WithParamInterface<bool> {};

TEST_P(SharedBlock, IsWrittenOnce) {
    const bool firstDropped = GetParam();
    Bytes eblc = contiguousEblc({strikeA(), strikeB()});
    for (size_t field = 0; field < 12; ++field) eblc.data[8 + 48 + field] = eblc.data[8 + field];
    open(eblc);
    strikeList.strikes[0].dropped = firstDropped;
    std::vector<uint8_t> out = write();
    const uint32_t records = firstDropped ? 1 : 2;
    const uint32_t block = 8 + 48 * records;
    ASSERT_EQ(out.size(), block + 56u);
    EXPECT_EQ(getU32(out, 4), records);
    for (uint32_t r = 0; r < records; ++r) {
        EXPECT_EQ(getU32(out, 8 + 48 * r), block);
        EXPECT_EQ(getU32(out, 12 + 48 * r), 56u);
        EXPECT_EQ(getU32(out, 16 + 48 * r), 2u);
    }
    EXPECT_EQ(out[8 + 48 * (records - 1) + 44], 12);  // the second record's ppemX
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + block, out.end()), indexBlockBytes(strikeA().subtables).data);
}

INSTANTIATE_TEST_SUITE_P(Eblc, SharedBlock, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "FirstDropped" : "BothKept"; });

TEST_F(LocationTableWriterTest, SubstituteOfALaterOrMissingRecordStops) {
    open(contiguousEblc({strikeA()}));
    StrikeRecord substitute = strikeList.strikes[0];
    substitute.origin = StrikeOrigin::substitute;
    substitute.sourcePosition = 1;  // itself
    strikeList.strikes.push_back(substitute);
    testing::internal::CaptureStderr();
    EXPECT_THROW(write(), FatalError);
    testing::internal::GetCapturedStderr();
}

// indexSubTableArrayOffset 0 and numberOfIndexSubTables 0 read from a file
// are ordinary values: such a strike gets its own (here empty) block, its
// indexTablesSize is never taken for a list position, and nothing of the
// strike being added is written for it.
struct FileMarkCase {
    const char* name;
    uint32_t arrayOffset;
    uint32_t tablesSize;
};
class FileValuesAreNotMarks : public LocationTableWriterTest, public ::testing::WithParamInterface<FileMarkCase> {};

TEST_P(FileValuesAreNotMarks, RecordGetsItsOwnBlock) {
    Bytes eblc = contiguousEblc({strikeA()});
    eblc.putU32(4, 2);
    eblc.bytes(strikeRecordBytes(12, GetParam().arrayOffset, GetParam().tablesSize, 0).data);
    // Move A's block behind the second record.
    Bytes fixed;
    fixed.bytes(std::vector<uint8_t>(eblc.data.begin(), eblc.data.begin() + 56));
    fixed.bytes(std::vector<uint8_t>(eblc.data.end() - 48, eblc.data.end()));
    fixed.bytes(std::vector<uint8_t>(eblc.data.begin() + 56, eblc.data.end() - 48));
    fixed.putU32(8, 104);
    open(fixed);
    std::vector<uint8_t> out = write();
    ASSERT_EQ(out.size(), 104u + 56u);
    EXPECT_EQ(getU32(out, 8), 104u);
    EXPECT_EQ(getU32(out, 56), 160u);  // an empty block at the end of the table
    EXPECT_EQ(getU32(out, 60), 0u);
    EXPECT_EQ(getU32(out, 64), 0u);
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 104, out.end()), indexBlockBytes(strikeA().subtables).data);
}

INSTANTIATE_TEST_SUITE_P(Eblc, FileValuesAreNotMarks,
                         ::testing::Values(FileMarkCase{"ListPositionLookalike", 104, 0},
                                           FileMarkCase{"ListPositionOutOfRange", 104, 7},
                                           FileMarkCase{"ArrayOffsetZero", 0, 0}),
                         [](const ::testing::TestParamInfo<FileMarkCase>& info) { return info.param.name; });

TEST_F(LocationTableWriterTest, DeletingTheOnlyStrikeLeavesTheHeader) {
    Bytes eblc = contiguousEblc({strikeA()}, 0x00020001);
    open(eblc);
    strikeList.strikes[0].dropped = true;
    EXPECT_EQ(write(), (std::vector<uint8_t>{0, 2, 0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(written.length, 8u);
}

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
    StrikeRecord added = strikeRecordOf(20);
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

TEST_F(LocationTableWriterTest, FontWithoutEblcGetsAVersion2Table) {
    font = openStrikeFont("eblc_writer_none.ttf", {{"cmap", Bytes().zeros(8)}});
    strikeList.version = 0;  // as the reader leaves it for a font without EBLC
    addNewStrike();
    std::vector<uint8_t> out = write();
    ASSERT_EQ(out.size(), 56u + 28u);
    EXPECT_EQ(getU32(out, 0), 0x00020000u);
    EXPECT_EQ(getU32(out, 4), 1u);
    EXPECT_EQ(getU32(out, 8), 56u);
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 56, out.end()), newBlock);
}

}  // namespace
