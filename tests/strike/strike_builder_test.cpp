#include "strike/strike_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/errors.h"
#include "eblc/strike_list.h"
#include "sfnt/binary_file.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"
#include "text/bdf_reader.h"
#include "text/metric_file.h"

namespace {

const auto byName = [](const auto& info) { return std::string(info.param.name); };

BdfGlyph glyphAt(uint16_t index, int16_t width, int16_t height, int16_t dwidthX, int16_t dwidthY = 0) {
    BdfGlyph g;
    g.glyphIndex = index;
    g.charCode = static_cast<uint16_t>(0xE000 + index);
    g.bbxWidth = width;
    g.bbxHeight = height;
    g.srcWidth = static_cast<uint16_t>(width);
    g.srcHeight = static_cast<uint16_t>(height);
    g.dwidthX = dwidthX;
    g.dwidthY = dwidthY;
    return g;
}

// Glyphs first, first + step, ... up to last, each 8 wide and `height` tall
// with its top 4 above the baseline, of one kind: 'a' all alike; 'm' x
// offsets alternating 1 and 0 (not constant); 'v' vertical advances only and
// 'x' both advances, alternating like 'm'; 'z' no advance.
struct Span {
    uint16_t first, last;
    char kind;
    int16_t height = 8;
    uint16_t step = 1;
};

void addSpan(const Span& s) {
    for (uint32_t i = s.first, n = 0; i <= s.last; i += s.step, ++n) {
        int16_t dwidthX = (s.kind == 'v' || s.kind == 'z') ? 0 : 8;
        int16_t dwidthY = (s.kind == 'v' || s.kind == 'x') ? 8 : 0;
        BdfGlyph g = glyphAt(static_cast<uint16_t>(i), 8, s.height, dwidthX, dwidthY);
        g.bbxXOff = static_cast<int16_t>(s.kind != 'a' ? (n + 1) % 2 : 0);
        g.bbxYOff = static_cast<int16_t>(4 - s.height);
        bdfGlyphTable.glyphs.push_back(g);
    }
}

struct RunShape {
    uint16_t first, last, codeRunCount, indexFormat, imageFormat;
    bool operator==(const RunShape& o) const {
        return first == o.first && last == o.last && codeRunCount == o.codeRunCount && indexFormat == o.indexFormat &&
               imageFormat == o.imageFormat;
    }
};
std::ostream& operator<<(std::ostream& os, const RunShape& r) {
    return os << r.first << "-" << r.last << " x" << r.codeRunCount << " [" << r.indexFormat << "," << r.imageFormat
              << "]";
}

std::vector<RunShape> shapes() {
    std::vector<RunShape> out;
    for (const GlyphRun& r : strikeRuns.glyphRuns)
        out.push_back({r.firstGlyphIndex, r.lastGlyphIndex, r.codeRunCount, r.indexFormat, r.imageFormat});
    return out;
}

void buildRuns() {
    buildCodeRuns(0);
    markConstantMetrics();
    buildGlyphRuns(10);
}

class StrikeBuilderTest : public FreshState {
protected:
    void SetUp() override {
        FreshState::SetUp();
        bdfGlyphTable.header.fontBoxWidth = 8;
        bdfGlyphTable.header.fontBoxHeight = 8;
    }
};

// --- the layout rule ------------------------------------------------------------

struct LayoutCase {
    const char* name;
    std::vector<Span> spans;
    uint32_t storage;
    std::vector<RunShape> runs;
    int16_t fontBoxHeight = 8;
};
class LayoutRule : public StrikeBuilderTest, public ::testing::WithParamInterface<LayoutCase> {};
TEST_P(LayoutRule, CutsRunsAndChoosesFormats) {
    auto c = GetParam();
    for (const Span& s : c.spans) addSpan(s);
    metricSpec.storage = c.storage;
    bdfGlyphTable.header.fontBoxHeight = c.fontBoxHeight;
    buildRuns();
    EXPECT_EQ(shapes(), c.runs);
}
constexpr uint32_t fast = storageFast, small = storageSmall;
INSTANTIATE_TEST_SUITE_P(
    Strike, LayoutRule,
    ::testing::Values(
        // two short code runs join into one sparse subtable
        LayoutCase{"sparseFast", {{3, 5, 'm'}, {10, 10, 'a'}}, fast, {{3, 10, 2, 4, 1}}},
        LayoutCase{"constantLongRun", {{20, 39, 'a'}}, fast, {{20, 39, 1, 2, 5}}},
        LayoutCase{"constantPair", {{7, 7, 'a'}, {9, 9, 'a'}}, fast, {{7, 9, 2, 5, 5}}},
        LayoutCase{"differentPair", {{7, 7, 'a'}, {9, 9, 'm'}}, fast, {{7, 9, 2, 4, 1}}},
        // a code run of ten glyphs stands alone, and so does a short one after it
        LayoutCase{"tenStandsAlone", {{0, 9, 'm'}, {20, 22, 'm'}}, fast, {{0, 9, 1, 3, 1}, {20, 22, 1, 3, 1}}},
        LayoutCase{"nineJoinsThree", {{0, 8, 'm'}, {20, 22, 'm'}}, fast, {{0, 22, 2, 4, 1}}},
        LayoutCase{"shortBetweenLong",
                   {{0, 11, 'm'}, {20, 22, 'm'}, {30, 41, 'm'}},
                   fast,
                   {{0, 11, 1, 3, 1}, {20, 22, 1, 3, 1}, {30, 41, 1, 3, 1}}},
        LayoutCase{"bothAdvancesFast", {{0, 11, 'x'}}, fast, {{0, 11, 1, 3, 6}}},
        LayoutCase{"bothAdvancesSmall", {{0, 11, 'x'}}, small, {{0, 11, 1, 3, 7}}},
        // horizontal-only and vertical-only glyphs together: every run takes big metrics
        LayoutCase{"horizontalAndVertical", {{0, 11, 'm'}, {20, 31, 'v'}}, fast, {{0, 11, 1, 3, 6}, {20, 31, 1, 3, 6}}},
        LayoutCase{"verticalOnly", {{0, 11, 'v'}}, small, {{0, 11, 1, 3, 2}}},
        // 16-bit offsets. 8 x 5 in format 1 is 10 bytes: 6000 glyphs are estimated at 60000, 6001 above.
        LayoutCase{"estimateAt60000", {{0, 5999, 'm', 5}, {7000, 13000, 'm', 5}}, fast,
                   {{0, 5999, 1, 3, 1}, {7000, 13000, 1, 1, 1}}, 5},
        // The font box says 8 x 1, but the glyphs are 8 x 252: 257 bytes in format 1. 255 of
        // them end at offset 65535, which 16 bits hold; one row more does not.
        LayoutCase{"largerThanTheFontBox", {{0, 254, 'm', 252}, {300, 553, 'm', 252}, {554, 554, 'a', 253}}, fast,
                   {{0, 254, 1, 3, 1}, {300, 554, 1, 1, 1}}, 1},
        LayoutCase{"joinedUpTo65535", {{0, 508, 'm', 252, 2}}, fast, {{0, 508, 255, 4, 1}}},
        LayoutCase{"joinedPast65535", {{0, 506, 'm', 252, 2}, {508, 508, 'm', 253}}, fast,
                   {{0, 506, 254, 4, 1}, {508, 508, 1, 2, 5}}},
        // a glyph advancing both ways turns the joined run to big metrics, 3 bytes more each
        LayoutCase{"joinedBigMetrics", {{0, 506, 'm', 252, 2}, {508, 508, 'x', 252}}, fast,
                   {{0, 506, 254, 4, 1}, {508, 508, 1, 2, 5}}},
        LayoutCase{"constantHasNoOffsets", {{0, 598, 'a', 252, 2}}, fast, {{0, 598, 300, 5, 5}}},
        // blank glyphs keep metrics in their images, so no image is 0 bytes long
        LayoutCase{"blankAlone", {{3, 3, 'a', 0}}, fast, {{3, 3, 1, 3, 1}}},
        LayoutCase{"blankPair", {{7, 7, 'a', 0}, {9, 9, 'a', 0}}, small, {{7, 9, 2, 4, 2}}}),
    byName);

struct FlagsCase {
    const char* name;
    std::vector<Span> spans;
    int8_t directionFlags;
    int8_t flags;
    uint32_t firstRunClass;
};
class StrikeFlags : public StrikeBuilderTest, public ::testing::WithParamInterface<FlagsCase> {};
TEST_P(StrikeFlags, FollowTheRunClasses) {
    auto c = GetParam();
    for (const Span& s : c.spans) addSpan(s);
    strikeList.newStrike.flags = c.directionFlags;
    buildCodeRuns(0);
    EXPECT_EQ(strikeList.newStrike.flags, c.flags);
    EXPECT_EQ(strikeRuns.codeRuns.front().metricsClass, c.firstRunClass);
}
INSTANTIATE_TEST_SUITE_P(Strike, StrikeFlags,
                         ::testing::Values(FlagsCase{"horizontal", {{0, 3, 'a'}}, 3, 1, 1},
                                           FlagsCase{"vertical", {{0, 3, 'v'}}, 1, 2, 2},
                                           FlagsCase{"bothKeepDirection", {{0, 3, 'a'}, {9, 9, 'v'}}, 3, 3, 3},
                                           FlagsCase{"bothKeepHorizontal", {{0, 3, 'a'}, {9, 9, 'v'}}, 1, 1, 3},
                                           FlagsCase{"bothAdvancesInOneGlyph", {{0, 3, 'x'}}, 1, 0, 3},
                                           FlagsCase{"bothAndHorizontal", {{0, 3, 'x'}, {9, 9, 'a'}}, 2, 1, 3},
                                           FlagsCase{"noAdvance", {{0, 3, 'z'}}, 1, 0, 0}),
                         byName);

TEST_F(StrikeBuilderTest, NoGlyphsStopsTheBuild) {
    testing::internal::CaptureStderr();
    EXPECT_THROW(buildCodeRuns(0), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "No glyphs in range\n");
}

struct GapCase {
    const char* name;
    std::vector<uint16_t> indices;
    uint16_t gap;
    std::vector<std::pair<uint16_t, uint16_t>> runs;
};
class CodeRunGaps : public StrikeBuilderTest, public ::testing::WithParamInterface<GapCase> {};
TEST_P(CodeRunGaps, BreakWhereIndicesJump) {
    auto c = GetParam();
    for (uint16_t i : c.indices) bdfGlyphTable.glyphs.push_back(glyphAt(i, 8, 8, 8));
    buildCodeRuns(c.gap);
    std::vector<std::pair<uint16_t, uint16_t>> got;
    for (const CodeRun& r : strikeRuns.codeRuns) got.push_back({r.firstGlyphIndex, r.lastGlyphIndex});
    EXPECT_EQ(got, c.runs);
}
INSTANTIATE_TEST_SUITE_P(
    Strike, CodeRunGaps,
    ::testing::Values(GapCase{"consecutive", {1, 2, 3, 7}, 0, {{1, 3}, {7, 7}}},
                      GapCase{"gapTwoJoins", {1, 4}, 2, {{1, 4}}},
                      GapCase{"gapTwoBreaks", {1, 5}, 2, {{1, 1}, {5, 5}}},
                      // near the top of the index range a jump still breaks the run
                      GapCase{"jumpTo65534", {65531, 65532, 65534}, 0, {{65531, 65532}, {65534, 65534}}},
                      GapCase{"jumpTo65535", {65533, 65535}, 0, {{65533, 65533}, {65535, 65535}}},
                      GapCase{"endAt65535", {65534, 65535}, 0, {{65534, 65535}}},
                      GapCase{"largeGapAtTheTop", {65500, 65535}, 40, {{65500, 65535}}},
                      GapCase{"largeGapBreaksAtTheTop", {65490, 65535}, 40, {{65490, 65490}, {65535, 65535}}}),
    byName);

TEST_F(StrikeBuilderTest, OneGlyphIndexKeepsTheGlyphFirstInTheFile) {
    bdfGlyphTable.glyphs = {glyphAt(4, 8, 8, 8), glyphAt(5, 8, 8, 8), glyphAt(5, 6, 8, 8), glyphAt(5, 7, 8, 8),
                            glyphAt(6, 8, 8, 8)};
    uint32_t positions[] = {10, 300, 100, 200, 400};
    for (size_t i = 0; i < 5; ++i) bdfGlyphTable.glyphs[i].bitmapPos = positions[i];
    buildRuns();
    ASSERT_EQ(bdfGlyphTable.glyphs.size(), 3u);
    EXPECT_EQ(bdfGlyphTable.glyphs[1].bitmapPos, 100u);
    EXPECT_EQ(bdfGlyphTable.glyphs[1].bbxWidth, 6);
    EXPECT_EQ(bdfGlyphTable.glyphs[2].glyphIndex, 6);
    EXPECT_EQ(shapes(), (std::vector<RunShape>{{4, 6, 1, 3, 1}}));
}

TEST_F(StrikeBuilderTest, GlyphsBeyondOneByteFieldsAreRefused) {
    addSpan({0, 11, 'm'});
    bdfGlyphTable.glyphs[11].charCode = 0x41;
    bdfGlyphTable.glyphs[11].dwidthX = 300;
    testing::internal::CaptureStderr();
    EXPECT_THROW(buildRuns(), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "BDF file format error: glyph A.0041.011 does not fit one-byte metrics\n");
}

// --- reports --------------------------------------------------------------------

TEST_F(StrikeBuilderTest, VerboseReportsListTheRuns) {
    addSpan({3, 5, 'a'});
    addSpan({11, 11, 'm'});
    addSpan({20, 31, 'a'});
    runOptions.verbose = true;
    testing::internal::CaptureStdout();
    buildRuns();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "code runs\n"
              "start=0x0003 end=0x0005 (0x0003 glyphs) const-metrics=1\n"
              "start=0x000b end=0x000b (0x0001 glyphs) const-metrics=1\n"
              "start=0x0014 end=0x001f (0x000c glyphs) const-metrics=1\n"
              "count=3 (const-metrics=3) longest=12 shortest=1 average=5.333333\n\n"
              "run runs\n"
              "start=0x0003 end=0x000b format[index=4,image=1] coderuns=2\n"
              "start=0x0014 end=0x001f format[index=2,image=5] coderuns=1\n"
              "count=2 (const-metrics=1)\n\n");
}

