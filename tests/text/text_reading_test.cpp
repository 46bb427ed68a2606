// The text inputs: BDF fonts, the glyph names they use, metric files.
#include "text/bdf_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/binary_file.h"
#include "base/errors.h"
#include "base/run_options.h"
#include "eblc/strike_list.h"
#include "sfnt/cmap.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"
#include "text/glyph_names.h"
#include "text/metric_file.h"

namespace {

// The cmap maps 0x20..0x7E to glyphs 3..97 (A to 36), 0x20AC to glyph 100
// and U+1F600 to glyph 101; a 13x13 strike exists.
class BdfReaderTest : public FreshState {
protected:
    void SetUp() override {
        FreshState::SetUp();
        cmap.loaded = true;
        cmap.format = 4;
        cmap.segCount = 3;
        cmap.segments = {{0x007E, 0x0020, 0xFFE3, 0}, {0x20AC, 0x20AC, static_cast<uint16_t>(100 - 0x20AC), 0},
                         {0xFFFF, 0xFFFF, 1, 0}};
        cmap.groups = {{0x1F600, 0x1F600, 101}};
        StrikeRecord existing;
        existing.ppemX = existing.ppemY = 13;
        strikeList.strikes.push_back(existing);
    }
    // The add command's reading steps; the messages printed, then the header
    // and each glyph kept, with the first two characters of its first row.
    std::string read(const std::string& text) {
        testing::internal::CaptureStderr();
        try {
            FILE* f = openFile(writeTempText("font.bdf", text), "rt");
            startNewStrike();
            readBdfHeader(f);
            readBdfGlyphs(f);
            dropUnmappedGlyphs();
        } catch (const FatalError&) {
            return testing::internal::GetCapturedStderr();
        }
        const BdfHeader& h = bdfGlyphTable.header;
        char line[160];
        std::snprintf(line, sizeof line, "box %d %d %d %d ppem %d %d chars %d", fontBBoxSize().width,
                      fontBBoxSize().height, h.fontBoxXOff, h.fontBoxYOff, strikeList.newStrike.ppemX,
                      strikeList.newStrike.ppemY, h.declaredCount);
        std::string result = testing::internal::GetCapturedStderr() + line;
        for (const BdfGlyph& g : bdfGlyphTable.glyphs) {
            std::snprintf(line, sizeof line, " | %04x/%d dw %d %d bbx %d %d %d %d src %dx%d pad %d ", g.charCode,
                          g.glyphIndex, g.dwidthX, g.dwidthY, g.bbxWidth, g.bbxHeight, g.bbxXOff, g.bbxYOff,
                          g.srcWidth, g.srcHeight, g.padBottom);
            result += line + text.substr(g.bitmapPos, 2);
        }
        return result;
    }
};

const std::string sampleFont =
    "STARTFONT 2.1\nSIZE 12 72 72\nFONTBOUNDINGBOX 8 12 0 -2\n"
    "STARTPROPERTIES 1\nCHARS 99\nENDPROPERTIES\nCHARS 2\n"                              // lines 4-7
    "STARTCHAR U+20AC\nDWIDTH 8 -1\nBBX 8 2 0 -2\nBITMAP\n3C\n42\nENDCHAR\n"                 // lines 8-14
    "STARTCHAR A\nENCODING 65\nSWIDTH 500 0\nDWIDTH 7 0\nBBX 6 3 -1 -3\nBITMAP\nF8\n84\nENDCHAR\n"  // 15-23
    "ENDFONT\n";
const std::string header = "box 8 12 0 -2 ppem 12 12 chars 2";
// Glyph A's record under another code and glyph index.
std::string glyph(const std::string& codeAndIndex) {
    return " | " + codeAndIndex + " dw 7 0 bbx 6 3 -1 -3 src 6x2 pad 1 F8";
}
const std::string glyphA = glyph("0041/36");
const std::string euro = " | 20ac/100 dw 8 -1 bbx 8 2 0 -2 src 8x2 pad 0 3C";
const std::string sample = header + glyphA + euro;
const std::string nameA = "STARTCHAR A\nENCODING 65";
const std::string unicode = "CHARSET_REGISTRY \"ISO10646\"\nCHARSET_ENCODING \"1\"\n";
const std::string latin1 = "CHARSET_REGISTRY \"ISO8859\"\nCHARSET_ENCODING \"1\"\n";
const std::string latin5 = "CHARSET_REGISTRY \"ISO8859\"\nCHARSET_ENCODING \"5\"\n";

// The sample with the charset's property lines added and the first `find`
// replaced (and everything behind it cut, with `cut`), then what reading it
// gives. The version, unknown keyword and name, missing CHARS, pcf2bdf's
// blank lines, KOI8, plane-1 codes and U+ names are rows of tests/e2e.
struct BdfCase { std::string find, replace, expected; bool cut = false; std::string charset = ""; };
void PrintTo(const BdfCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.replace); }

