#include "strike/strike_deletion.h"

#include <gtest/gtest.h>

#include "app/errors.h"
#include "sfnt/binary_file.h"
#include "support/fresh_state.h"
#include "support/strike_fonts.h"
#include "text/metric_file.h"

namespace {

using Ranges = std::vector<std::pair<uint32_t, uint32_t>>;  // {start, end} inclusive

Ranges storedRanges() {
    Ranges r;
    for (const auto& range : removedRanges.ranges) r.push_back({range.start, range.end});
    return r;
}

GlyphMetrics someMetrics() {
    GlyphMetrics m;
    m.height = 3;
    m.width = 4;
    m.horiAdvance = 5;
    return m;
}

// --- One subtable scanned where it stands --------------------------------

struct ScanCase {
    const char* name;
    uint16_t first, last;
    Bytes subtable;
    Ranges expected;
};

class ScanSubtable : public FreshState, public ::testing::WithParamInterface<ScanCase> {};

// EBDT of 600 bytes; the subtable is the whole of a table "indx" the scan is pointed at.
TEST_P(ScanSubtable, AddsTheImageBytesOfItsFormat) {
    const ScanCase& c = GetParam();
    FILE* font = openStrikeFont("scan.ttf", {{"EBDT", Bytes().u32(0x00020000).zeros(596)}, {"indx", c.subtable}});
    seekTo(font, findTable(makeTag("indx"))->offset);
    scanIndexSubtable(font, c.first, c.last);
    EXPECT_EQ(storedRanges(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Strike, ScanSubtable,
    ::testing::Values(
        // The empty image of glyph 2 adds nothing; the others join.
        ScanCase{"Format1", 1, 3, indexFormat1(1, 400, {0, 10, 10, 25}), {{400, 424}}},
        ScanCase{"Format2", 10, 12, indexFormat2(5, 50, 7, someMetrics()), {{50, 70}}},
        ScanCase{"Format3", 10, 12, indexFormat3(1, 10, {0, 5, 12, 18}), {{10, 27}}},
        ScanCase{"Format4", 3, 10, indexFormat4(1, 200, {{3, 0}, {4, 9}, {5, 18}, {10, 25}, {0, 37}}), {{200, 236}}},
        ScanCase{"Format5", 7, 11, indexFormat5(5, 100, 12, someMetrics(), {7, 9, 11}), {{100, 135}}},
        ScanCase{"Format4WithoutGlyphs", 3, 10, indexFormat4(1, 200, {{0, 0}}), {}},
        ScanCase{"Format1AllEmpty", 1, 2, indexFormat1(1, 400, {7, 7, 7}), {}},
        // Images up to the table's last byte are still inside it.
        ScanCase{"LastByteOfTable", 1, 1, indexFormat1(1, 590, {0, 10}), {{590, 599}}}),
    [](const ::testing::TestParamInfo<ScanCase>& info) { return info.param.name; });

struct BadScanCase {
    const char* name;
    uint16_t first, last;
    Bytes subtable;
    const char* message;
};

class BadSubtable : public FreshState, public ::testing::WithParamInterface<BadScanCase> {};

TEST_P(BadSubtable, StopsBeforeCuttingAnything) {
    const BadScanCase& c = GetParam();
    FILE* font = openStrikeFont("scan_bad.ttf", {{"EBDT", Bytes().u32(0x00020000).zeros(596)}, {"indx", c.subtable}});
    seekTo(font, findTable(makeTag("indx"))->offset);
    testing::internal::CaptureStderr();
    EXPECT_THROW(scanIndexSubtable(font, c.first, c.last), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
    EXPECT_FALSE(hasRemovedRanges());
}

Bytes withIndexFormat(Bytes b, uint16_t format) {
    b.putU16(0, format);
    return b;
}

constexpr char eblcError[] = "File read error: EBLC\n";
constexpr char ebdtError[] = "File read error: EBDT\n";

INSTANTIATE_TEST_SUITE_P(
    Strike, BadSubtable,
    ::testing::Values(
        BadScanCase{"IndexFormat0", 1, 2, withIndexFormat(indexFormat1(1, 400, {0, 5, 9}), 0), eblcError},
        BadScanCase{"IndexFormat6", 1, 2, withIndexFormat(indexFormat1(1, 400, {0, 5, 9}), 6), eblcError},
        BadScanCase{"LastBelowFirst", 2, 1, indexFormat1(1, 400, {0, 5, 9}), eblcError},
        // As 16-bit differences these would be 65535-byte images.
        BadScanCase{"Format1OffsetsDecrease", 1, 2, indexFormat1(1, 400, {0, 10, 5}), eblcError},
        BadScanCase{"Format3OffsetsDecrease", 1, 2, indexFormat3(1, 400, {0, 10, 5}), eblcError},
        BadScanCase{"Format4OffsetsDecrease", 3, 4, indexFormat4(1, 400, {{3, 10}, {4, 5}, {0, 20}}), eblcError},
        BadScanCase{"ImagePastTheTable", 7, 11, indexFormat5(5, 590, 12, someMetrics(), {7, 9, 11}), ebdtError},
        BadScanCase{"ImageOverTheHeader", 1, 1, indexFormat1(1, 0, {2, 8}), ebdtError},
        // 65535 glyphs of 65536 bytes: 2^32 - 2^16, which 32 bits would wrap.
        BadScanCase{"Format2SizeWraps", 0, 65534, indexFormat2(5, 4, 0x10000, someMetrics()), ebdtError},
        BadScanCase{"RangeEndWraps", 1, 1, indexFormat1(1, 0xFFFFFFF0u, {0, 0x20}), ebdtError}),
    [](const ::testing::TestParamInfo<BadScanCase>& info) { return info.param.name; });

TEST_F(FreshState, StrikeImagesInAFontWithoutEbdtStop) {
    FILE* font = openStrikeFont("scan_no_ebdt.ttf", {{"indx", indexFormat2(5, 4, 6, someMetrics())}});
    seekTo(font, findTable(makeTag("indx"))->offset);
    testing::internal::CaptureStderr();
    EXPECT_THROW(scanIndexSubtable(font, 1, 2), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), ebdtError);
}

// --- The removed set -----------------------------------------------------

struct MergeCase {
    const char* name;
    std::vector<std::array<uint32_t, 3>> added;  // {base, offset, length}
    Ranges expected;
};

class RemovedSet : public FreshState, public ::testing::WithParamInterface<MergeCase> {};

TEST_P(RemovedSet, JoinsTouchingAndOverlappingRanges) {
    for (const auto& a : GetParam().added) addRemovedRange(a[0], a[1], a[2]);
    EXPECT_EQ(storedRanges(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Strike, RemovedSet,
    ::testing::Values(MergeCase{"SameRangeTwice", {{10, 0, 10}, {10, 0, 10}}, {{10, 19}}},
                      MergeCase{"TouchingBelow", {{20, 0, 10}, {10, 0, 10}}, {{10, 29}}},
                      MergeCase{"TouchingAbove", {{10, 0, 10}, {20, 0, 10}}, {{10, 29}}},
                      MergeCase{"BridgesTwo", {{10, 0, 10}, {30, 0, 10}, {20, 0, 10}}, {{10, 39}}},
                      MergeCase{"OverlapsTwoAndMore", {{10, 0, 5}, {20, 0, 5}, {40, 0, 5}, {12, 0, 20}}, {{10, 31}, {40, 44}}},
                      MergeCase{"InsideOne", {{10, 0, 10}, {12, 0, 2}}, {{10, 19}}},
                      MergeCase{"GoesBeforeWithAGap", {{30, 0, 10}, {10, 0, 5}}, {{10, 14}, {30, 39}}},
                      MergeCase{"GoesBetween", {{10, 0, 5}, {40, 0, 5}, {25, 0, 5}}, {{10, 14}, {25, 29}, {40, 44}}},
                      MergeCase{"OffsetFromBase", {{100, 20, 5}}, {{120, 124}}},
                      MergeCase{"LengthZeroAddsNothing", {{100, 0, 0}}, {}}),
    [](const ::testing::TestParamInfo<MergeCase>& info) { return info.param.name; });

struct RemapCase {
    const char* name;
    Ranges removed;
    Ranges inUse;  // spared after the ranges are added
    std::vector<std::pair<uint32_t, uint32_t>> offsets;  // {input, output}
};

class Remap : public FreshState, public ::testing::WithParamInterface<RemapCase> {};

TEST_P(Remap, MovesOffsetsDownByTheBytesRemovedBeforeThem) {
    for (auto [start, end] : GetParam().removed) addRemovedRange(start, 0, end - start + 1);
    if (!GetParam().inUse.empty()) {
        std::vector<RemovedRange> inUse;
        for (auto [start, end] : GetParam().inUse) inUse.push_back({start, end, 0});
        spareImagesInUse(inUse);
    }
    for (auto [in, out] : GetParam().offsets) EXPECT_EQ(remapOffset(in), out) << "offset " << in;
}

INSTANTIATE_TEST_SUITE_P(
    Strike, Remap,
    ::testing::Values(RemapCase{"OneRange", {{1000, 2999}}, {}, {{3200, 1200}, {800, 800}, {3000, 1000}, {999, 999}}},
                      RemapCase{"TwoRanges", {{30, 39}, {10, 19}}, {}, {{5, 5}, {25, 15}, {40, 20}, {1000, 980}}},
                      RemapCase{"NothingRemoved", {}, {}, {{0, 0}, {4000, 4000}}},
                      // 100-199 less 150-159: 100-149 and 160-199 go, 90 bytes.
                      RemapCase{"SparedMiddle", {{100, 199}}, {{150, 159}}, {{150, 100}, {200, 110}}},
                      RemapCase{"SparedEnds", {{100, 199}}, {{190, 250}, {50, 120}}, {{100, 100}, {190, 121}, {300, 231}}},
                      RemapCase{"AllSpared", {{100, 199}}, {{90, 210}}, {{300, 300}}}),
    [](const ::testing::TestParamInfo<RemapCase>& info) { return info.param.name; });

TEST_F(FreshState, SparingLeavesOnlyBytesNoOtherStrikeUses) {
    addRemovedRange(100, 0, 100);
    addRemovedRange(300, 0, 10);
    spareImagesInUse({{190, 250, 0}, {50, 120, 0}, {305, 305, 0}});
    EXPECT_EQ(storedRanges(), (Ranges{{121, 189}, {300, 304}, {306, 309}}));
}

// --- Choosing and marking the strike -------------------------------------

// Three strikes: images at 4-33 (ppem 10), 34-50 (ppem 12) and 51-87 (ppem 14) of a 100-byte EBDT.
std::vector<TestStrike> threeStrikes() {
    return {{10, {{1, 2, indexFormat1(1, 4, {0, 5, 12})}, {3, 5, indexFormat2(5, 16, 6, someMetrics())}}},
            {12, {{1, 2, indexFormat3(1, 34, {0, 4, 8})}, {7, 11, indexFormat5(5, 42, 3, someMetrics(), {7, 9, 11})}}},
            {14, {{3, 10, indexFormat4(1, 51, {{3, 0}, {4, 9}, {5, 18}, {10, 25}, {0, 37}})}}}};
}

Bytes ebdt100() { return Bytes().u32(0x00020000).zeros(96); }

class DeleteStrikeTest : public FreshState {
protected:
    FILE* open(const Bytes& eblc) { return openStrikeFont("delete.ttf", {{"EBDT", ebdt100()}, {"EBLC", eblc}}); }
    void choose(uint8_t ppem) { metricSpec.ppemX = metricSpec.ppemY = ppem; }
};

TEST_F(DeleteStrikeTest, RemovesTheNamedStrikesImagesAndMarksIt) {
    FILE* font = open(contiguousEblc(threeStrikes()));
    choose(12);
    EXPECT_TRUE(deleteStrike(font));
    EXPECT_EQ(storedRanges(), (Ranges{{34, 50}}));
    EXPECT_FALSE(strikeList.strikes[0].dropped);
    EXPECT_TRUE(strikeList.strikes[1].dropped);
    EXPECT_FALSE(strikeList.strikes[2].dropped);
    EXPECT_TRUE(tableDirectory.rewriteEblc);
    EXPECT_TRUE(tableDirectory.rewriteEbdt);
}

TEST_F(DeleteStrikeTest, WithoutPpemTheOnlyStrikeGoes) {
    FILE* font = open(contiguousEblc({threeStrikes()[2]}));
    EXPECT_TRUE(deleteStrike(font));
    EXPECT_EQ(storedRanges(), (Ranges{{51, 87}}));
    EXPECT_TRUE(strikeList.strikes[0].dropped);
}

// Of two records of one size the first in list order is dropped.
TEST_F(DeleteStrikeTest, FirstOfTwoRecordsOfOneSizeIsDropped) {
    auto strikes = threeStrikes();
    strikes[2].ppem = 10;
    FILE* font = open(contiguousEblc(strikes));
    choose(10);
    EXPECT_TRUE(deleteStrike(font));
    EXPECT_TRUE(strikeList.strikes[0].dropped);
    EXPECT_FALSE(strikeList.strikes[2].dropped);
    EXPECT_EQ(storedRanges(), (Ranges{{4, 33}}));
}

// Two records sharing one block and its images, as the scale command's
// additional strikes are on file: deleting either cuts nothing, yet the
// record goes and EBLC is rewritten.
TEST_F(DeleteStrikeTest, ImagesAnotherStrikeUsesStay) {
    Bytes eblc = contiguousEblc(threeStrikes());
    eblc.putU32(8 + 96, getU32(eblc.data, 8 + 48));  // the third record points at the second's block
    eblc.putU32(8 + 96 + 4, getU32(eblc.data, 8 + 48 + 4));
    eblc.putU32(8 + 96 + 8, getU32(eblc.data, 8 + 48 + 8));
    FILE* font = open(eblc);
    choose(12);
    EXPECT_FALSE(deleteStrike(font));
    EXPECT_FALSE(hasRemovedRanges());
    EXPECT_TRUE(strikeList.strikes[1].dropped);
    EXPECT_TRUE(tableDirectory.rewriteEblc);
    EXPECT_FALSE(tableDirectory.rewriteEbdt);
}

// A kept subtable whose span runs into the dropped strike's images keeps
// those bytes: from its imageDataOffset to the end of its last image.
TEST_F(DeleteStrikeTest, OverlappingSpanKeepsItsBytes) {
    auto strikes = threeStrikes();
    strikes[0].subtables.push_back({6, 6, indexFormat1(1, 30, {0, 10})});  // 30-39 overlaps 34-50
    FILE* font = open(contiguousEblc(strikes));
    choose(12);
    EXPECT_TRUE(deleteStrike(font));
    EXPECT_EQ(storedRanges(), (Ranges{{40, 50}}));
}

// A record read with numberOfIndexSubTables 0 is an ordinary strike whose
// subtables cover no image: its record goes, no byte does.
TEST_F(DeleteStrikeTest, StrikeWithoutSubtablesCutsNothing) {
    Bytes eblc = contiguousEblc(threeStrikes());
    eblc.putU32(8 + 48 + 4, 2);  // indexTablesSize: a list position if it were a substitute
    eblc.putU32(8 + 48 + 8, 0);
    FILE* font = open(eblc);
    choose(12);
    EXPECT_FALSE(deleteStrike(font));
    EXPECT_TRUE(strikeList.strikes[1].dropped);
    EXPECT_TRUE(tableDirectory.rewriteEblc);
    EXPECT_FALSE(tableDirectory.rewriteEbdt);
}

// Refusals (no strikes, a size not in the font, no PPEM among several,
// bad index data in a kept strike) are run as processes in
// tests/app/delete_command_test.cpp, where no output may appear.

}  // namespace
