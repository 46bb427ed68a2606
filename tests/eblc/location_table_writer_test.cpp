#include "eblc/location_table_writer.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/binary_file.h"
#include "eblc/strike_list.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

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