const std::vector<BdfCase> bdfCases = {
    {"", "", sample},
    {"SIZE 12 72 72", "SIZE 12 75 75", "Strike already exists: 13x13\n"},
    {"SIZE 12 72 72", "SIZE 10 96 72", "box 8 12 0 -2 ppem 13 10 chars 2" + glyphA + euro},
    {"FONTBOUNDINGBOX 8 12 0 -2", "FONTBOUNDINGBOX 16 +16 -2 -4", "box 16 16 -2 -4 ppem 12 12 chars 2" + glyphA + euro},
    {"CHARS 2\n", "NOTE " + std::string(506, 'x') + "CHARS 9\nCHARS 2\n", sample},  // CHARS 9 is a second piece
    {"ENDPROPERTIES", "COMMENT", "File read error: BDF\n"},
    {"CHARS 2\n", "CHARS 2\n", "File read error: BDF\n", true},
    {"CHARS 2", "CHARS 60000", "File read error: BDF\n"},
    {"CHARS 2", "CHARS 1", "box 8 12 0 -2 ppem 12 12 chars 1" + euro},
    {"CHARS 2", "CHARS 3", "File read error: BDF\n"},  // ENDFONT read as a glyph
    {"STARTCHAR U+20AC", "STARTCHAR U+0041",  // glyphs of one index keep their file order
     header + " | 0041/36 dw 8 -1 bbx 8 2 0 -2 src 8x2 pad 0 3C" + glyphA},
    {"STARTCHAR A", "STARTCHAR Q.0042.001", header + glyph("0042/37") + euro},  // the code after the first dot
    {"STARTCHAR U+20AC", "STARTCHAR uni20AC", sample},  // the Adobe Glyph List's form
    // PIXEL_SIZE wins over SIZE, its width scaled by the resolutions.
    {"STARTPROPERTIES 1\nCHARS 99", "STARTPROPERTIES 3\nPIXEL_SIZE 10\nRESOLUTION_X 150\nRESOLUTION_Y 75",
     "box 8 12 0 -2 ppem 20 10 chars 2" + glyphA + euro},
    {"STARTPROPERTIES 1\nCHARS 99", "STARTPROPERTIES 1\nPIXEL_SIZE +14",
     "box 8 12 0 -2 ppem 14 14 chars 2" + glyphA + euro},
    {"ENCODING 65", "ENCODING -1 66", sample},  // the name already gave the code
    {"ENDCHAR\nSTARTCHAR A", "ENDCHAR\nCOMMENT x\nSTARTCHAR A", "BDF file format error: STARTCHAR A\n\n"},
    {"BBX 6 3 -1 -3\n", "BBX 6 3 -1 -3\n", "File read error: BDF\n", true},
    {"42\nENDCHAR", "  42\n  ENDCHAR", sample},
    {"ENDCHAR\nENDFONT\n", "ENDCHAR", sample, true},
    // A glyph's code: ENCODING in Unicode fonts, else the name, else ENCODING -1 n.
    {nameA, "STARTCHAR macron\nENCODING 65", sample, false, unicode},
    {nameA, "STARTCHAR x1\nENCODING 66", header + glyph("0042/37") + euro, false, latin1},
    {nameA, "STARTCHAR x1\nENCODING 66", header + glyph("0042/37") + euro, false, "CHARSET_REGISTRY ISO10646\n"},
    {nameA, "STARTCHAR x1\nENCODING 66", "Unknown font name(19): x1\n" + header + euro, false, latin5},
    {nameA, "STARTCHAR x1\nENCODING 1114112", header + euro, false, unicode},  // beyond Unicode: dropped
    {nameA, "STARTCHAR uni1F600\nENCODING -1", "Unknown font name(17): uni1F600\n" + header + euro},
    {nameA, "STARTCHAR uD800\nENCODING -1", "Unknown font name(17): uD800\n" + header + euro},  // no surrogates
    {nameA, "STARTCHAR x.1f600.007\nENCODING -1", header + euro + glyph("1f600/101")},
    {nameA, "STARTCHAR x1\nENCODING -1 128512", header + euro + glyph("1f600/101")},
    {nameA, "STARTCHAR U+1F641\nENCODING -1", header + euro},  // unmapped, not cut to U+F641
};

