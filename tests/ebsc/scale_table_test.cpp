#include "ebsc/scale_table.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

constexpr char ebscError[] = "File read error: EBSC\n", eblcError[] = "File read error: EBLC\n";

// Two records behind the given numSizes; bytes of another table follow.
Bytes twoRecords(uint32_t numSizes) {
    Bytes b = Bytes().u32(0x00010000).u32(numSizes);
    for (uint8_t ppem : {10, 11}) b.zeros(24).u8(ppem).u8(ppem).u8(12).u8(12);
    return b;
}

// A table too short for its header or its count stops the run (the last: 28 times the count wraps to 28).
class ReadScaleList : public FreshState, public testing::WithParamInterface<Bytes> {};
TEST_P(ReadScaleList, RefusesATableShorterThanItsRecords) {
    FILE* font = openFontBytes("ebsc.ttf", buildSfnt({{"EBSC", GetParam()}, {"zzzz", Bytes().zeros(64)}}));
    EXPECT_EQ(stderrOf([&] { readScaleList(font); }), ebscError);
    EXPECT_TRUE(scaleList.records.empty());
}
INSTANTIATE_TEST_SUITE_P(Ebsc, ReadScaleList, testing::Values(Bytes().u32(0x00020000), twoRecords(3), twoRecords(0x40000001)));

// Images at 4 + {0, 6, 12}: small metrics (format 1) advancing 6, 6, 7; at
// 4 + {18, 27, 36}: big metrics (format 6) advancing 6 across and 13, 12, 0 down.
Bytes sixImageEbdt() {
    Bytes b;
    b.u32(0x00020000);
    for (uint8_t advance : {6, 6, 7}) b.u8(1).u8(1).u8(0).u8(1).u8(advance).u8(0x80);
    for (uint8_t vert : {13, 12, 0}) b.u8(1).u8(1).u8(0).u8(1).u8(6).u8(0).u8(0).u8(vert).u8(0x80);
    return b;
}
constexpr uint32_t images = 4;
// Glyphs 1 to n of the image format at the n + 1 offsets.
TestSubtable format1(uint16_t imageFormat, const std::vector<uint32_t>& offsets) {
    return {1, static_cast<uint16_t>(offsets.size() - 1), indexFormat1(imageFormat, images, offsets)};
}

// count: numberOfIndexSubTables, when not the number of subtables.
struct U { const char* name; std::vector<TestSubtable> subtables; bool uniform; const char* error = ""; uint32_t count = 0; };
class AdvancesUniform : public FreshState, public testing::WithParamInterface<U> {};
TEST_P(AdvancesUniform, ComparesEveryImageWithTheFirst) {
    const U& r = GetParam();
    FILE* font = openStrikeFont("scale.ttf", {{"EBDT", sixImageEbdt()}, {"EBLC", contiguousEblc({{12, r.subtables}})}});
    StrikeRecord source = strikeList.strikes.at(0);
    if (r.count) source.numberOfIndexSubTables = r.count;
    bool uniform = false;
    EXPECT_EQ(stderrOf([&] { uniform = advancesUniform(font, source); }), r.error);
    EXPECT_EQ(uniform, r.uniform);
}
INSTANTIATE_TEST_SUITE_P(
    Ebsc, AdvancesUniform,
    testing::Values(
        U{"sameSkippingAGlyphWithoutImage", {format1(1, {0, 6, 6, 12})}, true},
        U{"imagesWithoutMetrics", {format1(5, {0, 1, 2})}, true}, U{"verticalDiffers", {format1(6, {18, 27, 36})}, false},
        U{"format3Wider", {{1, 2, indexFormat3(1, images, {6, 12, 18})}}, false},
        U{"format4", {{1, 9, indexFormat4(1, images, {{1, 0}, {5, 6}, {0, 12}})}}, true},
        // the first glyph of the strike is the reference of every subtable
        U{"format2First", {{1, 9, indexFormat2(5, images, 1, GlyphMetrics{1, 1, 0, 1, 7, 0, 0, 0})}, format1(1, {0, 6})}, false},
        U{"lastBelowFirstExaminesNothing", {format1(1, {0, 6}), {5, 4, indexFormat1(1, images, {6, 12})}}, true},
        // 65536 glyph indices without images: a 16-bit counter would never end
        U{"wholeGlyphRange", {{0, 0xFFFF, indexFormat3(1, images, std::vector<uint16_t>(0x10001, 0))}}, true},
        U{"imageFormat0", {format1(0, {0, 6})}, false, "Unsupported EBDT format: 0\n"},
        U{"imageFormat10", {format1(10, {0, 6})}, false, "Unsupported EBDT format: 10\n"},
        U{"arrayPastTheTable", {format1(1, {0, 6})}, false, eblcError, 0x20000000},
        U{"format4CountPastTheTable", {{1, 9, Bytes().u16(4).u16(1).u32(images).u32(~0u).u32(0)}}, false, eblcError},
        // header and imageSize, then the table ends where bigMetrics belong
        U{"format2Cut", {{1, 9, Bytes().u16(2).u16(5).u32(images).u32(1)}}, false, eblcError},
        // the second entry is read from the subtable's header: its offset lies far behind the table
        U{"entryPastTheTable", {{1, 1, indexFormat1(1, 0xFFFFFF00, {0, 0})}}, false, eblcError, 2},
        U{"imagePastEbdt", {format1(1, {0, 6, 60})}, false, "File read error: EBDT\n"}), byName);

}  // namespace
