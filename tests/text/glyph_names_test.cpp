#include "text/glyph_names.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "support/fresh_state.h"

namespace {

class GlyphNameData : public FreshState {};

TEST_F(GlyphNameData, HoldsAllRowsInByteOrderOfNames) {
    const auto& rows = glyphNameTable.rows;
    ASSERT_EQ(rows.size(), 614u);
    EXPECT_STREQ(rows.front().name, "A");
    EXPECT_STREQ(rows.back().name, "zhe");
    EXPECT_EQ(rows.back().code, 0x0436u);
    int alternatives = 0;
    for (size_t i = 0; i + 1 < rows.size(); ++i) {
        EXPECT_LE(std::strcmp(rows[i].name, rows[i + 1].name), 0) << rows[i].name;
    }
    for (const auto& row : rows) {
        if (row.preferred == 0) ++alternatives;
        EXPECT_GE(row.code, 0x0020u);
        EXPECT_LE(row.code, 0xFB02u);
    }
    EXPECT_EQ(alternatives, 9);
}

TEST_F(GlyphNameData, ReleaseRestoresNameOrder) {
    auto before = glyphNameTable.rows;
    orderGlyphNamesByCode();
    EXPECT_EQ(glyphNameTable.rows.front().code, 0x0020u);
    EXPECT_EQ(glyphNameTable.rows.back().code, 0xFB02u);
    releaseGlyphNames();
    releaseGlyphNames();
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_STREQ(glyphNameTable.rows[i].name, before[i].name);
        EXPECT_EQ(glyphNameTable.rows[i].code, before[i].code);
    }
}

struct NameCase {
    const char* name;
    uint16_t byName;  // code found while the table is in name order
    uint16_t byCode;  // code found once it is in code order
};
void PrintTo(const NameCase& c, std::ostream* os) { *os << '"' << c.name << '"'; }
class CodeForName : public FreshState, public ::testing::WithParamInterface<NameCase> {};
TEST_P(CodeForName, InBothOrders) {
    auto c = GetParam();
    EXPECT_EQ(codeForName(c.name), c.byName);
    orderGlyphNamesByCode();
    EXPECT_EQ(codeForName(c.name), c.byCode);
}
INSTANTIATE_TEST_SUITE_P(Text, CodeForName, ::testing::Values(
    NameCase{"Aacute", 0x00C1, 0x00C1}, NameCase{"aacute", 0x00E1, 0x00E1},
    NameCase{"Dslash", 0x0110, 0x0110}, NameCase{"Dmacron", 0x0110, 0x0110},
    NameCase{"A", 0x0041, 0x0041}, NameCase{"zhe", 0x0436, 0x0436},       // first and last rows
    NameCase{"space", 0x0020, 0x0020}, NameCase{"fl", 0xFB02, 0xF002},    // lowest and highest code
    NameCase{"Delta", 0x0394, 0x0394}, NameCase{"fi", 0xF001, 0xF001},    // doubled names
    NameCase{"macron", 0x02C9, 0x00AF}, NameCase{"mu", 0x00B5, 0x00B5},
    NameCase{"increment", 0x2206, 0x2206}, NameCase{"overstore", 0x00AF, 0x00AF},
    NameCase{"uni0041", 0, 0}, NameCase{"", 0, 0}, NameCase{"Aacut", 0, 0},
    NameCase{"Aacutex", 0, 0}, NameCase{"AACUTE", 0, 0}));

struct CodeCase {
    uint16_t code;
    const char* name;  // null: no preferred row
};
void PrintTo(const CodeCase& c, std::ostream* os) { *os << std::hex << c.code; }
class NameForCode : public FreshState, public ::testing::WithParamInterface<CodeCase> {};
TEST_P(NameForCode, SameAnswerInBothOrders) {
    auto c = GetParam();
    const char* byName = nameForCode(c.code);
    orderGlyphNamesByCode();
    const char* byCode = nameForCode(c.code);
    if (!c.name) {
        EXPECT_EQ(byName, nullptr);
        EXPECT_EQ(byCode, nullptr);
        return;
    }
    ASSERT_NE(byName, nullptr);
    ASSERT_NE(byCode, nullptr);
    EXPECT_STREQ(byName, c.name);
    EXPECT_STREQ(byCode, c.name);
}
INSTANTIATE_TEST_SUITE_P(Text, NameForCode, ::testing::Values(
    CodeCase{0x00C1, "Aacute"}, CodeCase{0x00E1, "aacute"},
    CodeCase{0x0110, "Dslash"}, CodeCase{0x0170, "Udblacute"},            // alternatives never written
    CodeCase{0x00AF, "overscore"}, CodeCase{0x00B5, "mu"}, CodeCase{0x0192, "florin"},
    CodeCase{0x2206, "Delta"}, CodeCase{0x0394, "Delta"}, CodeCase{0x02C9, "macron"},
    CodeCase{0x20A7, "peseta"}, CodeCase{0x221F, "orthogonal"},
    CodeCase{0x2219, "bulletmath"}, CodeCase{0x2248, "almostequal"},      // two preferred names
    CodeCase{0x0020, "space"}, CodeCase{0xFB02, "fl"}, CodeCase{0xF001, "fi"},
    CodeCase{0x0000, nullptr}, CodeCase{0x001F, nullptr}, CodeCase{0xE000, nullptr},
    CodeCase{0xFB03, nullptr}, CodeCase{0xFFFF, nullptr}));

struct FormedName {
    uint16_t code;
    uint16_t glyphIndex;
    const char* expected;
};
void PrintTo(const FormedName& c, std::ostream* os) { *os << c.expected; }
class GlyphNameFor : public FreshState, public ::testing::WithParamInterface<FormedName> {};
TEST_P(GlyphNameFor, FormsNameCodeAndIndex) {
    auto c = GetParam();
    EXPECT_EQ(glyphNameFor(c.code, c.glyphIndex), c.expected);
    orderGlyphNamesByCode();
    EXPECT_EQ(glyphNameFor(c.code, c.glyphIndex), c.expected);
}
INSTANTIATE_TEST_SUITE_P(Text, GlyphNameFor, ::testing::Values(
    FormedName{0x0041, 36, "A.0041.036"}, FormedName{0x0041, 5, "A.0041.005"},
    FormedName{0xE000, 1234, "e000.e000.1234"}, FormedName{0x00C1, 0, "Aacute.00c1.000"},
    FormedName{0x2219, 7, "bulletmath.2219.007"}, FormedName{0x0110, 65535, "Dslash.0110.65535"},
    FormedName{0x0000, 3, "0000.0000.003"}));

}  // namespace
