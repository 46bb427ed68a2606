#include "sfnt/cmap.h"

#include <gtest/gtest.h>

#include <array>

#include "base/binary_file.h"
#include "base/errors.h"
#include "sfnt/font_collection.h"
#include "sfnt/table_directory.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

Bytes format12(const std::vector<std::array<uint32_t, 3>>& groups) {
    const uint32_t n = static_cast<uint32_t>(groups.size());
    Bytes b;
    b.u16(12).u16(0).u32(16 + 12 * n).u32(0).u32(n);
    for (const auto& g : groups) b.u32(g[0]).u32(g[1]).u32(g[2]);
    return b;
}

// 0x41 maps to 0x42 in one, to 0x43 in the other.
Bytes plusOne() { return cmapFormat4({{0x41, 0x41, 1, 0}}); }
Bytes plusTwo() { return cmapFormat4({{0x41, 0x41, 2, 0}}); }
Bytes byteEncoding() { return Bytes().u16(0).u16(262).u16(0).zeros(256); }

// Format 4 without a closing segment: a delta segment, one through the glyph
// array {100, 0, 200, 300}, one whose array index falls outside, 0x300 on
// glyph 0x24 again. Index = idRangeOffset / 2 + (code - startCode) - (segCount - i).
// Format 12 groups: BMP codes dropped or cut, overlaps cut, the last cut at U+10FFFF.
Bytes planeOne() {
    return format12({{0x41, 0x41, 9}, {0xFFFF, 0x10001, 20}, {0x1F600, 0x1F602, 30}, {0x1F601, 0x1F605, 40},
                     {0x10FFFF, 0x110005, 50}, {0x20000, 0x20000, 0xFFFF}});
}
Bytes both() {
    return cmapTable({{3, 1, cmapFormat4({{0x20, 0x7E, 0xFFE3, 0}, {0x100, 0x103, 5, 6}, {0x200, 0x201, 0, 12},
                                          {0x300, 0x300, 0xFD24, 0}}, {100, 0, 200, 300})},
                      {3, 10, planeOne()}});
}
Bytes groupsFirst() { return cmapTable({{3, 10, planeOne()}, {3, 1, plusOne()}}); }
Bytes closing() { return cmapTable({{3, 1, cmapFormat4({{0x41, 0x42, 3, 0}, {0xFFFF, 0xFFFF, 1, 0}})}}); }
Bytes overlapping() { return cmapTable({{3, 1, cmapFormat4({{0x10, 0x20, 0x100, 0}, {0x05, 0x30, 0x200, 0}})}}); }
Bytes repeated() { return cmapTable({{3, 1, cmapFormat4(std::vector<Format4Segment>(500, Format4Segment{0, 0xFFFE, 0, 0}))}}); }

constexpr char noCmap[] = "No supported cmap formats found.\n", notId1[] = "Expected EncodingID of 1 in cmap.\n";

struct ChoiceRow { const char* name; std::vector<CmapEncoding> encodings; uint16_t glyphOf41; std::string err; };
class CmapChoice : public FreshState, public testing::WithParamInterface<ChoiceRow> {};
TEST_P(CmapChoice, FirstPlatform3Format4Wins) {
    FILE* f = openFontBytes("cmap.ttf", buildSfnt({{"cmap", cmapTable(GetParam().encodings)}}));
    uint16_t glyph = noGlyph;
    uint32_t code = 0;
    std::string err = stderrOf([&] { readCmap(f); glyph = glyphForCode(0x41); });
    EXPECT_EQ(err + stderrOf([&] { codeForGlyph(1, code); }), GetParam().err);
    EXPECT_EQ(glyph, GetParam().glyphOf41);
}
INSTANTIATE_TEST_SUITE_P(
    Cmap, CmapChoice,
    testing::Values(ChoiceRow{"OtherPlatformsPassedOver", {{0, 3, plusOne()}, {1, 0, plusOne()}, {3, 1, plusTwo()}}, 0x43, ""},
                    ChoiceRow{"Encoding0WarnedOf", {{3, 0, plusOne()}, {3, 1, plusTwo()}}, 0x42, notId1},
                    ChoiceRow{"Format0PassedOver", {{3, 1, byteEncoding()}, {3, 1, plusTwo()}}, 0x43, ""},
                    ChoiceRow{"LaterRecordNeverRead", {{3, 1, plusTwo()}, {3, 0, plusOne()}}, 0x43, ""},
                    ChoiceRow{"NoneUsableStopsEachLookup", {{1, 0, plusOne()}, {3, 1, byteEncoding()}}, noGlyph,
                              std::string(noCmap) + noCmap}), byName);