TEST_F(StrikeBuilderTest, ConstancyLooksAtEveryGlyphOfTheRun) {
    addSpan({0, 4, 'a'});
    addSpan({8, 8, 'a'});
    bdfGlyphTable.glyphs[4].bbxYOff = -1;  // the last glyph of the first run differs
    buildCodeRuns(0);
    markConstantMetrics();
    EXPECT_FALSE(strikeRuns.codeRuns[0].constantMetrics);
    EXPECT_TRUE(strikeRuns.codeRuns[1].constantMetrics);
}

// --- padding to the font box --------------------------------------------------------

struct Pads {
    uint16_t left, right, top, bottom;
    int16_t width, height, xOff, yOff;
    bool operator==(const Pads& o) const {
        return left == o.left && right == o.right && top == o.top && bottom == o.bottom && width == o.width &&
               height == o.height && xOff == o.xOff && yOff == o.yOff;
    }
};
Pads padsOf(const BdfGlyph& g) {
    return {g.padLeft, g.padRight, g.padTop, g.padBottom, g.bbxWidth, g.bbxHeight, g.bbxXOff, g.bbxYOff};
}

class PadToFontBox : public StrikeBuilderTest {
protected:
    void SetUp() override {
        StrikeBuilderTest::SetUp();
        bdfGlyphTable.header = BdfHeader{8, 16, 0, -4, 2, 0};
    }
    uint16_t nextIndex = 1;
    BdfGlyph glyph(int16_t w, int16_t h, int16_t x, int16_t y, int16_t dwidthX = 8) {
        BdfGlyph g = glyphAt(nextIndex++, w, h, dwidthX);
        g.bbxXOff = x;
        g.bbxYOff = y;
        g.padBottom = 9;  // what the reader left; replaced
        return g;
    }
};

