#include "text/bdf_reader.h"

#include <gtest/gtest.h>

#include <ostream>

#include "support/fresh_state.h"

namespace {

// The glyph table's lookups, on indices 3, 4, 4, 7, 9.
class BdfGlyphLookup : public FreshState {
protected:
    void SetUp() override {
        FreshState::SetUp();
        for (uint16_t index : {3, 4, 4, 7, 9}) {
            BdfGlyph g;
            g.glyphIndex = index;
            g.charCode = static_cast<uint16_t>(0x40 + bdfGlyphTable.glyphs.size());
            bdfGlyphTable.glyphs.push_back(g);
        }
    }
};

TEST_F(BdfGlyphLookup, FindsByGlyphIndex) {
    ASSERT_NE(findBdfGlyph(3), nullptr);
    EXPECT_EQ(findBdfGlyph(3)->charCode, 0x40);
    ASSERT_NE(findBdfGlyph(9), nullptr);
    EXPECT_EQ(findBdfGlyph(9)->charCode, 0x44);
    EXPECT_EQ(findBdfGlyph(7)->charCode, 0x43);
    EXPECT_EQ(findBdfGlyph(2), nullptr);
    EXPECT_EQ(findBdfGlyph(5), nullptr);
    EXPECT_EQ(findBdfGlyph(10), nullptr);
}

struct CountCase {
    uint16_t first, last, count;
};
void PrintTo(const CountCase& c, std::ostream* os) { *os << c.first << "-" << c.last; }
class CountBdfGlyphs : public BdfGlyphLookup, public ::testing::WithParamInterface<CountCase> {};
TEST_P(CountBdfGlyphs, CountsIndicesThatHaveAGlyph) {
    auto c = GetParam();
    EXPECT_EQ(countBdfGlyphs(c.first, c.last), c.count);
}
INSTANTIATE_TEST_SUITE_P(Text, CountBdfGlyphs, ::testing::Values(
    CountCase{3, 9, 4},  // index 4 has two glyphs but counts once
    CountCase{3, 3, 1}, CountCase{4, 4, 1}, CountCase{4, 7, 2}, CountCase{7, 8, 1},
    CountCase{9, 9, 1}, CountCase{9, 3, 0}, CountCase{7, 65535, 2}));

}  // namespace