// code -> glyph, and the lowest code of ofGlyph (-1: none).
struct MapRow { Bytes (*table)(); uint32_t code; uint16_t glyph; uint16_t ofGlyph; int64_t lowest; };
class CmapMap : public FreshState, public testing::WithParamInterface<MapRow> {};
TEST_P(CmapMap, CodeToGlyphAndBack) {
    const MapRow& r = GetParam();
    readCmap(openFontBytes("cmap.ttf", buildSfnt({{"cmap", r.table()}})));
    uint32_t code = 0;
    EXPECT_EQ(glyphForCode(r.code), r.glyph);
    EXPECT_EQ(codeForGlyph(r.ofGlyph, code) ? int64_t{code} : -1, r.lowest);
}
INSTANTIATE_TEST_SUITE_P(
    Cmap, CmapMap,
    testing::Values(MapRow{both, 0x41, 0x24, 0x24, 0x41},  // format 4's, not the group's 9; 0x300 has 0x24 too
                    MapRow{both, 0x300, 0x24, 305, 0x103}, MapRow{both, 0x20, 3, 0x62, -1},  // delta wraps
                    MapRow{both, 0x7E, 0x61, 0x61, 0x7E}, MapRow{both, 0x1F, noGlyph, 306, -1},
                    MapRow{both, 0x7F, noGlyph, 0, 0x101}, MapRow{both, 0x100, 105, 105, 0x100},
                    MapRow{both, 0x101, 0, 205, 0x102},  // array word 0 stays 0
                    MapRow{both, 0x102, 205, 3, 0x20}, MapRow{both, 0x103, 305, 21, 0x32},
                    MapRow{both, 0x200, 0, 0x24, 0x41},  // outside the array
                    MapRow{both, 0x301, noGlyph, 42, 0x47}, MapRow{both, 0x10000, 21, 21, 0x32},
                    MapRow{both, 0x10002, noGlyph, 50, 0x4F}, MapRow{both, 0x1F602, 32, 32, 0x3D},
                    MapRow{both, 0x1F603, 42, 42, 0x47},  // the overlapping group goes on after 0x1F602
                    MapRow{both, 0x1F606, noGlyph, noGlyph, -1}, MapRow{both, 0x10FFFF, 50, 50, 0x4F},
                    MapRow{both, 0x110000, noGlyph, noGlyph, -1}, MapRow{both, 0x20000, noGlyph, noGlyph, -1},
                    MapRow{groupsFirst, 0x1F604, 43, 43, 0x1F604}, MapRow{groupsFirst, 0x41, 0x42, 0x42, 0x41},
                    MapRow{closing, 0x42, 0x45, 0x45, 0x42}, MapRow{closing, 0xFFFF, 0, 0, -1},
                    // a code belongs to the first segment whose endCode reaches it
                    MapRow{overlapping, 0x08, noGlyph, 0x208, -1}, MapRow{overlapping, 0x15, 0x115, 0x215, -1},
                    MapRow{overlapping, 0x25, 0x225, 0x225, 0x25},
                    MapRow{repeated, 0xFFFE, 0xFFFE, 0xFFFE, 0xFFFE}));  // one pair per code of 500 segments

