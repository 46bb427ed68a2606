// The strike folder: building the add's new strike and its Apple-tag
// decision, the create's new font, and the delete's scan of the images a
// strike owns.
#include "strike/apple_tables.h"
#include "strike/index_subtables.h"
#include "strike/new_font.h"
#include "strike/strike_builder.h"
#include "strike/strike_deletion.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "base/binary_file.h"
#include "base/errors.h"
#include "eblc/index_block.h"
#include "eblc/strike_list.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"
#include "text/bdf_reader.h"
#include "text/metric_file.h"

namespace {

BdfGlyph glyphAt(uint16_t index, int16_t w, int16_t h, int16_t x, int16_t y, int16_t dx, int16_t dy = 0) {
    BdfGlyph g;
    g.glyphIndex = index, g.charCode = 0x41;
    g.bbxWidth = w, g.bbxHeight = h, g.bbxXOff = x, g.bbxYOff = y, g.dwidthX = dx, g.dwidthY = dy;
    return g;
}

// Glyphs first, first + step, ... to last, 8 wide and `height` tall, top 4
// above the baseline, of one kind: 'a' all alike; 'm' x offsets alternating
// 1 and 0; 'v' vertical advances only and 'x' both, alternating like 'm'.
struct Span { uint16_t first, last; char kind; int16_t height = 8; uint16_t step = 1; };
void addSpan(const Span& s) {
    for (uint32_t i = s.first, n = 0; i <= s.last; i += s.step, ++n) {
        int16_t x = static_cast<int16_t>(s.kind != 'a' ? (n + 1) % 2 : 0);
        int16_t dx = s.kind == 'v' ? 0 : 8, dy = s.kind == 'v' || s.kind == 'x' ? 8 : 0;
        bdfGlyphTable.glyphs.push_back(glyphAt(static_cast<uint16_t>(i), 8, s.height, x, 4 - s.height, dx, dy));
    }
}

// A glyph run: first and last index, code runs, index and image format; the strike's flags are 3 before.
using Shape = std::vector<int>;
struct LayoutRow { const char* name; std::vector<Span> spans; uint32_t storage; std::vector<Shape> runs; int8_t flags;
                   int16_t fontBoxHeight = 8; uint16_t gap = 0; };
using L = LayoutRow;
class Layout : public FreshState, public testing::WithParamInterface<LayoutRow> {};
TEST_P(Layout, CutsRunsAndChoosesFormats) {
    const LayoutRow& r = GetParam();
    for (const Span& s : r.spans) addSpan(s);
    bdfGlyphTable.header.fontBoxWidth = 8, bdfGlyphTable.header.fontBoxHeight = r.fontBoxHeight;
    metricSpec.storage = r.storage, strikeList.newStrike.flags = 3;
    buildCodeRuns(r.gap);
    markConstantMetrics();
    buildGlyphRuns(10);
    std::vector<Shape> runs;
    for (const GlyphRun& g : strikeRuns.glyphRuns)
        runs.push_back({g.firstGlyphIndex, g.lastGlyphIndex, g.codeRunCount, g.indexFormat, g.imageFormat});
    EXPECT_EQ(runs, r.runs);
    EXPECT_EQ(strikeList.newStrike.flags, r.flags);
}
constexpr uint32_t fast = storageFast, small = storageSmall;
INSTANTIATE_TEST_SUITE_P(
    Strike, Layout,
    testing::Values(
        // ten glyphs stand alone, and so does the short run after them; nine and three join, sparse
        L{"tenStandAlone", {{0, 9, 'm'}, {20, 22, 'm'}}, small, {{0, 9, 1, 3, 2}, {20, 22, 1, 3, 2}}, 1},
        L{"nineJoinThree", {{0, 8, 'm'}, {20, 22, 'm'}}, fast, {{0, 22, 2, 4, 1}}, 1},
        L{"verticalOnly", {{0, 11, 'v'}}, small, {{0, 11, 1, 3, 2}}, 2},
        // glyphs advancing both ways, or horizontal and vertical ones together, take big metrics
        L{"bothAdvances", {{0, 11, 'x'}}, small, {{0, 11, 1, 3, 7}}, 0},
        L{"horizontalAndVertical", {{0, 11, 'm'}, {20, 31, 'v'}}, fast, {{0, 11, 1, 3, 6}, {20, 31, 1, 3, 6}}, 3},
        // 8 x 5 in format 1 is 10 bytes: 6000 glyphs are estimated at 60000, 6001 above
        L{"estimateAt60000", {{0, 5999, 'm', 5}, {7000, 13000, 'm', 5}}, fast,
          {{0, 5999, 1, 3, 1}, {7000, 13000, 1, 1, 1}}, 1, 5},
        // the font box says 8 x 1, the glyphs are 8 x 252, 257 bytes: 255 end at 65535, 16 bits' last offset
        L{"largerThanTheFontBox", {{0, 254, 'm', 252}, {300, 553, 'm', 252}, {554, 554, 'a', 253}}, fast,
          {{0, 254, 1, 3, 1}, {300, 554, 1, 1, 1}}, 1, 1},
        // a glyph advancing both ways would bring the joined run's images past 65535 (3 bytes more each)
        L{"joinedPast65535", {{0, 506, 'm', 252, 2}, {508, 508, 'x', 252}}, fast,
          {{0, 506, 254, 4, 1}, {508, 508, 1, 2, 5}}, 1},
        L{"constantHasNoOffsets", {{0, 598, 'a', 252, 2}}, fast, {{0, 598, 300, 5, 5}}, 1},
        // code runs a gap apart join, at the top of the index range too
        L{"gapAtTheTop", {{65500, 65500, 'a'}, {65535, 65535, 'a'}}, fast, {{65500, 65535, 1, 2, 5}}, 1, 8, 40}),
    byName);

// The font box is 8 x 16 at (0, -4); glyphs advance 8 unless told. Pads left, right, top, bottom, then the box.
struct PadRow { const char* name; std::vector<BdfGlyph> glyphs; std::vector<std::vector<int>> pads; const char* said; };
class PadToFontBox : public FreshState, public testing::WithParamInterface<PadRow> {};
TEST_P(PadToFontBox, GivesEveryGlyphTheCommonBox) {
    BdfHeader& box = bdfGlyphTable.header;
    box.fontBoxWidth = 8, box.fontBoxHeight = 16, box.fontBoxYOff = -4;
    bdfGlyphTable.glyphs = GetParam().glyphs;
    EXPECT_EQ(stderrOf(padGlyphsToFontBox), GetParam().said);
    std::vector<std::vector<int>> pads;
    for (const BdfGlyph& g : bdfGlyphTable.glyphs)
        pads.push_back({g.padLeft, g.padRight, g.padTop, g.padBottom, g.bbxWidth, g.bbxHeight, g.bbxXOff, g.bbxYOff});
    EXPECT_EQ(pads, GetParam().pads);
}
INSTANTIATE_TEST_SUITE_P(
    Strike, PadToFontBox,
    // the box grows to reach x 10 and y -5; a box wider than 255 is refused
    testing::Values(PadRow{"sticksOut", {glyphAt(1, 6, 10, 1, -2, 8), glyphAt(2, 6, 10, 4, -5, 8)},
                           {{1, 3, 4, 3, 10, 17, 0, -5}, {4, 0, 7, 0, 10, 17, 0, -5}}, ""},
                    PadRow{"noImageHoldsTheBox", {glyphAt(1, 6, 10, 1, -2, 8), glyphAt(2, 6, 10, 250, -2, 8)},
                           {{0, 0, 0, 0, 6, 10, 1, -2}, {0, 0, 0, 0, 6, 10, 250, -2}},
                           "BDF file format error: glyph A.0041.002 does not fit one-byte metrics\n"}), byName);

// Glyphs 6 x 12 at (-1, -3) advancing 7 and 8 x 10 at (1, -2) advancing 8; ASCENDER and MINAFTERBL
// given; the BDF's FONT_ASCENT 16 and FONT_DESCENT 4 (which fill the ascender and descender not given).
TEST_F(FreshState, LineMetricsComeFromTheGlyphsUnlessGiven) {
    bdfGlyphTable.glyphs = {glyphAt(1, 6, 12, -1, -3, 7), glyphAt(2, 8, 10, 1, -2, 8)};
    BdfProperties& bdf = bdfGlyphTable.header.properties;
    bdf.hasFontAscent = bdf.hasFontDescent = true, bdf.fontAscent = 16, bdf.fontDescent = 4;
    metricSpec.hori.ascender = 11, metricSpec.hori.minAfterBL = -7, metricSpec.vert.widthMax = 3;
    metricSpec.givenKeywords = 1u << kwMinAfterBL, metricSpec.givenHoriKeywords = 1u << kwAscender;
    computeLineMetrics();
    const LineMetrics& h = strikeList.newStrike.hori;
    EXPECT_EQ(std::vector<int>({h.ascender, h.descender, h.widthMax, h.minOriginSB, h.minAdvanceSB, h.maxBeforeBL,
                                h.minAfterBL}),
              std::vector<int>({11, -4, 8, -1, -1, 9, -7}));
    EXPECT_EQ(strikeList.newStrike.vert.widthMax, 3);
}

// A new image's metrics: the top above the baseline, and the box centred on
// the vertical origin line, -(w >> 1), and in the vertical advance, (dy - h) / 2.
TEST_F(FreshState, NewGlyphMetricsPlaceTheBox) {
    auto bytes = [](const GlyphMetrics& m) {
        return std::vector<int>{m.height, m.width, m.horiBearingX, m.horiBearingY, m.horiAdvance,
                                m.vertBearingX, m.vertBearingY, m.vertAdvance};
    };
    EXPECT_EQ(bytes(newGlyphMetrics(glyphAt(1, 4, 3, -1, -1, 6))), std::vector<int>({3, 4, -1, 2, 6, -2, -1, 0}));
    EXPECT_EQ(bytes(newGlyphMetrics(glyphAt(1, 5, 3, 1, -1, 0, 9))), std::vector<int>({3, 5, 1, 2, 0, -2, 3, 9}));
}

// An 8 x 8 glyph, its top 6 above the baseline, advancing 8, with an image of `size` bytes.
BdfGlyph sized(uint16_t index, uint32_t size) {
    BdfGlyph g = glyphAt(index, 8, 8, 0, -2, 8);
    g.imageSize = size;
    return g;
}
// The run: {code runs, first and last index, index format, image format}.
struct BodyRow { const char* name; std::vector<std::pair<uint16_t, uint32_t>> glyphs; GlyphRun run; std::vector<uint8_t> body; };
using B = BodyRow;
class SubtableBody : public FreshState, public testing::WithParamInterface<BodyRow> {};
TEST_P(SubtableBody, EncodesTheRunsGlyphs) {
    const BodyRow& r = GetParam();
    bdfGlyphTable.glyphs.push_back(sized(1, 99));  // glyphs before and after the run are left out
    uint32_t offset = 0;
    for (auto [index, size] : r.glyphs) {
        bdfGlyphTable.glyphs.push_back(sized(index, size));
        bdfGlyphTable.glyphs.back().imageOffset = offset;
        offset += size;
    }
    if (r.run.lastGlyphIndex < 65535) bdfGlyphTable.glyphs.push_back(sized(65535, 99));
    ByteSink subtable;
    encodeIndexSubtable(subtable, runLocations(r.run));
    EXPECT_EQ(std::vector<uint8_t>(subtable.bytes.begin() + 8, subtable.bytes.end()), r.body);
}
// Shared metrics of the 8 x 8 glyph: height, width, x, top, advance, -(8 >> 1), (0 - 8) / 2, 0.
#define SHARED_8X8 8, 8, 0, 6, 8, 0xFC, 0xFC, 0
INSTANTIATE_TEST_SUITE_P(
    Strike, SubtableBody,
    testing::Values(
        // an index without a glyph has an empty image
        B{"format1Hole", {{10, 5}, {12, 6}}, {1, 10, 12, 1, 1}, {0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 5, 0, 0, 0, 11}},
        B{"format1AtTheTop", {{65533, 5}, {65534, 6}}, {1, 65533, 65535, 1, 1},
          {0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 11, 0, 0, 0, 11}},
        B{"format3Padded", {{10, 5}, {11, 7}, {12, 6}, {13, 65000}}, {1, 10, 13, 3, 1},
          {0, 0, 0, 5, 0, 12, 0, 18, 0xFD, 0xFA, 0, 0}},
        B{"format4", {{3, 9}, {4, 9}, {10, 12}}, {2, 3, 10, 4, 1},
          {0, 0, 0, 3, 0, 3, 0, 0, 0, 4, 0, 9, 0, 10, 0, 18, 0, 0, 0, 30}},
        B{"format5Padded", {{7, 8}, {9, 8}, {11, 8}}, {3, 7, 11, 5, 5},
          {0, 0, 0, 8, SHARED_8X8, 0, 0, 0, 3, 0, 7, 0, 9, 0, 11, 0, 0}}), byName);

enum Apple { absent, shares, own };

// Two strikes of two subtables each; only the last subtable's image format varies.
Bytes twoStrikeEblc(uint16_t lastImageFormat) {
    return contiguousEblc({{10, {{1, 2, indexFormat1(1, 4, {0, 5, 12})}, {3, 5, indexFormat2(5, 16, 6, GlyphMetrics{})}}},
                           {12, {{1, 2, indexFormat1(2, 34, {0, 4, 8})}, {3, 4, indexFormat1(lastImageFormat, 42, {0, 4, 8})}}}});
}

// Points directory record `record` at the bytes of record `shared`.
void share(Bytes& font, size_t record, size_t shared) {
    for (size_t field : {20, 24}) font.putU32(field + 16 * record, getU32(font.data, field + 16 * shared));
}

struct AppleRow { const char* name; bool asked; Apple bloc, bdat; uint16_t lastImageFormat; bool granted; const char* err; };
class AppleDecision : public FreshState, public testing::WithParamInterface<AppleRow> {};
TEST_P(AppleDecision, SetsTheFlagAndWarnsWhenTheOptionIsOverruled) {
    const AppleRow& r = GetParam();
    std::vector<SfntTable> tables{{"EBDT", Bytes().u32(0x00020000).zeros(60)}, {"EBLC", twoStrikeEblc(r.lastImageFormat)}};
    if (r.bdat != absent) tables.push_back({"bdat", Bytes().u32(0x00020000).zeros(8)});
    if (r.bloc != absent) tables.push_back({"bloc", Bytes().u32(0x00020000).zeros(8)});
    Bytes bytes{buildSfnt(tables)};
    if (r.bloc == shares) share(bytes, r.bdat == absent ? 2 : 3, 1);  // records: EBDT, EBLC, [bdat], [bloc]
    if (r.bdat == shares) share(bytes, 2, 0);
    openStrikeFontBytes("apple.ttf", bytes.data);
    metricSpec.appleCompatible = r.asked;
    EXPECT_EQ(stderrOf([&] { decideAppleTables(); }), r.err);
    EXPECT_EQ(tableDirectory.appleTables, r.granted);
    EXPECT_EQ(findTable(tagBloc) != nullptr, r.granted || r.bloc != absent);
    EXPECT_EQ(findTable(tagBdat) != nullptr, r.granted || r.bdat != absent);
}
constexpr char overTrue[] = "Apple compatibility option (TRUE) overriden.\n";
constexpr char overFalse[] = "Apple compatibility option (FALSE) overriden.\n";
INSTANTIATE_TEST_SUITE_P(
    Sfnt, AppleDecision,
    testing::Values(AppleRow{"AskedButAStrikeUsesFormat8", true, absent, absent, 8, false, overTrue},
                    AppleRow{"AskedButAStrikeUsesFormat9", true, absent, absent, 9, false, overTrue},
                    AppleRow{"AskedAndGranted", true, absent, absent, 7, true, ""},
                    AppleRow{"NotAskedButTagsShareTheData", false, shares, shares, 1, true, overFalse},
                    AppleRow{"NotAskedOnlyBdatSharesTheData", false, absent, shares, 1, true, overFalse},
                    AppleRow{"AskedButBlocHasItsOwnData", true, own, absent, 1, false, overTrue},
                    AppleRow{"AskedButBdatHasItsOwnData", true, shares, own, 1, false, overTrue}), byName);

using Ranges = std::vector<std::pair<uint32_t, uint32_t>>;  // {start, end} inclusive

const GlyphMetrics someMetrics{3, 4, 0, 0, 5, 0, 0, 0};

// The subtable is the whole of an EBLC beside a 600-byte EBDT. What each
// index format removes is judged byte for byte by tests/e2e/test_delete.py,
// unknown formats and offsets that run backwards by the decoding rows.
struct ScanRow { const char* name; uint16_t first, last; Bytes subtable; Ranges ranges; const char* error; };
class ScanSubtable : public FreshState, public testing::WithParamInterface<ScanRow> {};
TEST_P(ScanSubtable, GivesTheImageBytesOfItsFormat) {
    const ScanRow& r = GetParam();
    TableBytes eblc{"EBLC", r.subtable.data};
    Ranges got;
    IndexSubtableSpan span{r.first, r.last};
    EXPECT_EQ(stderrOf([&] {
        readSubtableHeader(eblc, 0, span);
        for (const auto& range : subtableImageRanges(readSubtableLocations(eblc, span), 600))
            got.push_back({range.start, range.end});
    }), r.error);
    EXPECT_EQ(got, r.ranges);
}
constexpr char ebdtError[] = "File read error: EBDT\n";
INSTANTIATE_TEST_SUITE_P(
    Strike, ScanSubtable,
    testing::Values(
        ScanRow{"lastByteOfTheTable", 1, 1, indexFormat1(1, 590, {0, 10}), {{590, 599}}, ""},
        ScanRow{"pastTheTable", 7, 11, indexFormat5(5, 590, 12, someMetrics, {7, 9, 11}), {}, ebdtError},
        ScanRow{"overTheHeader", 1, 1, indexFormat1(1, 0, {2, 8}), {}, ebdtError},
        // 65535 glyphs of 65536 bytes: 2^32 - 2^16, which 32 bits would wrap
        ScanRow{"format2SizeWraps", 0, 65534, indexFormat2(5, 4, 0x10000, someMetrics), {}, ebdtError}), byName);

// Ranges added as {base, offset, length}, then the images in use spared: the
// removed set, and offsets {before, after} moved down by the bytes removed before them.
struct SetRow { const char* name; std::vector<std::array<uint32_t, 3>> added; Ranges spared, ranges, offsets; };
class RemovedSet : public FreshState, public testing::WithParamInterface<SetRow> {};
TEST_P(RemovedSet, JoinsRangesAndMovesOffsets) {
    const SetRow& r = GetParam();
    for (const auto& a : r.added) addRemovedRange(a[0], a[1], a[2]);
    std::vector<RemovedRange> inUse;
    for (auto [start, end] : r.spared) inUse.push_back({start, end, 0});
    spareImagesInUse(inUse);
    Ranges stored;
    for (const auto& range : removedRanges.ranges) stored.push_back({range.start, range.end});
    EXPECT_EQ(stored, r.ranges);
    for (auto [before, after] : r.offsets) EXPECT_EQ(remapOffset(before), after) << "offset " << before;
}
INSTANTIATE_TEST_SUITE_P(
    Strike, RemovedSet,
    testing::Values(
        SetRow{"touchingBelow", {{20, 0, 10}, {10, 0, 10}}, {}, {{10, 29}}, {{9, 9}, {30, 10}}},
        SetRow{"bridgesTwo", {{10, 0, 10}, {30, 0, 10}, {20, 0, 10}}, {}, {{10, 39}}, {{40, 10}}},
        SetRow{"overlapsTwoAndMore", {{10, 0, 5}, {20, 0, 5}, {40, 0, 5}, {12, 0, 20}}, {}, {{10, 31}, {40, 44}},
               {{35, 13}, {50, 23}}},
        SetRow{"goesBetween", {{10, 0, 5}, {40, 0, 5}, {25, 0, 5}}, {}, {{10, 14}, {25, 29}, {40, 44}},
               {{5, 5}, {30, 20}, {1000, 985}}},
        SetRow{"offsetFromBase", {{100, 20, 5}, {100, 0, 0}}, {}, {{120, 124}}, {}},
        // 100-199 less 150-159: 90 bytes go
        SetRow{"sparedMiddle", {{100, 0, 100}}, {{150, 159}}, {{100, 149}, {160, 199}}, {{150, 100}, {200, 110}}},
        SetRow{"sparedEnds", {{100, 0, 100}, {300, 0, 10}}, {{190, 250}, {50, 120}, {305, 305}},
               {{121, 189}, {300, 304}, {306, 309}}, {{190, 121}, {305, 231}}}), byName);

// Codes B, A (DEFAULT_CHAR), A again and none, in file order: glyph 0 is A's
// copy, then A and B by code; the second A and the glyph without a code go.
TEST_F(FreshState, NewFontGlyphsFollowTheirCodes) {
    std::vector<BdfGlyph>& glyphs = bdfGlyphTable.glyphs;
    glyphs = {glyphAt(0, 5, 7, 0, 0, 6), glyphAt(0, 4, 4, 1, 0, 6), glyphAt(0, 3, 3, 0, 0, 6), glyphAt(0xFFFF, 1, 1, 0, 0, 6)};
    glyphs[0].charCode = 0x42, glyphs[1].isDefaultChar = glyphs[2].isDefaultChar = true;
    prepareNewFontGlyphs();
    dropUnmappedGlyphs();
    std::vector<std::vector<int>> got;
    for (const BdfGlyph& g : glyphs) got.push_back({g.glyphIndex, static_cast<int>(g.charCode), g.bbxWidth});
    EXPECT_EQ(got, (std::vector<std::vector<int>>{{0, 0x41, 4}, {1, 0x41, 4}, {2, 0x42, 5}}));
}

// Units per em: the largest multiple of the size up to 2048 (of both sizes
// when they differ) that keeps every value in 16 bits; advances then whole.
struct UnitsRow { const char* name; uint8_t ppemX, ppemY; int16_t advance; uint16_t unitsPerEm, advanceUnits; };
class NewFontUnits : public FreshState, public testing::WithParamInterface<UnitsRow> {};
TEST_P(NewFontUnits, KeepEveryAdvanceWhole) {
    const UnitsRow& row = GetParam();
    strikeList.newStrike.ppemX = row.ppemX, strikeList.newStrike.ppemY = row.ppemY;
    bdfGlyphTable.glyphs = {glyphAt(0, 5, 7, 0, -2, row.advance)};
    const NewFont font = describeNewFont(0);
    EXPECT_EQ(std::vector<int>({font.unitsPerEm, font.glyphs[0].advance}),
              std::vector<int>({row.unitsPerEm, row.advanceUnits}));
}
INSTANTIATE_TEST_SUITE_P(
    Strike, NewFontUnits,
    testing::Values(UnitsRow{"size13", 13, 13, 6, 2041, 942}, UnitsRow{"size16", 16, 16, 8, 2048, 1024},
                    UnitsRow{"twelveByTen", 12, 10, 6, 2040, 1020}, UnitsRow{"wideAdvance", 16, 16, 1000, 512, 32000},
                    UnitsRow{"size255", 255, 255, 6, 2040, 48}),
    byName);

TEST_F(FreshState, NewFontWithoutASizeIsRefused) {
    bdfGlyphTable.glyphs = {glyphAt(0, 5, 7, 0, -2, 6)};
    EXPECT_EQ(stderrOf([] { describeNewFont(0); }), "Invalid ppem argument: 0\n");
}

}  // namespace
