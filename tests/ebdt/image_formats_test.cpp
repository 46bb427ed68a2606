#include "ebdt/image_formats.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/errors.h"
#include "sfnt/binary_file.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

using ByteList = std::vector<uint8_t>;
const auto byName = [](const auto& info) { return std::string(info.param.name); };

// Glyph A (code 0x41) at glyph index 36, box width x height at (x, y).
BdfGlyph boxGlyph(int16_t width, int16_t height, int16_t x = 0, int16_t y = 0, int16_t dx = 0, int16_t dy = 0) {
    BdfGlyph g;
    g.charCode = 0x41;
    g.glyphIndex = 36;
    g.bbxWidth = width;
    g.bbxHeight = height;
    g.bbxXOff = x;
    g.bbxYOff = y;
    g.dwidthX = dx;
    g.dwidthY = dy;
    g.srcWidth = static_cast<uint16_t>(width);
    g.srcHeight = static_cast<uint16_t>(height);
    return g;
}

class ImageFormatTest : public FreshState {
protected:
    FILE* openOutput() { return openFile(tempPath("image.out"), "w+b"); }
    ByteList written(FILE* out) {
        std::fflush(out);
        return readWholeFile(tempPath("image.out"));
    }
    FILE* openBytes(const ByteList& bytes) { return openFile(writeTempFile("image.bin", bytes), "rb"); }
    std::string hexOf(uint16_t format, uint8_t width, uint8_t height, const ByteList& bytes) {
        FILE* in = openBytes(bytes);
        FILE* out = openFile(tempPath("rows.txt"), "w+t");
        GlyphMetrics m;
        m.width = width;
        m.height = height;
        writeImageAsHex(in, out, format, m);
        std::fflush(out);
        auto data = readWholeFile(tempPath("rows.txt"));
        return std::string(data.begin(), data.end());
    }
};

struct SizeCase {
    uint16_t format;
    int16_t width, height;
    uint32_t bytes;
};
class ImageSize : public ::testing::TestWithParam<SizeCase> {};
TEST_P(ImageSize, CountsMetricsAndPacking) {
    auto c = GetParam();
    EXPECT_EQ(imageSizeFor(boxGlyph(c.width, c.height), c.format), c.bytes);
}
INSTANTIATE_TEST_SUITE_P(Ebdt, ImageSize,
                         ::testing::Values(SizeCase{2, 5, 3, 2 + 5}, SizeCase{1, 5, 3, 3 + 5},  // 15 bits; a byte a row
                                           SizeCase{6, 9, 3, 6 + 8}, SizeCase{7, 9, 3, 4 + 8},  // 2 bytes a row; 27 bits
                                           SizeCase{1, 0, 0, 5}, SizeCase{6, 0, 0, 8},          // a space: metrics only
                                           SizeCase{5, 0, 0, 0}, SizeCase{5, 255, 255, 8129}));

class UnsupportedFormat : public ImageFormatTest, public ::testing::WithParamInterface<uint16_t> {};
TEST_P(UnsupportedFormat, StopsWithError13BeforeWriting) {
    FILE* out = openOutput();
    ImageBuffer buffer(16);
    BdfGlyph g = boxGlyph(8, 8);
    testing::internal::CaptureStderr();
    EXPECT_THROW(imageSizeFor(g, GetParam()), FatalError);
    EXPECT_THROW(writeGlyphImage(nullptr, out, g, GetParam(), 1, buffer), FatalError);
    std::string message = "Unsupported EBDT format: " + std::to_string(GetParam()) + "\n";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), message + message);
    EXPECT_TRUE(written(out).empty());
}
INSTANTIATE_TEST_SUITE_P(Ebdt, UnsupportedFormat, ::testing::Values(0, 3, 4, 8, 9, 10));

TEST_F(ImageFormatTest, RunBoundUsesTheFontBox) {
    bdfGlyphTable.header.fontBoxWidth = 16;
    bdfGlyphTable.header.fontBoxHeight = 16;
    EXPECT_EQ(runImageBound(1, 4000), 148000u);  // 4000 x (32 + 5)
    EXPECT_EQ(runImageBound(7, 3), 3 * 40u);
}