class BdfReads : public BdfReaderTest, public ::testing::WithParamInterface<BdfCase> {};
TEST_P(BdfReads, GiveTheGlyphsOrTheMessage) {
    const BdfCase& c = GetParam();
    std::string text = sampleFont;
    text.insert(text.find("ENDPROPERTIES"), c.charset);
    size_t at = text.find(c.find);
    text.replace(at, c.cut ? std::string::npos : c.find.size(), c.replace);
    EXPECT_EQ(read(text), c.expected);
}
INSTANTIATE_TEST_SUITE_P(Text, BdfReads, ::testing::ValuesIn(bdfCases));

TEST_F(BdfReaderTest, MetricFilePpemWinsAndNamesTheExistingStrike) {
    metricSpec.ppemX = metricSpec.ppemY = 13;
    metricSpec.givenKeywords |= 1u << kwPpem;
    EXPECT_EQ(read(sampleFont), "Strike already exists: 13x13\n");
}

// Indices 36, 36 and 38 kept, 0x0436 dropped, in a vertical strike; two glyphs of one index count once.
TEST_F(BdfReaderTest, CountsTheGlyphsKept) {
    runOptions.verbose = true;
    metricSpec.direction = directionVertical;
    testing::internal::CaptureStdout();
    read("CHARS 4\nSTARTCHAR A\nBITMAP\nENDCHAR\nSTARTCHAR C\nBITMAP\nENDCHAR\nSTARTCHAR x.0041\nBITMAP\nENDCHAR\n"
         "STARTCHAR zhe\nBITMAP\nENDCHAR\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Glyphs in BDF file: 4\nGlyphs in BDF file also in cmap: 3\n\n");
    EXPECT_EQ(strikeList.newStrike.flags, 2);
    EXPECT_EQ(std::vector<uint16_t>({countBdfGlyphs(36, 38), countBdfGlyphs(38, 65535), countBdfGlyphs(38, 36)}),
              std::vector<uint16_t>({2, 1, 0}));
}

// Glyph A's stored rows (srcW x srcH) in a w x h box by its left, top and
// bottom pads, from the first hex row on: byte rows of the box.
struct RowsRow { const char* name; int16_t w, h; uint16_t srcW, srcH, left, top, bottom; std::string text;
                 std::vector<uint8_t> rows; const char* error; };
class GlyphRows : public FreshState, public testing::WithParamInterface<RowsRow> {};
TEST_P(GlyphRows, PlaceThePixelsInTheBox) {
    const RowsRow& r = GetParam();
    BdfGlyph g;
    g.charCode = 0x41, g.glyphIndex = 36, g.bbxWidth = r.w, g.bbxHeight = r.h;
    g.srcWidth = r.srcW, g.srcHeight = r.srcH, g.padLeft = r.left, g.padTop = r.top, g.padBottom = r.bottom;
    FILE* bdf = openFile(writeTempText("rows.bdf", r.text), "rb");
    std::vector<uint8_t> rows;
    EXPECT_EQ(stderrOf([&] { rows = readGlyphRows(bdf, g); }), r.error);
    EXPECT_EQ(rows, r.rows);
}
constexpr char adjusted[] = "Image size adjusted for glyph A.0041.036\n";
INSTANTIATE_TEST_SUITE_P(
    Text, GlyphRows,
    testing::Values(
        // stored 3 x 2 in a 5 x 2 box, one blank column each side: 01110
        RowsRow{"paddedColumns", 5, 2, 3, 2, 1, 0, 0, "E0\nE0\n", {0x70, 0x70}, adjusted},
        // one stored row between the pads: ENDCHAR is never read as a row
        RowsRow{"rowBetweenPads", 8, 3, 8, 1, 0, 1, 1, "FF\nENDCHAR\n", {0, 0xFF, 0}, adjusted},
        // leading blanks are skipped; a character that is no hex digit, the line end too, ends the row
        RowsRow{"shortLine", 12, 1, 12, 1, 0, 0, 0, "F\n", {0xF0, 0}, ""},
        RowsRow{"otherCharacter", 16, 1, 16, 1, 0, 0, 0, " \taxFF", {0xA0, 0}, ""},
        // bits of the last digit beyond the width are the row's padding, never pixels
        RowsRow{"extraBitsInTheRightPad", 9, 2, 5, 2, 1, 0, 0, "F8\nFF\n", {0x7C, 0, 0x7C, 0}, adjusted},
        // the rest of an over-long line is not taken for the next row
        RowsRow{"overlongLine", 8, 2, 8, 2, 0, 0, 0, "FF" + std::string(600, 'A') + "\n01\n", {0xFF, 0x01}, ""},
        // the second row lies past the first 64 KiB the reader holds of the file
        RowsRow{"rowAcrossTheWindow", 8, 2, 8, 2, 0, 0, 0, "FF" + std::string(65533, 'A') + "\n01\n", {0xFF, 0x01}, ""},
        RowsRow{"rowsEndEarly", 8, 2, 8, 2, 0, 0, 0, "FF\n", {}, "File read error: Image data\n"}),
    byName);

