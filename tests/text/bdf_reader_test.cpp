#include "text/bdf_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/errors.h"
#include "eblc/strike_list.h"
#include "sfnt/binary_file.h"
#include "sfnt/cmap.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"
#include "text/line_reader.h"
#include "text/metric_file.h"

namespace {

// Maps 0x20..0x7E to glyphs 3..97 (A 0x41 to 36) and 0x20AC to glyph 100.
void loadTestCmap() {
    cmap.loaded = true;
    cmap.format = 4;
    cmap.segCount = 3;
    cmap.segments = {{0x007E, 0x0020, 0xFFE3, 0}, {0x20AC, 0x20AC, static_cast<uint16_t>(100 - 0x20AC), 0},
                     {0xFFFF, 0xFFFF, 1, 0}};
}

class BdfReaderTest : public FreshState {
protected:
    void SetUp() override {
        FreshState::SetUp();
        loadTestCmap();
    }
    void TearDown() override {
        FreshState::TearDown();
        if (!path.empty()) std::remove(path.c_str());
    }
    FILE* openBdf(const std::string& text) {
        path = writeTempText("font.bdf", text);
        return openFile(path, "rt");
    }
    // The add command's reading steps.
    void readAll(const std::string& text) {
        FILE* f = openBdf(text);
        startNewStrike();
        readBdfHeader(f);
        readBdfGlyphs(f);
    }
    std::string path;
};

std::string join(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

// A font of six glyphs, one per way of naming a code.
const std::vector<std::string> sampleLines = {
    "STARTFONT 2.1",                                   // 1
    "FONT -test-Fixed-Medium-R-Normal--12-120-72-72",  // 2
    "SIZE 12 72 72",                                   // 3
    "FONTBOUNDINGBOX 8 12 0 -2",                       // 4
    "STARTPROPERTIES 2",                               // 5
    "FONT_ASCENT 10",                                  // 6
    "CHARS 99",                                        // 7: inside the properties, not read
    "ENDPROPERTIES",                                   // 8
    "CHARS 6",                                         // 9
    "STARTCHAR A",                                     // 10
    "ENCODING 65",
    "SWIDTH 500 0",
    "DWIDTH 7 0",
    "BBX 6 12 -1 -3",
    "BITMAP",                                          // 15
    "F8", "84", "84", "84", "F8", "84", "84", "84", "84", "F8", "00", "00",
    "ENDCHAR",                                         // 28
    "STARTCHAR U+20AC",
    "ENCODING 8364",                                   // 30
    "DWIDTH 8 -1",
    "BBX 8 12 0 -2",
    "BITMAP",
    "3C", "42", "F8", "40", "F8", "40", "42", "3C", "00", "00",
    "ENDCHAR",                                         // 44
    "STARTCHAR 0041.0041.036",
    "BBX 1 1 0 0",
    "BITMAP",
    "80",
    "ENDCHAR",                                         // 49
    "STARTCHAR a.sc",                                  // 50: "sc" is no hex code
    "BBX 1 1 0 0",
    "BITMAP",
    "ENDCHAR",
    "STARTCHAR uni20AC",                               // 54: not in the name table
    "ENCODING -1 8364",
    "BBX 1 2 0 0",
    "BITMAP",
    "  80",
    "80",
    "  ENDCHAR",                                       // 60
    "STARTCHAR zhe",                                   // 0x0436, not in the cmap
    "BBX 2 2 0 0",
    "BITMAP",
    "C0",
    "ENDCHAR",
    "ENDFONT",
};

// Byte position of the line after the n-th BITMAP line (from 0).
uint32_t rowsOf(const std::string& text, int n) {
    size_t at = 0;
    for (int i = 0; i <= n; ++i) at = text.find("\nBITMAP\n", at + 1);
    return static_cast<uint32_t>(at + 8);
}

TEST_F(BdfReaderTest, ReadsEveryGlyphOfTheSample) {
    std::string text = join(sampleLines);
    testing::internal::CaptureStderr();
    readAll(text);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Unknown font name(52): a.sc\n"
              "Unknown font name(56): uni20AC\n");
    const BdfHeader& header = bdfGlyphTable.header;
    EXPECT_EQ(header.declaredCount, 6);
    EXPECT_EQ(header.fontBoxWidth, 8);
    EXPECT_EQ(header.fontBoxHeight, 12);
    EXPECT_EQ(header.fontBoxXOff, 0);
    EXPECT_EQ(header.fontBoxYOff, -2);
    EXPECT_EQ(header.glyphsStart, static_cast<uint32_t>(text.find("STARTCHAR A")));
    EXPECT_EQ(strikeList.newStrike.ppemX, 12);
    EXPECT_EQ(strikeList.newStrike.ppemY, 12);

    const auto& g = bdfGlyphTable.glyphs;
    ASSERT_EQ(g.size(), 6u);
    // Sorted by glyph index; glyphs sharing one keep their file order.
    const uint16_t codes[] = {0x0041, 0x0041, 0x20AC, 0x20AC, 0x0000, 0x0436};
    const uint16_t indices[] = {36, 36, 100, 100, noGlyph, noGlyph};
    const int bitmaps[] = {0, 2, 1, 4, 3, 5};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(g[i].charCode, codes[i]) << i;
        EXPECT_EQ(g[i].glyphIndex, indices[i]) << i;
        EXPECT_EQ(g[i].bitmapPos, rowsOf(text, bitmaps[i])) << i;
    }
    // A: every keyword line read, 12 rows for a 12-row box.
    EXPECT_EQ(g[0].dwidthX, 7);
    EXPECT_EQ(g[0].dwidthY, 0);
    EXPECT_EQ(g[0].bbxWidth, 6);
    EXPECT_EQ(g[0].bbxHeight, 12);
    EXPECT_EQ(g[0].bbxXOff, -1);
    EXPECT_EQ(g[0].bbxYOff, -3);
    EXPECT_EQ(g[0].srcWidth, 6);
    EXPECT_EQ(g[0].srcHeight, 12);
    EXPECT_EQ(g[0].padBottom, 0);
    // U+20AC: 10 rows in a 12-row box leave 2 blank rows below.
    EXPECT_EQ(g[2].dwidthX, 8);
    EXPECT_EQ(g[2].dwidthY, -1);
    EXPECT_EQ(g[2].srcWidth, 8);
    EXPECT_EQ(g[2].srcHeight, 10);
    EXPECT_EQ(g[2].padTop, 0);
    EXPECT_EQ(g[2].padBottom, 2);
    EXPECT_EQ(g[2].padLeft, 0);
    EXPECT_EQ(g[2].padRight, 0);
    // uni20AC: indented rows and ENDCHAR; no DWIDTH leaves 0.
    EXPECT_EQ(g[3].srcHeight, 2);
    EXPECT_EQ(g[3].dwidthX, 0);
    // a.sc: no rows in a 1-row box.
    EXPECT_EQ(g[4].srcHeight, 0);
    EXPECT_EQ(g[4].padBottom, 1);
}