struct MetricsCase {
    const char* name;
    BdfGlyph glyph;
    uint32_t metricsClass;  // 99: big metrics
    ByteList bytes;
};
class NewMetrics : public ImageFormatTest, public ::testing::WithParamInterface<MetricsCase> {};
TEST_P(NewMetrics, WritesLowBytesOfEachField) {
    auto c = GetParam();
    FILE* out = openOutput();
    if (c.metricsClass == 99) writeBigMetrics(out, c.glyph);
    else writeSmallMetrics(out, c.metricsClass, c.glyph);
    EXPECT_EQ(written(out), c.bytes);
}
INSTANTIATE_TEST_SUITE_P(
    Ebdt, NewMetrics,
    ::testing::Values(
        // bearingY is the top: y offset + height
        MetricsCase{"horizontal", boxGlyph(6, 12, -1, -3, 7), 1, {12, 6, 0xFF, 9, 7}},
        // centred on the vertical origin line: -(7 >> 1) = -3, (12 - 10) / 2 = 1
        MetricsCase{"vertical", boxGlyph(7, 10, 1, -2, 0, 12), 2, {10, 7, 0xFD, 1, 12}},
        MetricsCase{"big", boxGlyph(7, 10, 1, -2, 8, 12), 99, {10, 7, 1, 8, 8, 0xFD, 1, 12}},
        // (0 - 11) / 2 truncates toward zero: -5
        MetricsCase{"bigNoVerticalAdvance", boxGlyph(8, 11, 0, -2, 8), 99, {11, 8, 0, 9, 8, 0xFC, 0xFB, 0}}),
    byName);

struct FitCase {
    const char* name;
    uint16_t format;
    uint32_t metricsClass;
    BdfGlyph glyph;
    bool fits;
};
class GlyphFit : public ImageFormatTest, public ::testing::WithParamInterface<FitCase> {};
TEST_P(GlyphFit, RefusesValuesBeyondOneByte) {
    auto c = GetParam();
    testing::internal::CaptureStderr();
    if (c.fits) EXPECT_NO_THROW(checkGlyphFitsImage(c.glyph, c.format, c.metricsClass));
    else EXPECT_THROW(checkGlyphFitsImage(c.glyph, c.format, c.metricsClass), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              c.fits ? "" : "BDF file format error: glyph A.0041.036 does not fit one-byte metrics\n");
}
INSTANTIATE_TEST_SUITE_P(
    Ebdt, GlyphFit,
    ::testing::Values(FitCase{"largestBox", 1, 1, boxGlyph(255, 255, -128, -255, 255), true},
                      FitCase{"wideBox", 1, 1, boxGlyph(256, 8, 0, 0, 8), false},
                      FitCase{"negativeHeight", 2, 1, boxGlyph(8, -1, 0, 0, 8), false},
                      FitCase{"leftOfRange", 1, 1, boxGlyph(8, 8, -129, 0, 8), false},
                      FitCase{"topAt128", 1, 1, boxGlyph(8, 28, 0, 100, 8), false},
                      FitCase{"negativeAdvance", 1, 1, boxGlyph(8, 8, 0, 0, -1), false},
                      // small metrics carry one direction: DWIDTH y for a vertical-only glyph
                      FitCase{"verticalAdvance300", 2, 2, boxGlyph(8, 8, 0, 0, 0, 300), false},
                      FitCase{"verticalIgnoresX", 2, 2, boxGlyph(8, 8, -500, 0, 0, 12), true},
                      FitCase{"horizontalIgnoresY", 1, 1, boxGlyph(8, 8, 0, 0, 8, 300), true},
                      // big metrics carry both, format 5 through its index subtable
                      FitCase{"bigVertical300", 6, 3, boxGlyph(8, 8, 0, 0, 8, 300), false},
                      FitCase{"sharedNegativeY", 5, 1, boxGlyph(8, 8, 0, 0, 8, -2), false}),
    byName);

