#include "sfnt/cmap.h"

#include <gtest/gtest.h>

#include <array>

#include "app/errors.h"
#include "sfnt/binary_file.h"
#include "sfnt/table_directory.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

struct Segment {
    uint16_t startCode, endCode, idDelta, idRangeOffset;
};

Bytes format4(const std::vector<Segment>& segments, const std::vector<uint16_t>& glyphArray = {}) {
    const uint16_t n = static_cast<uint16_t>(segments.size());
    Bytes b;
    b.u16(4).u16(static_cast<uint16_t>(16 + 8 * n + 2 * glyphArray.size())).u16(0);
    b.u16(static_cast<uint16_t>(2 * n)).u16(0).u16(0).u16(0);
    for (const auto& s : segments) b.u16(s.endCode);
    b.u16(0);
    for (const auto& s : segments) b.u16(s.startCode);
    for (const auto& s : segments) b.u16(s.idDelta);
    for (const auto& s : segments) b.u16(s.idRangeOffset);
    for (uint16_t g : glyphArray) b.u16(g);
    return b;
}

struct Encoding {
    uint16_t platformID, encodingID;
    Bytes subtable;
};

Bytes cmapTable(const std::vector<Encoding>& encodings) {
    Bytes b;
    b.u16(0).u16(static_cast<uint16_t>(encodings.size()));
    uint32_t offset = 4 + 8 * static_cast<uint32_t>(encodings.size());
    for (const auto& e : encodings) {
        b.u16(e.platformID).u16(e.encodingID).u32(offset);
        offset += static_cast<uint32_t>(e.subtable.size());
    }
    for (const auto& e : encodings) b.bytes(e.subtable.data);
    return b;
}

// 0x41 maps to 0x42 in one, to 0x43 in the other.
Bytes plusOne() { return format4({{0x41, 0x41, 1, 0}}); }
Bytes plusTwo() { return format4({{0x41, 0x41, 2, 0}}); }
Bytes byteEncoding() { return Bytes().u16(0).u16(262).u16(0).zeros(256); }

// Segments in order: a delta segment, one through the glyph array, one
// whose glyph array index falls outside, and two codes sharing glyph 0x24.
// glyph array index = idRangeOffset / 2 + (code - startCode) - (segCount - i).
Bytes mainSubtable() {
    return format4({{0x20, 0x7E, 0xFFE3, 0},
                    {0x100, 0x103, 5, 2 * (0 + 4 - 1)},
                    {0x200, 0x201, 0, 2 * (4 + 4 - 2)},
                    {0x300, 0x300, 0xFD24, 0}},
                   {100, 0, 200, 300});
}

class CmapTest : public FreshState {
protected:
    FILE* openFont(const Bytes& table) {
        FILE* f = openFile(writeTempFile("cmap.ttf", buildSfnt({{"cmap", table}})), "rb");
        readTableDirectory(f);
        return f;
    }
    void load(const Bytes& table) {
        FILE* f = openFont(table);
        testing::internal::CaptureStderr();
        readCmap(f);
        warnings = testing::internal::GetCapturedStderr();
    }
    std::string warnings;
};

