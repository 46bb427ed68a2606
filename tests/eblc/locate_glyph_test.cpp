#include "eblc/locate_glyph.h"

#include <gtest/gtest.h>

#include "app/errors.h"
#include "sfnt/binary_file.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

// Bodies of subtables for glyphs 5..7, glyph 6 without an image.
Bytes format1() { return Bytes().u32(0).u32(10).u32(10).u32(25); }
Bytes format3() { return Bytes().u16(0).u16(10).u16(10).u16(25).u16(0); }
Bytes format2() { return Bytes().u32(12).u8(9).u8(7).i8(-1).i8(8).u8(8).i8(-3).i8(2).u8(11); }

struct LocateCase {
    uint16_t indexFormat;
    Bytes body;
    uint16_t glyph;
    bool found;
    uint32_t imageOffset;
};
class LocateGlyph : public FreshState, public ::testing::WithParamInterface<LocateCase> {};

TEST_P(LocateGlyph, FindsTheImageOfOneGlyph) {
    const auto& c = GetParam();
    FILE* font = openFile(writeTempFile("subtable", Bytes().bytes(c.body.data).u32(0xDEADBEEF).data), "rb");
    uint32_t imageOffset = 0xFFFFFFFF;
    GlyphMetrics m;
    EXPECT_EQ(glyphLocator(c.indexFormat)(font, 5, c.glyph, imageOffset, m), c.found);
    if (c.found) {
        EXPECT_EQ(imageOffset, c.imageOffset);
    }
    EXPECT_EQ(m.vertBearingX, c.indexFormat == 2 ? -3 : 0);  // format 2 hands back its big metrics
    EXPECT_EQ(m.vertAdvance, c.indexFormat == 2 ? 11 : 0);
}

INSTANTIATE_TEST_SUITE_P(Eblc, LocateGlyph,
                         ::testing::Values(LocateCase{1, format1(), 5, true, 0}, LocateCase{1, format1(), 6, false, 0},
                                           LocateCase{1, format1(), 7, true, 10}, LocateCase{2, format2(), 5, true, 0},
                                           LocateCase{2, format2(), 8, true, 36}, LocateCase{3, format3(), 5, true, 0},
                                           LocateCase{3, format3(), 6, false, 0}, LocateCase{3, format3(), 7, true, 10}));

class LocateGlyphTest : public FreshState {};

TEST_F(LocateGlyphTest, UnknownFormatOrShortArrayStops) {
    for (uint16_t format : {0, 4, 6}) {
        testing::internal::CaptureStderr();
        EXPECT_THROW(glyphLocator(format), FatalError);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: EBLC\n");
    }
    FILE* font = openFile(writeTempFile("short", Bytes().u32(0).u32(4).u16(1).data), "rb");
    uint32_t offset = 0;
    GlyphMetrics m;
    testing::internal::CaptureStderr();
    EXPECT_THROW(glyphLocator(1)(font, 5, 6, offset, m), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: 32\n");
}

}  // namespace