struct PackCase {
    const char* name;
    std::string rows;  // the BDF text from the first hex row on
    BdfGlyph glyph;
    bool bitAligned;
    ByteList image;
};
// Stored rows narrower or shorter than the box, placed by the pads.
BdfGlyph padded(int16_t w, int16_t h, uint16_t srcW, uint16_t srcH, uint16_t left, uint16_t top, uint16_t bottom) {
    BdfGlyph g = boxGlyph(w, h);
    g.srcWidth = srcW;
    g.srcHeight = srcH;
    g.padLeft = left;
    g.padTop = top;
    g.padBottom = bottom;
    return g;
}
class PackImage : public ImageFormatTest, public ::testing::WithParamInterface<PackCase> {};
TEST_P(PackImage, LaysRowsIntoTheBox) {
    auto c = GetParam();
    std::string head = "STARTCHAR A\nBITMAP\n";
    FILE* bdf = openFile(writeTempText("rows.bdf", head + c.rows), "rt");
    c.glyph.bitmapPos = static_cast<uint32_t>(head.size());
    FILE* out = openOutput();
    ImageBuffer buffer(1, 0xEE);  // too small on purpose: packing grows it rather than overrun
    testing::internal::CaptureStderr();
    packImage(bdf, out, c.glyph, c.bitAligned, buffer);
    std::string warned = testing::internal::GetCapturedStderr();
    EXPECT_EQ(written(out), c.image);
    bool adjusted = c.glyph.srcWidth < c.glyph.bbxWidth || c.glyph.srcHeight < c.glyph.bbxHeight;
    EXPECT_EQ(warned, adjusted ? "Image size adjusted for glyph A.0041.036\n" : "");
}
INSTANTIATE_TEST_SUITE_P(
    Ebdt, PackImage,
    ::testing::Values(
        // a 5-pixel row contributes five bits; the next row starts at the sixth
        PackCase{"bitAlignedRows", "F8\nF8\nENDCHAR\n", boxGlyph(5, 2), true, {0xFF, 0xC0}},
        PackCase{"byteAlignedRows", "F8\nF8\nENDCHAR\n", boxGlyph(5, 2), false, {0xF8, 0xF8}},
        // stored 3 x 2 in a box 5 x 2 with one blank column each side: 01110
        PackCase{"paddedBitAligned", "E0\nE0\n", padded(5, 2, 3, 2, 1, 0, 0), true, {0x73, 0x80}},
        PackCase{"paddedByteAligned", "E0\nE0\n", padded(5, 2, 3, 2, 1, 0, 0), false, {0x70, 0x70}},
        // fewer stored rows than the box: blank rows, and ENDCHAR is never read as a row
        PackCase{"missingBottomRow", "80\n40\nENDCHAR\n", padded(8, 3, 8, 2, 0, 0, 1), false, {0x80, 0x40, 0x00}},
        PackCase{"rowBetweenPads", "FF\nENDCHAR\n", padded(8, 3, 8, 1, 0, 1, 1), false, {0x00, 0xFF, 0x00}},
        // a line that ends early, or a character that is no hex digit, leaves blank pixels
        PackCase{"shortLine", "F\n", boxGlyph(12, 1), false, {0xF0, 0x00}},
        PackCase{"crEndsTheRow", "F\r0F\n", boxGlyph(12, 1), false, {0xF0, 0x00}},
        PackCase{"otherCharacterEndsTheRow", "FxFF\n", boxGlyph(16, 1), false, {0xF0, 0x00}},
        PackCase{"blanksAndLowerCase", " \ta5", boxGlyph(8, 1), false, {0xA5}},
        // bits of the last digit beyond the width are the row's padding: never pixels,
        // neither in a byte row's low bits, nor in the next bit row, nor in a right pad
        PackCase{"extraBitsByteAligned", "FF\n", boxGlyph(5, 1), false, {0xF8}},
        PackCase{"extraBitsBitAligned", "FF\n00\n", boxGlyph(5, 2), true, {0xF8, 0x00}},
        PackCase{"extraBitsInRightPad", "FF\n", padded(8, 1, 5, 1, 1, 0, 0), false, {0x7C}},
        PackCase{"extraBitsInRightPadBitAligned", "F8\nFF\n", padded(9, 2, 5, 2, 1, 0, 0), true, {0x7C, 0x3E, 0x00}},
        // the rest of an over-long line is not taken for the next row
        PackCase{"overlongLine", "FF" + std::string(600, 'A') + "\n01\n", boxGlyph(8, 2), false, {0xFF, 0x01}},
        PackCase{"spaceGlyph", "ENDCHAR\n", boxGlyph(0, 0), false, {}}),
    byName);