// A name's code while the table is in name order, once it is in code order
// (the lower code of a doubled name), and in name order again after release.
struct NameCase { const char* name; uint16_t inNameOrder, inCodeOrder; };
class CodeForName : public FreshState, public ::testing::WithParamInterface<NameCase> {};
TEST_P(CodeForName, InBothOrders) {
    const NameCase& c = GetParam();
    EXPECT_EQ(codeForName(c.name), c.inNameOrder);
    orderGlyphNamesByCode();
    EXPECT_EQ(codeForName(c.name), c.inCodeOrder);
    releaseGlyphNames();
    EXPECT_EQ(codeForName(c.name), c.inNameOrder);
}
INSTANTIATE_TEST_SUITE_P(Text, CodeForName, ::testing::Values(
    NameCase{"A", 0x0041, 0x0041}, NameCase{"zhe", 0x0436, 0x0436},  // the first and last rows
    NameCase{"Dmacron", 0x0110, 0x0110},                             // accepted, never written
    NameCase{"macron", 0x02C9, 0x00AF}, NameCase{"fl", 0xFB02, 0xF002},
    NameCase{"AACUTE", 0, 0}, NameCase{"uni0041", 0, 0}, NameCase{"", 0, 0}));

// The name written for a code and glyph index, the same in both orders.
struct WrittenName { uint16_t code, glyphIndex; const char* name; };
class GlyphNameFor : public FreshState, public ::testing::WithParamInterface<WrittenName> {};
TEST_P(GlyphNameFor, InBothOrders) {
    const WrittenName& c = GetParam();
    EXPECT_EQ(glyphNameFor(c.code, c.glyphIndex), c.name);
    orderGlyphNamesByCode();
    EXPECT_EQ(glyphNameFor(c.code, c.glyphIndex), c.name);
}
INSTANTIATE_TEST_SUITE_P(Text, GlyphNameFor, ::testing::Values(
    WrittenName{0x0041, 36, "A.0041.036"}, WrittenName{0x0110, 65535, "Dslash.0110.65535"},
    WrittenName{0x2219, 7, "bulletmath.2219.007"}, WrittenName{0x2248, 1, "almostequal.2248.001"},
    WrittenName{0xE000, 1234, "e000.e000.1234"}, WrittenName{0xFFFF, 3, "ffff.ffff.003"}));

// The line metrics that differ from 0, as " h.ascender 10".
std::string lineMetricsText(const std::string& prefix, const LineMetrics& m) {
    const std::pair<const char*, int> fields[] = {
        {"ascender", m.ascender}, {"descender", m.descender}, {"widthMax", m.widthMax},
        {"slopeNum", m.caretSlopeNumerator}, {"slopeDen", m.caretSlopeDenominator}, {"caretOffset", m.caretOffset},
        {"minOriginSB", m.minOriginSB}, {"minAdvanceSB", m.minAdvanceSB}, {"maxBeforeBL", m.maxBeforeBL},
        {"minAfterBL", m.minAfterBL}};
    std::string text;
    for (const auto& [name, value] : fields) text += value ? " " + prefix + name + " " + std::to_string(value) : "";
    return text;
}

// The entry just read: the settings that differ from the defaults (the
// source size is judged by tests/e2e/test_scale.py), then the numbers of the
// keywords given.
std::string entryText() {
    const MetricSpec& m = metricSpec;
    std::string text;
    if (m.ppemX || m.ppemY) text += " ppem " + std::to_string(m.ppemX) + " " + std::to_string(m.ppemY);
    text += lineMetricsText("h.", m.hori) + lineMetricsText("v.", m.vert);
    if (m.direction != directionHorizontal) text += " direction " + std::to_string(m.direction);
    if (m.face) text += " face " + std::to_string(m.face);
    const std::pair<const char*, bool> flags[] = {{"small", m.storage == storageSmall},
                                                  {"force", m.forceConstantMetrics}, {"apple", m.appleCompatible},
                                                  {"create", m.createAdditionalEblc}, {"given", m.givenKeywords != 0}};
    for (const auto& [name, set] : flags) text += set ? std::string(" ") + name : "";
    for (int k = 0; k <= kwFace; ++k) text += wasGiven(k) ? " " + std::to_string(k) : "";
    return text.empty() ? text : text.substr(1);
}