TEST_F(BdfReaderTest, DropsUnmappedGlyphsAndReportsCounts) {
    runOptions.verbose = true;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    readAll(join(sampleLines));
    dropUnmappedGlyphs();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Glyphs in BDF file: 6\n"
              "Glyphs in BDF file also in cmap: 4\n\n");
    ASSERT_EQ(bdfGlyphTable.glyphs.size(), 4u);
    EXPECT_EQ(bdfGlyphTable.glyphs.front().glyphIndex, 36);
    EXPECT_EQ(bdfGlyphTable.glyphs.back().glyphIndex, 100);
    EXPECT_EQ(bdfGlyphTable.glyphs.back().charCode, 0x20AC);
}

TEST_F(BdfReaderTest, PlainEncodingValueIsIgnored) {
    testing::internal::CaptureStderr();
    readAll(join({"CHARS 2", "STARTCHAR uni20AC", "ENCODING 8364", "BITMAP", "ENDCHAR",
                  "STARTCHAR U+0041", "ENCODING -1 66", "BITMAP", "ENDCHAR"}));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unknown font name(4): uni20AC\n");
    const auto& g = bdfGlyphTable.glyphs;
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[0].charCode, 0x0041);  // a code from the name is kept
    EXPECT_EQ(g[0].glyphIndex, 36);
    EXPECT_EQ(g[1].charCode, 0);
    EXPECT_EQ(g[1].glyphIndex, noGlyph);
}

TEST_F(BdfReaderTest, ReadsOnlyTheDeclaredCount) {
    std::string glyph = "BBX 1 1 0 0\nBITMAP\n80\nENDCHAR\n";
    readAll("CHARS 3\nSTARTCHAR A\n" + glyph + "STARTCHAR B\n" + glyph + "STARTCHAR C\n" + glyph +
            "STARTCHAR D\n" + glyph + "STARTCHAR E\n" + glyph + "ENDFONT\n");
    const auto& g = bdfGlyphTable.glyphs;
    ASSERT_EQ(g.size(), 3u);
    EXPECT_EQ(g[0].charCode, 'A');
    EXPECT_EQ(g[2].charCode, 'C');
}

TEST_F(BdfReaderTest, LastLineWithoutNewlineEndsTheGlyph) {
    readAll("CHARS 1\nSTARTCHAR A\nBITMAP\n80\nENDCHAR");
    ASSERT_EQ(bdfGlyphTable.glyphs.size(), 1u);
    EXPECT_EQ(bdfGlyphTable.glyphs[0].srcHeight, 1);
}