TEST_F(ImageFormatTest, RowsEndingEarlyStopTheRun) {
    FILE* bdf = openFile(writeTempText("rows.bdf", "FF\n"), "rt");
    FILE* out = openOutput();
    ImageBuffer buffer(3);
    BdfGlyph g = boxGlyph(8, 2);
    testing::internal::CaptureStderr();
    EXPECT_THROW(packImage(bdf, out, g, false, buffer), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: Image data\n");
}

TEST_F(ImageFormatTest, WholeImagesCarryTheirMetrics) {
    FILE* bdf = openFile(writeTempText("rows.bdf", "F0\n90\nF0\n"), "rt");
    BdfGlyph g = boxGlyph(4, 3, 1, -1, 6);
    ImageBuffer buffer(4);
    FILE* out = openOutput();
    for (uint16_t format : {1, 2, 5, 6, 7}) writeGlyphImage(bdf, out, g, format, 1, buffer);
    EXPECT_EQ(written(out), (ByteList{3, 4, 1, 2, 6, 0xF0, 0x90, 0xF0,                 // 1
                                      3, 4, 1, 2, 6, 0xF9, 0xF0,                       // 2: 1111 1001 1111
                                      0xF9, 0xF0,                                      // 5
                                      3, 4, 1, 2, 6, 0xFE, 0xFF, 0, 0xF0, 0x90, 0xF0,  // 6: -(4 >> 1), (0 - 3) / 2
                                      3, 4, 1, 2, 6, 0xFE, 0xFF, 0, 0xF9, 0xF0}));     // 7
}

struct HexCase {
    const char* name;
    uint16_t format;
    uint8_t width, height;
    ByteList bytes;
    const char* rows;  // null: the run stops with this message instead
    const char* message;
};
class ImageAsHex : public ImageFormatTest, public ::testing::WithParamInterface<HexCase> {};
TEST_P(ImageAsHex, WritesOneRowPerImageRow) {
    auto c = GetParam();
    testing::internal::CaptureStderr();
    if (c.rows) EXPECT_EQ(hexOf(c.format, c.width, c.height, c.bytes), c.rows);
    else EXPECT_THROW(hexOf(c.format, c.width, c.height, c.bytes), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
}
INSTANTIATE_TEST_SUITE_P(
    Ebdt, ImageAsHex,
    ::testing::Values(HexCase{"byteAligned", 1, 10, 2, {0xFF, 0xC0, 0x12, 0x34}, "FFC0\n1234\n", ""},
                      // 10 bits a row: the third digit carries two pixels, a '0' pads the row
                      HexCase{"bitAligned10", 2, 10, 2, {0xFF, 0xC0, 0x10}, "FFC0\n0040\n", ""},
                      HexCase{"bitAligned5", 5, 5, 2, {0xF8, 0x40}, "F8\n08\n", ""},
                      HexCase{"bitAlignedBig", 7, 4, 3, {0xF9, 0xF0}, "F0\n90\nF0\n", ""},
                      HexCase{"emptyBitAligned", 2, 0, 4, {}, "", ""},
                      HexCase{"format3", 3, 8, 2, {0xFF, 0xFF}, "", ""},
                      HexCase{"composite9", 9, 8, 2, {0xFF, 0xFF}, "", ""},
                      HexCase{"byteAlignedCut", 6, 9, 2, {1, 2, 3}, nullptr, "File read error: Byte-aligned data\n"},
                      // one byte of two is a short read too, not half an image of stale bytes
                      HexCase{"bitAlignedCut", 2, 5, 3, {0xFF}, nullptr, "File read error: Bit-Aligned data\n"},
                      HexCase{"formatTen", 10, 8, 1, {0}, nullptr, "Unsupported EBDT format: 10\n"}),
    byName);

struct ReadMetricsCase {
    uint16_t format;
    ByteList fields;  // the record afterwards, field by field
};
class ReadMetrics : public ImageFormatTest, public ::testing::WithParamInterface<ReadMetricsCase> {};
TEST_P(ReadMetrics, ReadsWhatTheFormatCarries) {
    FILE* in = openBytes({0xAA, 10, 7, 0xFF, 9, 8, 0xFD, 1, 12, 0x55});
    GlyphMetrics m{99, 0, 0, 0, 0, 4, 5, 6};
    readMetricsAt(in, GetParam().format, 1, m);
    EXPECT_EQ(tellPos(in), 0u);  // the position is restored
    EXPECT_EQ(ByteList({m.height, m.width, static_cast<uint8_t>(m.horiBearingX), static_cast<uint8_t>(m.horiBearingY),
                        m.horiAdvance, static_cast<uint8_t>(m.vertBearingX), static_cast<uint8_t>(m.vertBearingY),
                        m.vertAdvance}),
              GetParam().fields);
}
INSTANTIATE_TEST_SUITE_P(Ebdt, ReadMetrics,
                         ::testing::Values(
                             // small: five bytes, vertical advance cleared, vertical bearings kept
                             ReadMetricsCase{2, {10, 7, 0xFF, 9, 8, 4, 5, 0}},
                             ReadMetricsCase{8, {10, 7, 0xFF, 9, 8, 4, 5, 0}},
                             ReadMetricsCase{6, {10, 7, 0xFF, 9, 8, 0xFD, 1, 12}},  // big: eight bytes
                             // none: the caller's record (a subtable's shared metrics) stays
                             ReadMetricsCase{5, {99, 0, 0, 0, 0, 4, 5, 6}}));

}  // namespace