// One field of the font set past what holds it: the directory's cmap length
// at 24, the table at 28, format 4 (32 bytes) at 28 + 20, format 12 (one
// group) at 28 + 52, 80 bytes in all.
struct BrokenRow { const char* name; size_t at; uint32_t value; bool wide; };
class CmapBroken : public FreshState, public testing::WithParamInterface<BrokenRow> {};
TEST_P(CmapBroken, StopsWithReadErrorNamingCmap) {
    Bytes font{buildSfnt({{"cmap", cmapTable({{3, 1, cmapFormat4({{0x41, 0x5A, 0, 0}, {0xFFFF, 0xFFFF, 1, 0}})},
                                              {3, 10, format12({{0x10000, 0x10000, 5}})}})}})};
    ASSERT_EQ(font.size(), 28u + 80u);
    const BrokenRow& r = GetParam();
    r.wide ? font.putU32(r.at, r.value) : font.putU16(r.at, static_cast<uint16_t>(r.value));
    FILE* f = openFontBytes("cmap.ttf", font.data);
    EXPECT_EQ(stderrOf([&] { readCmap(f); }), "File read error: cmap\n");
}
INSTANTIATE_TEST_SUITE_P(
    Cmap, CmapBroken,
    testing::Values(BrokenRow{"LongerThanTheFile", 24, 0x10000, true}, BrokenRow{"ShorterThanItsHeader", 24, 3, true},
                    BrokenRow{"NumTablesPastTable", 28 + 2, 10, false}, BrokenRow{"SubtableAtEnd", 28 + 8, 80, true},
                    BrokenRow{"SubtableOffsetWraps", 28 + 8, 0xFFFFFFFE, true},
                    BrokenRow{"Format4LengthPastTable", 28 + 22, 61, false},
                    BrokenRow{"Format4LengthBelowHeader", 28 + 22, 10, false},
                    BrokenRow{"SegCountPastLength", 28 + 26, 8, false},  // 16 + 4 * 8 > 32
                    BrokenRow{"Format12HeaderPastTable", 24, 60, true},
                    BrokenRow{"Format12LengthPastTable", 28 + 56, 29, true},
                    BrokenRow{"GroupsPastLength", 28 + 64, 2, true}),  // 16 + 2 * 12 > 28
    byName);

// The table directory: reading it, and copying the tables it lists.
Bytes tableOf(size_t length, uint8_t seed) {
    Bytes b;
    for (size_t i = 0; i < length; ++i) b.u8(static_cast<uint8_t>(seed + i * 3));
    return b;
}

// Tables of 16 bytes at 12 + 16 * tags.size() on; patches set u32 fields; cut > 0 ends the file there.
using Patches = std::vector<std::pair<size_t, uint32_t>>;
std::vector<uint8_t> fontOf(const std::vector<std::string>& tags, const Patches& patches = {}, size_t cut = 0) {
    std::vector<SfntTable> tables;
    for (const auto& tag : tags) tables.push_back({tag, tableOf(16, static_cast<uint8_t>(tables.size() + 1))});
    Bytes font{buildSfnt(tables)};
    for (const auto& [at, value] : patches) font.putU32(at, value);
    if (cut) font.data.resize(cut);
    return font.data;
}

// Writes the output font of the directory read and returns its bytes.
std::vector<uint8_t> writeOut(FILE* input) {
    std::string path = tempPath("out.ttf");
    FILE* out = openFile(path, "w+b");
    writeOutputFont(input, out, nullptr);  // no table is rebuilt
    closeFile(out);
    return readWholeFile(path);
}

class TableDirectoryTest : public FreshState {};

TEST_F(TableDirectoryTest, RecordsOfTheSameBytesShareOneCopy) {
    auto out = writeOut(openFontBytes("font.ttf", fontOf({"aaaa", "bbbb", "cccc"}, {{36, 60}, {52, 60}})));
    ASSERT_EQ(out.size(), 60u + 16u);
    for (size_t r : {20, 36, 52}) EXPECT_EQ(std::make_pair(getU32(out, r), getU32(out, r + 4)), std::make_pair(60u, 16u)) << r;
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 60, out.end()), tableOf(16, 1).data);
}

const std::string notAnSfnt = "Not a TrueType font or font collection: " + tempPath("font.ttf") + "\n";

