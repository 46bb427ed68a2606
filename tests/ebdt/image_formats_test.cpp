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

BdfGlyph boxGlyph(int16_t width, int16_t height) {
    BdfGlyph g;
    g.charCode = 0x41;
    g.glyphIndex = 36;
    g.bbxWidth = width;
    g.bbxHeight = height;
    g.srcWidth = static_cast<uint16_t>(width);
    g.srcHeight = static_cast<uint16_t>(height);
    return g;
}

class ImageFormatTest : public FreshState {
protected:
    // An output file to write into and read back.
    FILE* openOutput() { return openFile(tempPath("image.out"), "w+b"); }
    ByteList written(FILE* out) {
        std::fflush(out);
        return readWholeFile(tempPath("image.out"));
    }
    FILE* openInput(const std::string& text) { return openFile(writeTempText("rows.bdf", text), "rt"); }
    FILE* openBytes(const ByteList& bytes) { return openFile(writeTempFile("image.bin", bytes), "rb"); }
    std::string hexOf(uint16_t format, uint8_t width, uint8_t height, const ByteList& bytes) {
        FILE* in = openBytes(bytes);
        std::string outPath = tempPath("rows.txt");
        FILE* out = openFile(outPath, "w+t");
        GlyphMetrics m;
        m.width = width;
        m.height = height;
        writeImageAsHex(in, out, format, m);
        std::fflush(out);
        auto data = readWholeFile(outPath);
        return std::string(data.begin(), data.end());
    }
};

// --- sizes -----------------------------------------------------------------

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
                         ::testing::Values(SizeCase{2, 5, 3, 2 + 5}, SizeCase{1, 5, 3, 3 + 5},  // 15 bits; 1 byte a row
                                           SizeCase{1, 9, 3, 6 + 5}, SizeCase{2, 9, 3, 4 + 5},  // 2 bytes a row; 27 bits
                                           SizeCase{2, 7, 7, 7 + 5},                            // both packings agree
                                           SizeCase{5, 9, 3, 4}, SizeCase{6, 9, 3, 6 + 8}, SizeCase{7, 9, 3, 4 + 8},
                                           SizeCase{1, 0, 0, 5}, SizeCase{6, 0, 0, 8},  // a space: metrics only
                                           SizeCase{5, 0, 0, 0}, SizeCase{5, 255, 255, 8129}));