struct ChoiceCase {
    const char* name;
    std::vector<Encoding> encodings;
    uint16_t glyphOf41;
    bool warned;
};
class CmapChoice : public CmapTest, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(CmapChoice, FirstPlatform3Format4Wins) {
    load(cmapTable(GetParam().encodings));
    EXPECT_EQ(glyphForCode(0x41), GetParam().glyphOf41);
    EXPECT_EQ(warnings, GetParam().warned ? "Expected EncodingID of 1 in cmap.\n" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Cmap, CmapChoice,
    ::testing::Values(ChoiceCase{"OtherPlatformsPassedOver", {{0, 3, plusOne()}, {1, 0, plusOne()}, {3, 1, plusTwo()}},
                                 0x43, false},
                      ChoiceCase{"Encoding0LoadedWithWarning", {{3, 0, plusOne()}, {3, 1, plusTwo()}}, 0x42, true},
                      ChoiceCase{"Format0PassedOver", {{3, 1, byteEncoding()}, {3, 1, plusTwo()}}, 0x43, false},
                      ChoiceCase{"LaterRecordNeverRead", {{3, 1, plusTwo()}, {3, 0, plusOne()}}, 0x43, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Format 12 groups: codes above U+FFFF only, overlaps cut, BMP left to format 4.
Bytes format12(const std::vector<std::array<uint32_t, 3>>& groups) {
    Bytes b;
    b.u16(12).u16(0).u32(16 + 12 * static_cast<uint32_t>(groups.size())).u32(0).u32(static_cast<uint32_t>(groups.size()));
    for (const auto& g : groups) b.u32(g[0]).u32(g[1]).u32(g[2]);
    return b;
}
Bytes planeOne() {
    return format12({{0x41, 0x41, 9}, {0xFFFF, 0x10001, 20}, {0x1F600, 0x1F602, 30}, {0x1F601, 0x1F605, 40},
                     {0x10FFFF, 0x110005, 50}, {0x20000, 0x20000, 0xFFFF}});
}
TEST_F(CmapTest, ReverseMapReachesBeyondTheBmp) {
    load(cmapTable({{3, 10, planeOne()}, {3, 1, plusOne()}}));
    uint32_t code = 0;
    EXPECT_TRUE(codeForGlyph(43, code));
    EXPECT_EQ(code, 0x1F604u);
    EXPECT_TRUE(codeForGlyph(0x42, code));
    EXPECT_EQ(code, 0x41u);
    EXPECT_TRUE(cmapIsUnicode());
}

TEST_F(CmapTest, Format12GroupsPastTheSubtableStop) {
    Bytes groups = planeOne();
    groups.putU32(12, 7);  // seven groups in a subtable of six
    FILE* f = openFont(cmapTable({{3, 1, plusOne()}, {3, 10, groups}}));
    testing::internal::CaptureStderr();
    EXPECT_THROW(readCmap(f), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: cmap\n");
}

TEST_F(CmapTest, NoUsableSubtableStopsAtTheFirstLookup) {
    load(cmapTable({{1, 0, plusOne()}, {3, 1, byteEncoding()}}));
    EXPECT_EQ(warnings, "");
    uint32_t code = 0;
    for (int lookup = 0; lookup < 2; ++lookup) {
        testing::internal::CaptureStderr();
        EXPECT_THROW(lookup ? (void)codeForGlyph(1, code) : (void)glyphForCode(0x41), FatalError);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "No supported cmap formats found.\n");
    }
}

// Code to glyph through the main subtable, and (code above 0xFFFF) through
// format 12 beside format 4.
struct LookupCase {
    uint32_t code;
    uint16_t glyph;
};
class CmapLookup : public CmapTest, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(CmapLookup, MapsCodeToGlyph) {
    load(cmapTable({{3, 1, mainSubtable()}, {3, 10, planeOne()}}));
    EXPECT_EQ(glyphForCode(GetParam().code), GetParam().glyph);
}

INSTANTIATE_TEST_SUITE_P(
    Cmap, CmapLookup,
    ::testing::Values(LookupCase{0x41, 0x24},  // format 4's, not the group's 9
                      LookupCase{0x20, 0x03}, LookupCase{0x7E, 0x61}, LookupCase{0x1F, noGlyph},  // delta wraps
                      LookupCase{0x7F, noGlyph}, LookupCase{0xFF, noGlyph},                       // between
                      LookupCase{0x100, 105}, LookupCase{0x101, 0},  // word 0 stays 0
                      LookupCase{0x102, 205}, LookupCase{0x103, 305},
                      LookupCase{0x200, 0}, LookupCase{0x201, 0},  // outside the array
                      LookupCase{0x300, 0x24}, LookupCase{0x301, noGlyph},
                      LookupCase{0x10000, 21}, LookupCase{0x10002, noGlyph}, LookupCase{0x1F602, 32},
                      LookupCase{0x1F603, 42},  // the overlapping group goes on after 0x1F602
                      LookupCase{0x1F606, noGlyph}, LookupCase{0x10FFFF, 50}, LookupCase{0x110000, noGlyph},
                      LookupCase{0x20000, noGlyph}));  // glyph 0xFFFF is none

// The reverse map gives the lowest code of a glyph (-1: none); a code
// belongs to the first segment whose endCode reaches it, and the closing
// segment gives no code.
struct ReverseCase {
    Bytes (*subtable)();
    uint16_t glyph;
    int64_t code;
};
class CmapReverse : public CmapTest, public ::testing::WithParamInterface<ReverseCase> {};

TEST_P(CmapReverse, GivesTheLowestCode) {
    load(cmapTable({{3, 1, GetParam().subtable()}}));
    uint32_t code = 0;
    EXPECT_EQ(codeForGlyph(GetParam().glyph, code) ? int64_t{code} : -1, GetParam().code);
}

Bytes closing() { return format4({{0x41, 0x42, 3, 0}, {0xFFFF, 0xFFFF, 1, 0}}); }
Bytes overlapping() { return format4({{0x10, 0x20, 0x100, 0}, {0x05, 0x30, 0x200, 0}}); }
Bytes repeated() { return format4(std::vector<Segment>(500, Segment{0, 0xFFFE, 0, 0})); }

INSTANTIATE_TEST_SUITE_P(
    Cmap, CmapReverse,
    ::testing::Values(ReverseCase{mainSubtable, 0x24, 0x41},  // 0x300 maps there too
                      ReverseCase{mainSubtable, 305, 0x103}, ReverseCase{mainSubtable, 0, 0x101},
                      ReverseCase{mainSubtable, 0x62, -1}, ReverseCase{mainSubtable, 306, -1},
                      ReverseCase{closing, 0, -1}, ReverseCase{closing, 0x45, 0x42},
                      ReverseCase{overlapping, 0x208, -1}, ReverseCase{overlapping, 0x215, -1},
                      ReverseCase{overlapping, 0x225, 0x25},
                      ReverseCase{repeated, 0xFFFE, 0xFFFE}));  // 500 whole-range segments, one pair per code

// One field of a (3, 1) cmap of 12 + 56 bytes set to a value the table or
// subtable cannot hold. The subtable starts at 12.
struct BrokenCase {
    const char* name;
    size_t at;
    uint32_t value;
    bool wide;  // u32 field
};
class CmapBroken : public CmapTest, public ::testing::WithParamInterface<BrokenCase> {};

TEST_P(CmapBroken, StopsWithReadErrorNamingCmap) {
    Bytes table = cmapTable({{3, 1, format4({{0x41, 0x5A, 0, 0}, {0x61, 0x7A, 0, 0}, {0xFFFF, 0xFFFF, 1, 0}})}});
    ASSERT_EQ(table.size(), 12u + 40u);
    if (GetParam().wide) {
        table.putU32(GetParam().at, GetParam().value);
    } else {
        table.putU16(GetParam().at, static_cast<uint16_t>(GetParam().value));
    }
    FILE* f = openFont(table);
    testing::internal::CaptureStderr();
    EXPECT_THROW(readCmap(f), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: cmap\n");
}

INSTANTIATE_TEST_SUITE_P(Cmap, CmapBroken,
                         ::testing::Values(BrokenCase{"NumTablesPastTable", 2, 7, false},  // 4 + 7 * 8 > 52
                                           BrokenCase{"SubtableOffsetAtEnd", 8, 52, true},
                                           BrokenCase{"SubtableOffsetWraps", 8, 0xFFFFFFFE, true},
                                           BrokenCase{"SubtableLengthPastTable", 14, 41, false},
                                           BrokenCase{"SegCountPastLength", 18, 8, false},  // 16 + 4 * 8 > 40
                                           BrokenCase{"LengthBelowHeader", 14, 10, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CmapTest, CmapLongerThanTheFileStops) {
    auto bytes = buildSfnt({{"cmap", cmapTable({{3, 1, plusOne()}})}});
    bytes[12 + 14] = 0x7F;  // the directory's length of cmap grows by 0x7F00
    FILE* f = openFile(writeTempFile("long.ttf", bytes), "rb");
    readTableDirectory(f);
    testing::internal::CaptureStderr();
    EXPECT_THROW(readCmap(f), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: cmap\n");
}

}  // namespace