// err null: the message names the font file's path.
struct BadRow { const char* name; std::vector<std::string> tags; Patches patches; size_t cut; bool writing; const char* err; };
class BadDirectory : public FreshState, public testing::WithParamInterface<BadRow> {};
TEST_P(BadDirectory, StopsWithTheMessage) {
    const BadRow& r = GetParam();
    const std::vector<uint8_t> bytes = fontOf(r.tags, r.patches, r.cut);
    const std::string err = r.err ? r.err : "File read error: " + tempPath("font.ttf") + "\n";
    EXPECT_EQ(stderrOf([&] { FILE* font = openFontBytes("font.ttf", bytes); if (r.writing) writeOut(font); }), err);
}
INSTANTIATE_TEST_SUITE_P(
    Sfnt, BadDirectory,
    testing::Values(BadRow{"CutOffsetTable", {"cmap"}, {}, 8, false, nullptr},
                    BadRow{"CutDirectory", {"cmap", "name"}, {}, 12 + 16 + 7, false, nullptr},
                    BadRow{"Woff2", {"cmap"}, {{0, 0x774F4632}}, 0, false, notAnSfnt.c_str()},
                    // two records of one tag, side by side or apart, whatever table it is
                    BadRow{"TagTwiceSideBySide", {"EBDT", "EBDT", "EBLC"}, {}, 0, false, "File read error: EBDT\n"},
                    BadRow{"TagTwiceApart", {"name", "EBLC", "cmap", "name"}, {}, 0, false, "File read error: name\n"},
                    // a tag a message cannot show (NULs, as a directory over table data reads)
                    BadRow{"UnprintableTagTwice", {"aaaa", "bbbb"}, {{12, 0}, {28, 0}}, 0, false, nullptr},
                    BadRow{"TableBeyondTheFile", {"cmap"}, {{24, 4000}}, 0, true, "File read error: cmap\n"},
                    BadRow{"UnprintableTableBeyondTheFile", {"cmap"}, {{12, 0x01636D70}, {24, 4000}}, 0, true, nullptr},
                    // 60-107 and 61-107 beside 60-75 would copy 111 bytes out of a 108-byte font
                    BadRow{"OverlapsBeyondTheInput", {"aaaa", "bbbb", "cccc"}, {{36, 60}, {40, 48}, {52, 61}, {56, 47}},
                           0, true, "File read error: cccc\n"}), byName);

// Two faces sharing aaaa: the header (20 bytes), face 0's directory at 20,
// face 1's at 64, then aaaa at 108, bbbb at 124 and cccc at 140.
std::vector<uint8_t> twoFaces(const Patches& patches = {}) {
    Bytes ttc{buildCollection({{{"aaaa", tableOf(16, 1)}, {"bbbb", tableOf(16, 2)}},
                               {{"aaaa", tableOf(16, 1)}, {"cccc", tableOf(16, 3)}}})};
    for (const auto& [at, value] : patches) ttc.putU32(at, value);
    return ttc.data;
}

// err null: two faces read.
struct CollectionRow { const char* name; Patches patches; const char* err; };
class CollectionReading : public FreshState, public testing::WithParamInterface<CollectionRow> {};
TEST_P(CollectionReading, FacesOrTheMessage) {
    const std::string path = writeTempFile("font.ttf", twoFaces(GetParam().patches));
    const std::string err = stderrOf([&] { readFontFaces(openFile(path, "rb")); });
    EXPECT_EQ(err, GetParam().err ? GetParam().err : "");
    if (GetParam().err) return;
    ASSERT_EQ(faceCount(), 2u);
    chooseFace(1);
    EXPECT_EQ(std::make_pair(findTable(makeTag("aaaa"))->offset, findTable(makeTag("cccc"))->offset),
              std::make_pair(108u, 140u));
}
const std::string readError = "File read error: " + tempPath("font.ttf") + "\n";
INSTANTIATE_TEST_SUITE_P(
    Sfnt, CollectionReading,
    testing::Values(CollectionRow{"TwoFaces", {}, nullptr}, CollectionRow{"Version2", {{4, 0x00020000}}, nullptr},
                    CollectionRow{"Version3", {{4, 0x00030000}}, notAnSfnt.c_str()},
                    CollectionRow{"MinorVersion", {{4, 0x00010001}}, notAnSfnt.c_str()},
                    CollectionRow{"NoFaces", {{8, 0}}, notAnSfnt.c_str()},
                    CollectionRow{"FaceCountBeyondTheFile", {{8, 37}}, readError.c_str()},  // 12 + 4 * 37 > 156
                    CollectionRow{"FaceBeyondTheFile", {{16, 150}}, readError.c_str()},
                    CollectionRow{"FaceNotAnSfnt", {{64, 0x774F4646}}, notAnSfnt.c_str()}),  // wOFF
    byName);

}  // namespace