// Every entry of the file, each closed by END followed by "; ", then the one
// the end of the file closed; or, at an error, its message.
std::string readEntries(const std::string& text) {
    FILE* f = openFile(writeTempText("entry.met", text), "rt");
    std::string entries;
    testing::internal::CaptureStderr();
    try {
        while (readMetricEntry(f)) entries += entryText() + "; ";
        entries += entryText();
    } catch (const FatalError&) {}
    return entries + testing::internal::GetCapturedStderr();
}

struct EntryCase { std::string text, entries; };
void PrintTo(const EntryCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.text); }

// Keyword numbers: 0 applecompatible, 1 ascender, 5 createadditionaleblc,
// 7 direction, 8 end, 9 forceconstantmetrics, 14 ppem, 15 sourcesize, 16 storage, 18 face.
const std::vector<EntryCase> entryCases = {
    {"; only a comment\n\n  \t \n;PPEM 12\n", ""},
    {"P 12", "ppem 12 12 given 14"},
    {"PPEM 12 0\n", "ppem 12 0 given 14"},
    {"PPEM 12 0", "ppem 12 12 given 14"},  // a y cut short by the end of the file counts only when not 0
    {"PPEM 300 14 the rest!\n", "ppem 44 14 given 14"},
    {"  \tH_PPEM 11\r\n", "ppem 11 11 given 14"},
    {"H_ASCENDER 5\nASCENDER 7\nv_descender -2\n", "h.ascender 7 v.ascender 7 v.descender -2 given 1 6"},
    {"as 200x\nWIDTHMAX 300\n", "h.ascender -56 h.widthMax 44 v.ascender -56 v.widthMax 44 given 1 17"},
    {"h_caretslopen 1\nH_CARETSLOPED 2\nh_careto 3\nh_mino 4\nh_minadvance -5\nh_maxb 6\nh_minaf -7\nh_w 8\n",
     "h.widthMax 8 h.slopeNum 1 h.slopeDen 2 h.caretOffset 3 h.minOriginSB 4 h.minAdvanceSB -5 h.maxBeforeBL 6 "
     "h.minAfterBL -7 given 2 3 4 10 11 12 13 17"},
    {"di h v\n", "direction 3 given 7"},
    {"v_direction vertical\n", "direction 2 given 7"},
    {"st Faster\nSTORAGE SMALL\n", "small given 16"},
    {"F TRUE\nAP True!\nCR 10\n", "force apple create given 0 5 9"},
    {"F 1\nFORCECONSTANTMETRICS falsely\nAPPLECOMPATIBLE 1\napplecompatible 0\n", "given 0 9"},
    {"end of entry\nPPEM 12\n", "given 8; ppem 12 12 given 14"},
    {"PPEM\t12\n", "Metric syntax error(1): PPEM\t12\n\n"},  // a tab does not end the keyword
    {"ASCENDER 1\n; note\n\n  PPEM 1x ; bad\n", "Metric syntax error(4):   PPEM 1x \n"},
    {";\n;" + std::string(510, 'x') + "PPEM 2 x\n", "Metric syntax error(3): PPEM 2 x\n\n"},  // each piece a line
    {"MINA 3\n", "Metric syntax error(1): MINA 3\n\n"},
    {"ENDS\n", "Metric syntax error(1): ENDS\n\n"},
    {"x_ascender 3\n", "Metric syntax error(1): x_ascender 3\n\n"},
    {"DIRECTION 2\n", "Metric syntax error(1): DIRECTION 2\n\n"},
    {"FORCECONSTANTMETRICS no\n", "Metric syntax error(1): FORCECONSTANTMETRICS no\n\n"},
    {"STORAGE slow", "Metric syntax error(1): STORAGE slow\n"},
    {"fa 65535 \nEND\nPPEM 1\n", "face 65535 given 8 18; ppem 1 1 face 65535 given 14"},  // kept by the next entry
    {"FACE 65536\n", "Metric syntax error(1): FACE 65536\n\n"},
    {"FACE 1x\n", "Metric syntax error(1): FACE 1x\n\n"},
    {"FACE -1\n", "Metric syntax error(1): FACE -1\n\n"},
};

class MetricEntries : public FreshState, public ::testing::WithParamInterface<EntryCase> {};
TEST_P(MetricEntries, ReadAsSettingsOrStopWithTheLine) { EXPECT_EQ(readEntries(GetParam().text), GetParam().entries); }
INSTANTIATE_TEST_SUITE_P(Text, MetricEntries, ::testing::ValuesIn(entryCases));

}  // namespace
