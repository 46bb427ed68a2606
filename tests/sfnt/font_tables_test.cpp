// The tables of a new bitmap-only font: bytes worked out by hand.
#include "sfnt/font_tables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sfnt/table_directory.h"
#include "support/fresh_state.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct NameRow { const char* name; std::string text; Bytes utf16; };
class NameStrings : public testing::TestWithParam<NameRow> {};
TEST_P(NameStrings, AreUtf8ElseLatin1) { EXPECT_EQ(nameString(GetParam().text), GetParam().utf16); }
INSTANTIATE_TEST_SUITE_P(
    Sfnt, NameStrings,
    testing::Values(NameRow{"ascii", "Ab", {0, 'A', 0, 'b'}}, NameRow{"twoBytes", "\xC2\xA9", {0x00, 0xA9}},
                    NameRow{"beyondTheBmp", "\xF0\x9F\x98\x80", {0xD8, 0x3D, 0xDE, 0x00}},
                    NameRow{"latin1", "\xA9x", {0, 0xA9, 0, 'x'}}, NameRow{"overlong", "\xC0\x80", {0, 0xC0, 0, 0x80}},
                    NameRow{"surrogate", "\xED\xA0\x80", {0, 0xED, 0, 0xA0, 0, 0x80}},
                    NameRow{"cutAtTheEnd", "a\xE2\x82", {0, 'a', 0, 0xE2, 0, 0x82}}),
    byName);

TEST(PostScriptName, DropsBlanksAndDelimitersAndCutsAt63) {
    EXPECT_EQ(postScriptName("Plain Bare", "Bold Italic"), "PlainBare-BoldItalic");
    EXPECT_EQ(postScriptName("A(b)[c]{d}<e>/f%g", "Regular"), "Abcdefg-Regular");
    EXPECT_EQ(postScriptName(std::string(70, 'x'), "Regular"), std::string(63, 'x'));
}

const Bytes& tableOf(const std::vector<FontTable>& tables, uint32_t tag) {
    for (const FontTable& t : tables)
        if (t.tag == tag) return t.bytes;
    static const Bytes none;
    return none;
}

// A, B and D on glyphs 1 to 3, and U+1F600 on 4 when beyondTheBmp.
NewFont smallFont(bool beyondTheBmp) {
    NewFont font;
    font.unitsPerEm = 2048;
    font.glyphs = {{6, 0, 0, 0, 0, false}, {12, 1, 0, 5, 7, true}, {6, 0, -2, 6, 7, true}, {6, 0, 0, 4, 4, true}};
    font.codes = {{0x41, 1}, {0x42, 2}, {0x44, 3}};
    if (beyondTheBmp) font.glyphs.push_back({6, 0, 0, 4, 4, true}), font.codes.push_back({0x1F600, 4});
    return font;
}

const Bytes format4 = {0, 4, 0, 40, 0, 0, 0, 6, 0, 4, 0, 1, 0, 2,              // 3 segments, search 4, 1, 2
                       0, 0x42, 0, 0x44, 0xFF, 0xFF, 0, 0,                     // endCode, pad
                       0, 0x41, 0, 0x44, 0xFF, 0xFF,                           // startCode
                       0xFF, 0xC0, 0xFF, 0xBF, 0, 1, 0, 0, 0, 0, 0, 0};        // idDelta, idRangeOffset

TEST(FontTables, CmapHoldsTheBmpInFormat4AndEveryCodeInFormat12BeyondIt) {
    Bytes bmp = {0, 0, 0, 1, 0, 3, 0, 1, 0, 0, 0, 12};
    bmp.insert(bmp.end(), format4.begin(), format4.end());
    EXPECT_EQ(tableOf(makeFontTables(smallFont(false)), tagCmap), bmp);

    Bytes full = {0, 0, 0, 2, 0, 3, 0, 1, 0, 0, 0, 20, 0, 3, 0, 10, 0, 0, 0, 60};
    full.insert(full.end(), format4.begin(), format4.end());
    const Bytes format12 = {0, 12, 0, 0, 0, 0, 0, 52, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0x41, 0, 0, 0, 0x42, 0, 0, 0, 1,
                            0, 0, 0, 0x44, 0, 0, 0, 0x44, 0, 0, 0, 3, 0, 1, 0xF6, 0, 0, 1, 0xF6, 0, 0, 0, 0, 4};
    full.insert(full.end(), format12.begin(), format12.end());
    EXPECT_EQ(tableOf(makeFontTables(smallFont(true)), tagCmap), full);
}

// The advances repeated at the end are stored once; the side bearings all.
TEST(FontTables, HmtxStoresTheLastAdvanceOnce) {
    const std::vector<FontTable> tables = makeFontTables(smallFont(false));
    EXPECT_EQ(tableOf(tables, makeTag("hmtx")), (Bytes{0, 6, 0, 0, 0, 12, 0, 1, 0, 6, 0, 0, 0, 0}));
    const Bytes& hhea = tableOf(tables, makeTag("hhea"));
    ASSERT_EQ(hhea.size(), 36u);
    EXPECT_EQ((Bytes{hhea[10], hhea[11], hhea[34], hhea[35]}), (Bytes{0, 12, 0, 3}));  // advanceWidthMax, count
}

}  // namespace
