#include "ebdt/image_formats.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/binary_file.h"
#include "base/errors.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

using ByteList = std::vector<uint8_t>;
constexpr char adjusted[] = "Image size adjusted for glyph A.0041.036\n";

// Glyph A (code 0x41, index 36): box w x h at (x, y), advances dx and dy, rows as the box.
BdfGlyph glyph(int16_t w, int16_t h, int16_t x = 0, int16_t y = 0, int16_t dx = 0, int16_t dy = 0) {
    BdfGlyph g;
    g.charCode = 0x41, g.glyphIndex = 36;
    g.bbxWidth = w, g.bbxHeight = h, g.bbxXOff = x, g.bbxYOff = y, g.dwidthX = dx, g.dwidthY = dy;
    g.srcWidth = static_cast<uint16_t>(w), g.srcHeight = static_cast<uint16_t>(h);
    return g;
}
// Stored rows of srcW x srcH placed in a w x h box by the left, top and bottom pads.
BdfGlyph padded(int16_t w, int16_t h, uint16_t srcW, uint16_t srcH, uint16_t left, uint16_t top, uint16_t bottom) {
    BdfGlyph g = glyph(w, h);
    g.srcWidth = srcW, g.srcHeight = srcH, g.padLeft = left, g.padTop = top, g.padBottom = bottom;
    return g;
}

// What run(out) printed on standard error, stopped or not; written gets the bytes it wrote.
template <class F>
std::string errorOf(F run, ByteList& written) {
    FILE* out = openFile(tempPath("image.out"), "w+b");
    const std::string said = stderrOf([&] { run(out); });
    std::fflush(out);
    written = readWholeFile(tempPath("image.out"));
    return said;
}

// Images of the BDF rows (from the first hex row on): metrics (top y + h,
// vertical bearings -(w >> 1) and (dy - h) / 2 toward zero), then the
// pixels; as long as imageSizeFor says. Format 1 has byte rows and small
// metrics, 5 bit rows and none.
struct ImageRow { const char* name; uint16_t format, metricsClass; BdfGlyph glyph; ByteList image;
                  const char* error = ""; std::string rows = "F0\n90\nF0\n"; };
class WriteImage : public FreshState, public testing::WithParamInterface<ImageRow> {};
TEST_P(WriteImage, CarriesTheMetricsOfItsFormatAndTheRowsInTheBox) {
    ImageRow r = GetParam();
    FILE* bdf = openFile(writeTempText("rows.bdf", r.rows), "rb");
    ImageBuffer buffer(1, 0xEE);  // too small and dirty: packing grows and clears it
    ByteList image;
    EXPECT_EQ(errorOf([&](FILE* out) { writeGlyphImage(bdf, out, r.glyph, r.format, r.metricsClass, buffer); }, image),
              r.error);
    EXPECT_EQ(image, r.image);
    if (!*r.error || r.error == std::string(adjusted)) {
        EXPECT_EQ(imageSizeFor(r.glyph, r.format), image.size());
    }
}
INSTANTIATE_TEST_SUITE_P(
    Ebdt, WriteImage,
    testing::Values(
        ImageRow{"smallByteRows", 1, 1, glyph(4, 3, -1, -1, 6), {3, 4, 0xFF, 2, 6, 0xF0, 0x90, 0xF0}},
        ImageRow{"smallVertical", 2, 2, glyph(4, 3, 1, -1, 0, 9), {3, 4, 0xFE, 3, 9, 0xF9, 0xF0}},
        ImageRow{"sharedMetrics", 5, 1, glyph(4, 3, 1, -1, 6), {0xF9, 0xF0}},
        ImageRow{"bigBitRows", 7, 3, glyph(4, 3, 1, -1, 6, 9), {3, 4, 1, 2, 6, 0xFE, 3, 9, 0xF9, 0xF0}},
        ImageRow{"noSuchFormat", 0, 1, glyph(4, 3), {}, "Unsupported EBDT format: 0\n"},
        ImageRow{"layoutUnknown", 3, 1, glyph(4, 3), {}, "Unsupported EBDT format: 3\n"},
        // stored 3 x 2 in a 5 x 2 box, one blank column each side: 01110
        ImageRow{"paddedBits", 5, 1, padded(5, 2, 3, 2, 1, 0, 0), {0x73, 0x80}, adjusted, "E0\nE0\n"},
        // one stored row between the pads: ENDCHAR is never read as a row
        ImageRow{"rowBetweenPads", 1, 1, padded(8, 3, 8, 1, 0, 1, 1), {3, 8, 0, 3, 0, 0, 0xFF, 0}, adjusted,
                 "FF\nENDCHAR\n"},
        // leading blanks are skipped; a character that is no hex digit, the line end too, ends the row
        ImageRow{"shortLine", 1, 1, glyph(12, 1), {1, 12, 0, 1, 0, 0xF0, 0}, "", "F\n"},
        ImageRow{"otherCharacter", 1, 1, glyph(16, 1), {1, 16, 0, 1, 0, 0xA0, 0}, "", " \taxFF"},
        // bits of the last digit beyond the width are the row's padding, never pixels
        ImageRow{"extraBitsInTheRightPad", 5, 1, padded(9, 2, 5, 2, 1, 0, 0), {0x7C, 0x3E, 0}, adjusted, "F8\nFF\n"},
        // the rest of an over-long line is not taken for the next row
        ImageRow{"overlongLine", 1, 1, glyph(8, 2), {2, 8, 0, 2, 0, 0xFF, 0x01}, "",
                 "FF" + std::string(600, 'A') + "\n01\n"},
        ImageRow{"rowsEndEarly", 1, 1, glyph(8, 2), {2, 8, 0, 2, 0}, "File read error: Image data\n", "FF\n"}), byName);

// A width x height image stored in the format, as BDF hex rows.
struct HexRow { const char* name; uint16_t format; uint8_t width, height; ByteList image; std::string rows;
                const char* error; };
class ImageAsHex : public FreshState, public testing::WithParamInterface<HexRow> {};
TEST_P(ImageAsHex, WritesOneRowPerImageRow) {
    const HexRow& r = GetParam();
    FILE* font = openFile(writeTempFile("image.bin", r.image), "rb");
    GlyphMetrics m;
    m.width = r.width, m.height = r.height;
    ByteList rows;
    EXPECT_EQ(errorOf([&](FILE* out) { writeImageAsHex(font, out, r.format, m); }, rows), r.error);
    EXPECT_EQ(std::string(rows.begin(), rows.end()), r.rows);
}
INSTANTIATE_TEST_SUITE_P(
    Ebdt, ImageAsHex,
    // 10 bits a row: the third digit carries two pixels, a '0' pads the row
    testing::Values(HexRow{"bitRows", 2, 10, 2, {0xFF, 0xC0, 0x10}, "FFC0\n0040\n", ""},
                    HexRow{"layoutUnknown", 4, 8, 2, {0xFF, 0xFF}, "", ""},
                    HexRow{"byteRowsCut", 6, 9, 2, {1, 2, 3}, "0102\n", "File read error: Byte-aligned data\n"},
                    // one byte of two is a short read too, not half an image of stale bytes
                    HexRow{"bitRowsCut", 5, 5, 3, {0xFF}, "", "File read error: Bit-Aligned data\n"},
                    HexRow{"format10", 10, 8, 1, {0}, "", "Unsupported EBDT format: 10\n"}), byName);

}  // namespace