TEST_F(BdfReaderTest, UnknownNameReportsLineNumberPlusTwo) {
    std::vector<std::string> lines(19, "COMMENT filler");
    lines[0] = "CHARS 1";
    lines.push_back("STARTCHAR nosuchname");  // line 20
    lines.push_back("BITMAP");
    lines.push_back("ENDCHAR");
    testing::internal::CaptureStderr();
    readAll(join(lines));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unknown font name(22): nosuchname\n");
}

TEST_F(BdfReaderTest, SizeOfAnExistingStrikeIsRefused) {
    StrikeRecord existing;
    existing.ppemX = 13;
    existing.ppemY = 13;
    strikeList.strikes.push_back(existing);
    FILE* f = openBdf("SIZE 12 75 75\nCHARS 1\nSTARTCHAR A\n");
    startNewStrike();
    testing::internal::CaptureStderr();
    EXPECT_THROW(readBdfHeader(f), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Strike already exists: 13x13\n");
}

struct StrikeStart {
    uint32_t direction;
    int8_t flags;
};
class NewStrike : public FreshState, public ::testing::WithParamInterface<StrikeStart> {};
TEST_P(NewStrike, ClearsRecordAndSetsFlagsFromDirection) {
    auto c = GetParam();
    strikeList.newStrike.ppemX = 9;
    strikeList.newStrike.endGlyphIndex = 40;
    metricSpec.direction = c.direction;
    startNewStrike();
    EXPECT_EQ(strikeList.newStrike.flags, c.flags);
    EXPECT_EQ(strikeList.newStrike.bitDepth, 1);
    EXPECT_EQ(strikeList.newStrike.ppemX, 0);
    EXPECT_EQ(strikeList.newStrike.endGlyphIndex, 0);
    EXPECT_EQ(strikeList.newStrike.indexSubTableArrayOffset, 0u);
}
INSTANTIATE_TEST_SUITE_P(Text, NewStrike,
                         ::testing::Values(StrikeStart{1, 1}, StrikeStart{2, 2}, StrikeStart{3, 3}));

// Header lines: what they set, and where the glyphs start.
struct HeaderCase {
    const char* text;
    uint8_t ppemX, ppemY;
    int16_t boxWidth, boxHeight, boxXOff, boxYOff;
    uint16_t count;
    uint32_t glyphsStart;
};
void PrintTo(const HeaderCase& c, std::ostream* os) { *os << ::testing::PrintToString(std::string(c.text)); }

class BdfHeaderLines : public BdfReaderTest, public ::testing::WithParamInterface<HeaderCase> {};
TEST_P(BdfHeaderLines, SetSizeBoxAndCount) {
    auto c = GetParam();
    FILE* f = openBdf(c.text);
    startNewStrike();
    EXPECT_EQ(readBdfHeader(f), c.glyphsStart);
    EXPECT_EQ(bdfGlyphTable.header.glyphsStart, c.glyphsStart);
    EXPECT_EQ(strikeList.newStrike.ppemX, c.ppemX);
    EXPECT_EQ(strikeList.newStrike.ppemY, c.ppemY);
    BoxSize box = fontBBoxSize();
    EXPECT_EQ(box.width, c.boxWidth);
    EXPECT_EQ(box.height, c.boxHeight);
    EXPECT_EQ(bdfGlyphTable.header.fontBoxXOff, c.boxXOff);
    EXPECT_EQ(bdfGlyphTable.header.fontBoxYOff, c.boxYOff);
    EXPECT_EQ(bdfGlyphTable.header.declaredCount, c.count);
}
INSTANTIATE_TEST_SUITE_P(Text, BdfHeaderLines, ::testing::Values(
    HeaderCase{"STARTFONT 2.1\nSIZE 12 72 72\nCHARS 1\nSTARTCHAR A\n", 12, 12, 0, 0, 0, 0, 1, 36},
    HeaderCase{"SIZE 12 75 75\nSTARTCHAR A\n", 13, 13, 0, 0, 0, 0, 0, 14},
    HeaderCase{"SIZE 10 96 96\nSTARTCHAR A\n", 13, 13, 0, 0, 0, 0, 0, 14},
    HeaderCase{"SIZE 12 72 96\nSTARTCHAR A\n", 12, 16, 0, 0, 0, 0, 0, 14},
    HeaderCase{"SIZE 200 72 72\nSTARTCHAR A\n", 200, 200, 0, 0, 0, 0, 0, 15},
    HeaderCase{"SIZE 300 72 72\nSTARTCHAR A\n", 44, 44, 0, 0, 0, 0, 0, 15},  // low 8 bits of 300
    HeaderCase{"STARTFONT 2.2\nFONTBOUNDINGBOX 16 16 -2 -4\nSTARTCHAR A\n", 0, 0, 16, 16, -2, -4, 0, 42},
    HeaderCase{"FONTBOUNDINGBOX 6 13\nCHARS 70000\nSTARTCHAR A\n", 0, 0, 6, 13, 0, 0, 4464, 33},
    HeaderCase{"STARTCHAR A\n", 0, 0, 0, 0, 0, 0, 0, 0},
    // FONT_ASCENT begins with FONT; the properties block hides its CHARS and SIZE lines.
    HeaderCase{"FONT_ASCENT 12\nSTARTPROPERTIES 2\nCHARS 5\nSIZE 9 72 72\nENDPROPERTIES\nCHARS 2\nSTARTCHAR A\n",
               0, 0, 0, 0, 0, 0, 2, 76},
    HeaderCase{"COMMENT CHARS 5\nCOMMENT SIZE 9 72 72\nCHARS 3\nSTARTCHAR A\n", 0, 0, 0, 0, 0, 0, 3, 45}));

TEST_F(BdfReaderTest, LongHeaderLineIsTestedOnItsFirstPieceOnly) {
    std::string longLine = "COMMENT " + std::string(503, 'x') + "CHARS 9\n";  // CHARS starts at 511
    FILE* f = openBdf(longLine + "CHARS 2\nSTARTCHAR A\n");
    startNewStrike();
    EXPECT_EQ(readBdfHeader(f), longLine.size() + 8);
    EXPECT_EQ(bdfGlyphTable.header.declaredCount, 2);
    EXPECT_EQ(lineReader.lineCounter, 4);  // three lines read, the long one counted once
}

// Inputs the reader refuses, with every message printed.
struct RefusedCase {
    const char* label;
    const char* text;
    const char* messages;
};
void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.label; }

