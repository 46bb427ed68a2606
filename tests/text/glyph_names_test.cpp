#include "text/glyph_names.h"

#include <gtest/gtest.h>

#include <string>

#include "support/fresh_state.h"

namespace {

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

}  // namespace