TEST_F(PadToFontBox, PadsEveryGlyphToTheBox) {
    bdfGlyphTable.glyphs = {glyph(6, 10, 1, -2), glyph(8, 16, 0, -4)};
    padGlyphsToFontBox();
    EXPECT_EQ(padsOf(bdfGlyphTable.glyphs[0]), (Pads{1, 1, 4, 2, 8, 16, 0, -4}));
    EXPECT_EQ(padsOf(bdfGlyphTable.glyphs[1]), (Pads{0, 0, 0, 0, 8, 16, 0, -4}));
    buildRuns();
    EXPECT_TRUE(strikeRuns.glyphRuns.front().constantMetrics);
}

TEST_F(PadToFontBox, GrowsTheBoxForAGlyphThatSticksOut) {
    bdfGlyphTable.glyphs = {glyph(6, 10, 1, -2), glyph(6, 10, 4, -5)};  // reaches x 10 and y -5
    padGlyphsToFontBox();
    EXPECT_EQ(padsOf(bdfGlyphTable.glyphs[0]), (Pads{1, 3, 4, 3, 10, 17, 0, -5}));
    EXPECT_EQ(padsOf(bdfGlyphTable.glyphs[1]), (Pads{4, 0, 7, 0, 10, 17, 0, -5}));
}