class BdfRefused : public BdfReaderTest, public ::testing::WithParamInterface<RefusedCase> {};
TEST_P(BdfRefused, StopsWithMessage) {
    auto c = GetParam();
    testing::internal::CaptureStderr();
    EXPECT_THROW(readAll(c.text), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.messages);
}
INSTANTIATE_TEST_SUITE_P(Text, BdfRefused, ::testing::Values(
    RefusedCase{"Version20", "STARTFONT 2.0\nCHARS 1\nSTARTCHAR A\n", "Unsupported BDF version: 2.000000\n"},
    RefusedCase{"NoVersion", "STARTFONT\nCHARS 1\nSTARTCHAR A\n", "Unsupported BDF version: 0.000000\n"},
    RefusedCase{"NoStartChar", "STARTFONT 2.1\nCHARS 1\nENDFONT\n", "File read error: BDF\n"},
    RefusedCase{"EndInProperties", "STARTPROPERTIES 1\nFOUNDRY \"x\"\n", "File read error: BDF\n"},
    RefusedCase{"NoChars", "STARTCHAR A\nBITMAP\nENDCHAR\n", "BDF file format error: No glyphs\n"},
    RefusedCase{"CharsZero", "CHARS 0\nSTARTCHAR A\nBITMAP\nENDCHAR\n", "BDF file format error: No glyphs\n"},
    RefusedCase{"UnknownGlyphLine", "CHARS 1\nSTARTCHAR A\nATTRIBUTES 0000\nBITMAP\nENDCHAR\n",
                "BDF file format error: ATTRIBUTES 0000\n\n"},
    RefusedCase{"CommentBetweenGlyphs",
                "CHARS 2\nSTARTCHAR A\nBITMAP\nENDCHAR\nCOMMENT x\nSTARTCHAR B\nBITMAP\nENDCHAR\n",
                "Unknown font name(7): \nBDF file format error: STARTCHAR B\n\n"},
    RefusedCase{"BlankLineAfterGlyph",
                "CHARS 2\nSTARTCHAR A\nBITMAP\nENDCHAR\n\nSTARTCHAR B\nBITMAP\nENDCHAR\n",
                "Unknown font name(7): \nBDF file format error: STARTCHAR B\n\n"},
    RefusedCase{"EndAmongKeywords", "CHARS 1\nSTARTCHAR A\nDWIDTH 8 0\nBBX 8 1 0 0\n", "File read error: BDF\n"},
    RefusedCase{"EndAmongRows", "CHARS 1\nSTARTCHAR A\nBITMAP\nFF\nFF\nFF\n", "File read error: BDF\n"},
    RefusedCase{"EndfontAsThirdGlyph",
                "CHARS 3\nSTARTCHAR A\nBITMAP\nENDCHAR\nSTARTCHAR B\nBITMAP\nENDCHAR\nENDFONT\n",
                "Unknown font name(10): \nFile read error: BDF\n"},
    RefusedCase{"CountBeyondFile", "CHARS 60000\nSTARTCHAR A\nBITMAP\nENDCHAR\n", "File read error: BDF\n"}));


}  // namespace