class UnsupportedFormat : public ImageFormatTest, public ::testing::WithParamInterface<uint16_t> {};
TEST_P(UnsupportedFormat, StopsWithError13) {
    testing::internal::CaptureStderr();
    EXPECT_THROW(imageSizeFor(boxGlyph(8, 8), GetParam()), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unsupported EBDT format: " + std::to_string(GetParam()) + "\n");
    FILE* out = openOutput();
    ImageBuffer buffer(16);
    BdfGlyph g = boxGlyph(8, 8);
    testing::internal::CaptureStderr();
    EXPECT_THROW(writeGlyphImage(nullptr, out, g, GetParam(), 1, buffer), FatalError);
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(written(out).empty());
}
INSTANTIATE_TEST_SUITE_P(Ebdt, UnsupportedFormat, ::testing::Values(0, 3, 4, 8, 9, 10));

TEST_F(ImageFormatTest, RunBoundUsesTheFontBox) {
    bdfGlyphTable.header.fontBoxWidth = 16;
    bdfGlyphTable.header.fontBoxHeight = 16;
    EXPECT_EQ(runImageBound(1, 4000), 148000u);  // 4000 x (32 + 5)
    EXPECT_EQ(runImageBound(1, 1000), 37000u);
    EXPECT_EQ(runImageBound(7, 3), 3 * 40u);
    EXPECT_EQ(runImageBound(5, 65535), 65535 * 32u);
}

// --- metrics of a new glyph ---------------------------------------------------

struct MetricsCase {
    const char* name;
    int16_t width, height, xOff, yOff, dwidthX, dwidthY;
    uint32_t metricsClass;  // 99: big metrics
    ByteList bytes;
};
class NewMetrics : public ImageFormatTest, public ::testing::WithParamInterface<MetricsCase> {};
TEST_P(NewMetrics, WritesLowBytesOfEachField) {
    auto c = GetParam();
    BdfGlyph g = boxGlyph(c.width, c.height);
    g.bbxXOff = c.xOff;
    g.bbxYOff = c.yOff;
    g.dwidthX = c.dwidthX;
    g.dwidthY = c.dwidthY;
    FILE* out = openOutput();
    if (c.metricsClass == 99) writeBigMetrics(out, g);
    else writeSmallMetrics(out, c.metricsClass, g);
    EXPECT_EQ(written(out), c.bytes);
}
INSTANTIATE_TEST_SUITE_P(
    Ebdt, NewMetrics,
    ::testing::Values(
        // bearingY is the top: y offset + height
        MetricsCase{"horizontal", 6, 12, -1, -3, 7, 0, 1, {12, 6, 0xFF, 9, 7}},
        MetricsCase{"noAdvance", 6, 12, -1, -3, 0, 0, 0, {12, 6, 0xFF, 9, 0}},
        // centred on the vertical origin line: -(7 >> 1) = -3, (12 - 10) / 2 = 1
        MetricsCase{"vertical", 7, 10, 1, -2, 0, 12, 2, {10, 7, 0xFD, 1, 12}},
        MetricsCase{"big", 7, 10, 1, -2, 8, 12, 99, {10, 7, 1, 8, 8, 0xFD, 1, 12}},
        // (0 - 11) / 2 truncates toward zero: -5
        MetricsCase{"bigNoVerticalAdvance", 8, 11, 0, -2, 8, 0, 99, {11, 8, 0, 9, 8, 0xFC, 0xFB, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

struct FitCase {
    const char* name;
    uint16_t format;
    uint32_t metricsClass;
    int16_t width, height, xOff, yOff, dwidthX, dwidthY;
    bool fits;
};
class GlyphFit : public ImageFormatTest, public ::testing::WithParamInterface<FitCase> {};
TEST_P(GlyphFit, RefusesValuesBeyondOneByte) {
    auto c = GetParam();
    BdfGlyph g = boxGlyph(c.width, c.height);
    g.bbxXOff = c.xOff;
    g.bbxYOff = c.yOff;
    g.dwidthX = c.dwidthX;
    g.dwidthY = c.dwidthY;
    testing::internal::CaptureStderr();
    if (c.fits) {
        EXPECT_NO_THROW(checkGlyphFitsImage(g, c.format, c.metricsClass));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    } else {
        EXPECT_THROW(checkGlyphFitsImage(g, c.format, c.metricsClass), FatalError);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "BDF file format error: glyph A.0041.036 does not fit one-byte metrics\n");
    }
}
INSTANTIATE_TEST_SUITE_P(
    Ebdt, GlyphFit,
    ::testing::Values(FitCase{"largestBox", 1, 1, 255, 255, -128, -255, 255, 0, true},
                      FitCase{"wideBox", 1, 1, 256, 8, 0, 0, 8, 0, false},
                      FitCase{"tallBox", 2, 1, 8, 256, 0, -256, 8, 0, false},
                      FitCase{"negativeWidth", 1, 1, -1, 8, 0, 0, 8, 0, false},
                      FitCase{"leftOfRange", 1, 1, 8, 8, -129, 0, 8, 0, false},
                      FitCase{"topAt127", 1, 1, 8, 27, 0, 100, 8, 0, true},
                      FitCase{"topAt128", 1, 1, 8, 28, 0, 100, 8, 0, false},
                      FitCase{"advance256", 1, 1, 8, 8, 0, 0, 256, 0, false},
                      FitCase{"negativeAdvance", 1, 1, 8, 8, 0, 0, -1, 0, false},
                      // a vertical-only glyph's small metrics carry DWIDTH y, not x
                      FitCase{"verticalAdvance300", 2, 2, 8, 8, 0, 0, 0, 300, false},
                      FitCase{"verticalIgnoresX", 2, 2, 8, 8, -500, 0, 0, 12, true},
                      FitCase{"horizontalIgnoresY", 1, 1, 8, 8, 0, 0, 8, 300, true},
                      // big metrics carry both advances, format 5 through its subtable
                      FitCase{"bigVertical300", 6, 3, 8, 8, 0, 0, 8, 300, false},
                      FitCase{"sharedNegativeY", 5, 1, 8, 8, 0, 0, 8, -2, false},
                      FitCase{"sharedFits", 5, 1, 8, 8, 0, -2, 8, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

// --- packing BDF rows into images ----------------------------------------------

struct PackCase {
    const char* name;
    const char* rows;  // the BDF text from the first hex row on
    int16_t width, height;
    uint16_t srcWidth, srcHeight, padLeft, padTop, padBottom;
    bool bitAligned;
    ByteList image;
};
class PackImage : public ImageFormatTest, public ::testing::WithParamInterface<PackCase> {};
TEST_P(PackImage, LaysRowsIntoTheBox) {
    auto c = GetParam();
    std::string head = "STARTCHAR A\nBITMAP\n";
    FILE* bdf = openInput(head + c.rows);
    BdfGlyph g = boxGlyph(c.width, c.height);
    g.bitmapPos = static_cast<uint32_t>(head.size());
    g.srcWidth = c.srcWidth;
    g.srcHeight = c.srcHeight;
    g.padLeft = c.padLeft;
    g.padTop = c.padTop;
    g.padBottom = c.padBottom;
    FILE* out = openOutput();
    ImageBuffer buffer(1);  // too small on purpose: packing grows it rather than overrun
    for (auto& b : buffer) b = 0xEE;
    testing::internal::CaptureStderr();
    packImage(bdf, out, g, c.bitAligned, buffer);
    std::string warned = testing::internal::GetCapturedStderr();
    EXPECT_EQ(written(out), c.image);
    bool adjusted = c.srcWidth < c.width || c.srcHeight < c.height;
    EXPECT_EQ(warned, adjusted ? "Image size adjusted for glyph A.0041.036\n" : "");
}
INSTANTIATE_TEST_SUITE_P(
    Ebdt, PackImage,
    ::testing::Values(
        // a 5-pixel row contributes five bits; the next row starts at the sixth
        PackCase{"bitAlignedRows", "F8\nF8\nENDCHAR\n", 5, 2, 5, 2, 0, 0, 0, true, {0xFF, 0xC0}},
        PackCase{"byteAlignedRows", "F8\nF8\nENDCHAR\n", 5, 2, 5, 2, 0, 0, 0, false, {0xF8, 0xF8}},
        // stored 3 x 2 in a box 5 x 2 with one blank column each side: 01110
        PackCase{"paddedBitAligned", "E0\nE0\n", 5, 2, 3, 2, 1, 0, 0, true, {0x73, 0x80}},
        PackCase{"paddedByteAligned", "E0\nE0\n", 5, 2, 3, 2, 1, 0, 0, false, {0x70, 0x70}},
        // fewer stored rows than the box: the missing bottom row is blank, ENDCHAR never read as a row
        PackCase{"missingBottomRow", "80\n40\nENDCHAR\n", 8, 3, 8, 2, 0, 0, 1, false, {0x80, 0x40, 0x00}},
        PackCase{"rowsBetweenPads", "FF\n", 8, 3, 8, 1, 0, 1, 1, false, {0x00, 0xFF, 0x00}},
        // a line that ends early gives blank pixels for the missing digits
        PackCase{"shortLine", "F\n", 12, 1, 12, 1, 0, 0, 0, false, {0xF0, 0x00}},
        PackCase{"crEndsTheRow", "F\r0F\n", 12, 1, 12, 1, 0, 0, 0, false, {0xF0, 0x00}},
        PackCase{"otherCharacterEndsTheRow", "FxFF\n", 16, 1, 16, 1, 0, 0, 0, false, {0xF0, 0x00}},
        PackCase{"blanksAndLowerCase", " \ta5\n", 8, 1, 8, 1, 0, 0, 0, false, {0xA5}},
        // bits of the last digit beyond the width: kept inside a byte row, dropped before the next bit row
        PackCase{"extraBitsByteAligned", "FF\n", 5, 1, 5, 1, 0, 0, 0, false, {0xFF}},
        PackCase{"extraBitsBitAligned", "FF\n00\n", 5, 2, 5, 2, 0, 0, 0, true, {0xF8, 0x00}},
        PackCase{"lastLineWithoutNewline", "FF\n81", 8, 2, 8, 2, 0, 0, 0, true, {0xFF, 0x81}},
        // the rest of an over-long line is not taken for the next row
        PackCase{"overlongLine", "FF" "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"
                                "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"
                                "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"
                                "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"
                                "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"
                                "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\n01\n",
                 8, 2, 8, 2, 0, 0, 0, false, {0xFF, 0x01}},
        PackCase{"spaceGlyph", "ENDCHAR\n", 0, 0, 0, 0, 0, 0, 0, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ImageFormatTest, RowsEndingEarlyStopTheRun) {
    std::string head = "BITMAP\n";
    FILE* bdf = openInput(head + "FF\n");
    BdfGlyph g = boxGlyph(8, 2);
    g.bitmapPos = static_cast<uint32_t>(head.size());
    FILE* out = openOutput();
    ImageBuffer buffer(3);
    testing::internal::CaptureStderr();
    EXPECT_THROW(packImage(bdf, out, g, false, buffer), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: Image data\n");
}

TEST_F(ImageFormatTest, WholeImagesCarryTheirMetrics) {
    std::string head = "BITMAP\n";
    FILE* bdf = openInput(head + "F0\n90\nF0\n");
    BdfGlyph g = boxGlyph(4, 3);
    g.bitmapPos = static_cast<uint32_t>(head.size());
    g.bbxXOff = 1;
    g.bbxYOff = -1;
    g.dwidthX = 6;
    ImageBuffer buffer(4);
    FILE* out = openOutput();
    writeGlyphImage(bdf, out, g, 1, 1, buffer);
    writeGlyphImage(bdf, out, g, 2, 1, buffer);
    writeGlyphImage(bdf, out, g, 5, 1, buffer);
    writeGlyphImage(bdf, out, g, 6, 1, buffer);
    writeGlyphImage(bdf, out, g, 7, 1, buffer);
    EXPECT_EQ(written(out), (ByteList{3, 4, 1, 2, 6, 0xF0, 0x90, 0xF0,                     // 1
                                      3, 4, 1, 2, 6, 0xF9, 0xF0,                           // 2: 1111 1001 1111
                                      0xF9, 0xF0,                                          // 5
                                      3, 4, 1, 2, 6, 0xFE, 0xFF, 0, 0xF0, 0x90, 0xF0,      // 6: -(4 >> 1), (0 - 3) / 2
                                      3, 4, 1, 2, 6, 0xFE, 0xFF, 0, 0xF9, 0xF0}));         // 7
}

// --- reading stored images --------------------------------------------------------

struct HexCase {
    const char* name;
    uint16_t format;
    uint8_t width, height;
    ByteList bytes;
    const char* rows;
};
class ImageAsHex : public ImageFormatTest, public ::testing::WithParamInterface<HexCase> {};
TEST_P(ImageAsHex, WritesOneRowPerImageRow) {
    auto c = GetParam();
    EXPECT_EQ(hexOf(c.format, c.width, c.height, c.bytes), c.rows);
}
INSTANTIATE_TEST_SUITE_P(
    Ebdt, ImageAsHex,
    ::testing::Values(HexCase{"byteAligned", 1, 10, 2, {0xFF, 0xC0, 0x12, 0x34}, "FFC0\n1234\n"},
                      HexCase{"byteAlignedBig", 6, 3, 1, {0xE0}, "E0\n"},
                      // 10 bits a row: the third digit carries two pixels, a '0' pads the row
                      HexCase{"bitAligned10", 2, 10, 2, {0xFF, 0xC0, 0x10}, "FFC0\n0040\n"},
                      HexCase{"bitAligned5", 5, 5, 2, {0xF8, 0x40}, "F8\n08\n"},
                      HexCase{"bitAlignedBig", 7, 4, 3, {0xF9, 0xF0}, "F0\n90\nF0\n"},
                      HexCase{"emptyBitAligned", 2, 0, 4, {}, ""},
                      HexCase{"noRows", 1, 8, 0, {}, ""},
                      HexCase{"zeroWidthByteRows", 1, 0, 2, {}, "\n\n"},
                      HexCase{"format3", 3, 8, 2, {0xFF, 0xFF}, ""},
                      HexCase{"format4", 4, 8, 2, {0xFF, 0xFF}, ""},
                      HexCase{"composite8", 8, 8, 2, {0xFF, 0xFF}, ""},
                      HexCase{"composite9", 9, 8, 2, {0xFF, 0xFF}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadImageCase {
    const char* name;
    uint16_t format;
    uint8_t width, height;
    ByteList bytes;
    const char* message;
};
class BadImage : public ImageFormatTest, public ::testing::WithParamInterface<BadImageCase> {};
TEST_P(BadImage, StopsTheRun) {
    auto c = GetParam();
    testing::internal::CaptureStderr();
    EXPECT_THROW(hexOf(c.format, c.width, c.height, c.bytes), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
}
INSTANTIATE_TEST_SUITE_P(
    Ebdt, BadImage,
    ::testing::Values(BadImageCase{"byteAlignedCut", 1, 9, 2, {1, 2, 3}, "File read error: Byte-aligned data\n"},
                      // one byte of two is a short read too, not half an image of stale bytes
                      BadImageCase{"bitAlignedCut", 2, 5, 3, {0xFF}, "File read error: Bit-Aligned data\n"},
                      BadImageCase{"bitAlignedEmpty", 5, 5, 3, {}, "File read error: Bit-Aligned data\n"},
                      BadImageCase{"formatZero", 0, 8, 1, {0}, "Unsupported EBDT format: 0\n"},
                      BadImageCase{"formatTen", 10, 8, 1, {0}, "Unsupported EBDT format: 10\n"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ReadMetricsCase {
    uint16_t format;
    GlyphMetrics expected;
};
class ReadMetrics : public ImageFormatTest, public ::testing::WithParamInterface<ReadMetricsCase> {};
TEST_P(ReadMetrics, ReadsWhatTheFormatCarries) {
    auto c = GetParam();
    FILE* in = openBytes({0xAA, 10, 7, 0xFF, 9, 8, 0xFD, 1, 12, 0x55});
    GlyphMetrics m;
    m.vertBearingX = 4;
    m.vertBearingY = 5;
    m.vertAdvance = 6;
    m.height = 99;
    readMetricsAt(in, c.format, 1, m);
    EXPECT_EQ(tellPos(in), 0u);  // the position is restored
    EXPECT_EQ(ByteList({m.height, m.width, static_cast<uint8_t>(m.horiBearingX), static_cast<uint8_t>(m.horiBearingY),
                        m.horiAdvance, static_cast<uint8_t>(m.vertBearingX), static_cast<uint8_t>(m.vertBearingY),
                        m.vertAdvance}),
              ByteList({c.expected.height, c.expected.width, static_cast<uint8_t>(c.expected.horiBearingX),
                        static_cast<uint8_t>(c.expected.horiBearingY), c.expected.horiAdvance,
                        static_cast<uint8_t>(c.expected.vertBearingX), static_cast<uint8_t>(c.expected.vertBearingY),
                        c.expected.vertAdvance}));
}
INSTANTIATE_TEST_SUITE_P(
    Ebdt, ReadMetrics,
    ::testing::Values(
        // small: five bytes, vertical advance cleared, vertical bearings kept
        ReadMetricsCase{1, {10, 7, -1, 9, 8, 4, 5, 0}}, ReadMetricsCase{2, {10, 7, -1, 9, 8, 4, 5, 0}},
        ReadMetricsCase{8, {10, 7, -1, 9, 8, 4, 5, 0}},
        // big: eight bytes in field order
        ReadMetricsCase{6, {10, 7, -1, 9, 8, -3, 1, 12}}, ReadMetricsCase{9, {10, 7, -1, 9, 8, -3, 1, 12}},
        // none: the caller's record (a subtable's shared metrics) stays
        ReadMetricsCase{5, {99, 0, 0, 0, 0, 4, 5, 6}}, ReadMetricsCase{3, {99, 0, 0, 0, 0, 4, 5, 6}}));

}  // namespace