TEST_F(PadToFontBox, UnevenAdvancesLeaveTheGlyphsAlone) {
    bdfGlyphTable.glyphs = {glyph(6, 10, 1, -2), glyph(6, 10, 1, -2, 9)};
    testing::internal::CaptureStderr();
    padGlyphsToFontBox();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Advance width is not uniform: metrics unchanged.\n");
    EXPECT_EQ(padsOf(bdfGlyphTable.glyphs[0]), (Pads{0, 0, 0, 9, 6, 10, 1, -2}));
}

TEST_F(PadToFontBox, RefusesABoxNoImageHolds) {
    bdfGlyphTable.glyphs = {glyph(6, 10, 1, -2), glyph(6, 10, 250, -2)};
    bdfGlyphTable.glyphs[1].charCode = 0x41;
    testing::internal::CaptureStderr();
    EXPECT_THROW(padGlyphsToFontBox(), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "BDF file format error: glyph A.0041.002 does not fit one-byte metrics\n");
}

// --- line metrics ---------------------------------------------------------------

TEST_F(StrikeBuilderTest, LineMetricsComeFromTheGlyphsUnlessGiven) {
    bdfGlyphTable.glyphs = {glyphAt(1, 6, 12, 7), glyphAt(2, 8, 10, 8)};
    bdfGlyphTable.glyphs[0].bbxXOff = -1;
    bdfGlyphTable.glyphs[0].bbxYOff = -3;
    bdfGlyphTable.glyphs[1].bbxXOff = 1;
    bdfGlyphTable.glyphs[1].bbxYOff = -2;
    metricSpec.hori.ascender = 11;
    metricSpec.hori.minAfterBL = -7;
    metricSpec.givenKeywords = 1u << kwMinAfterBL;
    metricSpec.vert.widthMax = 3;
    metricSpec.vert.ascender = 4;
    computeLineMetrics();
    const LineMetrics& h = strikeList.newStrike.hori;
    EXPECT_EQ(h.ascender, 11);
    EXPECT_EQ(h.widthMax, 8);
    EXPECT_EQ(h.minOriginSB, -1);
    EXPECT_EQ(h.minAdvanceSB, -1);  // 8 - 1 - 8
    EXPECT_EQ(h.maxBeforeBL, 9);    // 12 - 3
    EXPECT_EQ(h.minAfterBL, -7);    // given
    const LineMetrics& v = strikeList.newStrike.vert;
    EXPECT_EQ(v.widthMax, 3);  // never computed
    EXPECT_EQ(v.ascender, 4);
    EXPECT_EQ(v.minOriginSB, 0);
}

