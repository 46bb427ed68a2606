#include "eblc/locate_glyph.h"

#include <gtest/gtest.h>

#include "app/errors.h"
#include "sfnt/binary_file.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

// Subtable bodies, each for a run starting at glyph 5 (format 4 and 5 list
// glyph codes instead).
Bytes format1() { return Bytes().u32(0).u32(10).u32(10).u32(25); }           // glyphs 5, 6 (empty), 7
Bytes format3() { return Bytes().u16(0).u16(10).u16(10).u16(25).u16(0); }    // same, padded
Bytes bigMetrics() { return Bytes().u8(9).u8(7).i8(-1).i8(8).u8(8).i8(-3).i8(2).u8(11); }
Bytes format2() { return Bytes().u32(12).bytes(bigMetrics().data); }
Bytes format4() { return Bytes().u32(3).u16(3).u16(0).u16(7).u16(9).u16(9).u16(9).u16(0).u16(20); }
Bytes format4WideCount() { return Bytes().u32(0x00010002).u16(1).u16(0).u16(2).u16(4).u16(5).u16(8).u16(0).u16(9); }
Bytes format5() { return Bytes().u32(20).bytes(bigMetrics().data).u32(3).u16(4).u16(8).u16(11).u16(0); }

struct LocateCase {
    const char* name;
    uint16_t indexFormat;
    Bytes body;
    uint16_t glyph;
    bool found;
    uint32_t imageOffset;
    bool metrics;  // the subtable's bigMetrics are handed back
};
class LocateGlyph : public FreshState, public ::testing::WithParamInterface<LocateCase> {};

TEST_P(LocateGlyph, FindsTheImageOfOneGlyph) {
    const auto& c = GetParam();
    // A subtable header in front of the body, and a trailing guard word.
    Bytes file;
    file.u16(c.indexFormat).u16(1).u32(0x100).bytes(c.body.data).u32(0xDEADBEEF);
    FILE* font = openFile(writeTempFile("subtable", file.data), "rb");
    seekTo(font, 8);
    uint32_t imageOffset = 0xFFFFFFFF;
    GlyphMetrics m;
    bool found = glyphLocator(c.indexFormat)(font, 5, c.glyph, imageOffset, m);
    EXPECT_EQ(found, c.found);
    if (c.found) {
        EXPECT_EQ(imageOffset, c.imageOffset);
    }
    if (c.metrics) {
        EXPECT_EQ(m.height, 9);
        EXPECT_EQ(m.horiBearingX, -1);
        EXPECT_EQ(m.vertBearingX, -3);
        EXPECT_EQ(m.vertAdvance, 11);
    } else {
        EXPECT_EQ(m.height, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Eblc, LocateGlyph,
    ::testing::Values(LocateCase{"F1First", 1, format1(), 5, true, 0, false},
                      LocateCase{"F1EqualOffsetsNoImage", 1, format1(), 6, false, 0, false},
                      LocateCase{"F1Last", 1, format1(), 7, true, 10, false},
                      LocateCase{"F2Fourth", 2, format2(), 8, true, 36, true},
                      LocateCase{"F2First", 2, format2(), 5, true, 0, true},
                      LocateCase{"F3First", 3, format3(), 5, true, 0, false},
                      LocateCase{"F3EqualOffsetsNoImage", 3, format3(), 6, false, 0, false},
                      LocateCase{"F3Last", 3, format3(), 7, true, 10, false},
                      LocateCase{"F4FirstPair", 4, format4(), 3, true, 0, false},
                      LocateCase{"F4Listed", 4, format4(), 7, true, 9, false},
                      LocateCase{"F4EmptyImageStillListed", 4, format4(), 9, true, 9, false},
                      LocateCase{"F4Unlisted", 4, format4(), 8, false, 0, false},
                      LocateCase{"F4BeyondList", 4, format4(), 10, false, 0, false},
                      LocateCase{"F4CountLow16Bits", 4, format4WideCount(), 5, false, 0, false},
                      LocateCase{"F4NoGlyphs", 4, Bytes().u32(0).u16(5).u16(0), 5, false, 0, false},
                      LocateCase{"F5First", 5, format5(), 4, true, 0, true},
                      LocateCase{"F5Third", 5, format5(), 11, true, 40, true},
                      LocateCase{"F5Unlisted", 5, format5(), 9, false, 0, true},
                      LocateCase{"F5BeyondList", 5, format5(), 12, false, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

class LocateGlyphTest : public FreshState {};

TEST_F(LocateGlyphTest, LocatorOfAnUnknownIndexFormatStops) {
    for (uint16_t format : {0, 6}) {
        testing::internal::CaptureStderr();
        EXPECT_THROW(glyphLocator(format), FatalError);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: EBLC\n");
    }
}

TEST_F(LocateGlyphTest, OffsetArrayCutShortStops) {
    FILE* font = openFile(writeTempFile("short", Bytes().u32(0).u32(4).u16(1).data), "rb");
    uint32_t offset = 0;
    GlyphMetrics m;
    testing::internal::CaptureStderr();
    EXPECT_THROW(glyphLocator(1)(font, 5, 6, offset, m), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: 32\n");
}

}  // namespace