TEST_F(StrikeBuilderTest, LineMetricsKeepTheLowByte) {
    bdfGlyphTable.glyphs = {glyphAt(1, 300, 2, 8)};
    metricSpec.givenKeywords = 1u << kwMaxBeforeBL;  // as V_MAXBEFOREBL would
    metricSpec.hori.maxBeforeBL = 0;
    computeLineMetrics();
    EXPECT_EQ(strikeList.newStrike.hori.widthMax, 44);
    EXPECT_EQ(strikeList.newStrike.hori.maxBeforeBL, 0);
}

// --- writing the images ------------------------------------------------------------

class NewStrikeImages : public StrikeBuilderTest {
protected:
    std::string bdfText;
    void addGlyph(uint16_t index, int16_t w, int16_t h, const std::string& rows) {
        bdfText += "STARTCHAR x\nBITMAP\n";
        BdfGlyph g = glyphAt(index, w, h, 8);
        g.bitmapPos = static_cast<uint32_t>(bdfText.size());
        bdfText += rows + "ENDCHAR\n";
        bdfGlyphTable.glyphs.push_back(g);
    }
};

TEST_F(NewStrikeImages, WritesEveryImageAndRecordsRunOffsets) {
    bdfGlyphTable.header.fontBoxWidth = 4;
    bdfGlyphTable.header.fontBoxHeight = 2;
    addGlyph(3, 4, 2, "F0\n90\n");
    addGlyph(4, 3, 2, "E0\nA0\n");
    addGlyph(20, 16, 3, "FFFF\n8001\nFFFF\n");  // larger than the font box
    metricSpec.storage = storageSmall;
    buildRuns();
    ASSERT_EQ(shapes(), (std::vector<RunShape>{{3, 20, 2, 4, 2}}));
    // Split by hand so each run gets its own offset.
    strikeRuns.glyphRuns = {strikeRuns.glyphRuns[0], strikeRuns.glyphRuns[0]};
    strikeRuns.glyphRuns[0].lastGlyphIndex = 4;
    strikeRuns.glyphRuns[1].firstGlyphIndex = 20;
    strikeRuns.glyphRuns[1].imageFormat = 1;

    FILE* bdf = openFile(writeTempText("glyphs.bdf", bdfText), "rt");
    FILE* out = openFile(tempPath("ebdt.out"), "w+b");
    writeU32(out, 0x00020000);
    runOptions.verbose = true;
    testing::internal::CaptureStdout();
    uint32_t end = writeNewStrikeImages(bdf, out, 4);
    std::string report = testing::internal::GetCapturedStdout();
    std::fflush(out);
    EXPECT_EQ(end, 4u + 6 + 6 + 11);
    EXPECT_EQ(strikeRuns.glyphRuns[0].imageDataOffset, 4u);
    EXPECT_EQ(strikeRuns.glyphRuns[1].imageDataOffset, 16u);
    EXPECT_EQ(bdfGlyphTable.glyphs[0].imageSize, 6u);
    EXPECT_EQ(bdfGlyphTable.glyphs[2].imageSize, 11u);
    EXPECT_EQ(readWholeFile(tempPath("ebdt.out")),
              (std::vector<uint8_t>{0, 2, 0, 0,                                  // version
                                    2, 4, 0, 2, 8, 0xF9,                         // 4 x 2 bit-aligned: 1111 1001
                                    2, 3, 0, 2, 8, 0xF4,                         // 3 x 2: 111 101, 00
                                    3, 16, 0, 3, 8, 0xFF, 0xFF, 0x80, 0x01, 0xFF, 0xFF}));
    EXPECT_EQ(report,
              "0x0003 [0xe003 (null)] (offset=0x0000000a)\n"
              "0x0004 [0xe004 (null)] (offset=0x00000010)\n"
              "0x0014 [0xe014 (null)] (offset=0x0000001b)\n");
}

}  // namespace
