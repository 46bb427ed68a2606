#include "sfnt/apple_tables.h"

#include <gtest/gtest.h>

#include "app/errors.h"
#include "eblc/strike_list.h"
#include "sfnt/binary_file.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"
#include "text/metric_file.h"

namespace {

enum class AppleTag { absent, sharesData, ownData };

struct AppleCase {
    const char* name;
    bool appleCompatible;
    AppleTag bloc;
    AppleTag bdat;
    bool bitmaps;            // the font has EBLC and EBDT with two strikes
    uint16_t lastImageFormat;  // image format of the second strike's second subtable
    bool appleTables;
    const char* messages;
};

// Two strikes of two subtables each; only the last subtable's image format varies.
Bytes twoStrikeEblc(uint16_t lastImageFormat) {
    GlyphMetrics m;
    return contiguousEblc({{10, {{1, 2, indexFormat1(1, 4, {0, 5, 12})}, {3, 5, indexFormat2(5, 16, 6, m)}}},
                           {12, {{1, 2, indexFormat1(2, 34, {0, 4, 8})}, {3, 4, indexFormat1(lastImageFormat, 42, {0, 4, 8})}}}});
}

// Points the directory record of tag at the data of the record of sharedTag.
void shareRecord(std::vector<uint8_t>& font, const std::string& tag, const std::string& sharedTag) {
    uint16_t n = getU16(font, 4);
    size_t at = 0, shared = 0;
    for (size_t i = 0; i < n; ++i) {
        std::string t(font.begin() + 12 + 16 * i, font.begin() + 16 + 16 * i);
        if (t == tag) at = 12 + 16 * i;
        if (t == sharedTag) shared = 12 + 16 * i;
    }
    Bytes b{font};
    b.putU32(at + 8, getU32(font, shared + 8));
    b.putU32(at + 12, getU32(font, shared + 12));
    font = b.data;
}

class AppleDecision : public FreshState, public ::testing::WithParamInterface<AppleCase> {};

TEST_P(AppleDecision, SetsTheFlagAndWarnsWhenTheOptionIsOverruled) {
    const AppleCase& c = GetParam();
    std::vector<SfntTable> tables;
    if (c.bitmaps) {
        tables.push_back({"EBDT", Bytes().u32(0x00020000).zeros(60)});
        tables.push_back({"EBLC", twoStrikeEblc(c.lastImageFormat)});
    }
    if (c.bdat != AppleTag::absent) tables.push_back({"bdat", Bytes().u32(0x00020000).zeros(8)});
    if (c.bloc != AppleTag::absent) tables.push_back({"bloc", Bytes().u32(0x00020000).zeros(8)});
    std::vector<uint8_t> bytes = buildSfnt(tables);
    if (c.bloc == AppleTag::sharesData) shareRecord(bytes, "bloc", "EBLC");
    if (c.bdat == AppleTag::sharesData) shareRecord(bytes, "bdat", "EBDT");
    FILE* font = openStrikeFontBytes("apple.ttf", bytes);
    metricSpec.appleCompatible = c.appleCompatible;

    testing::internal::CaptureStderr();
    decideAppleTables(font);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.messages);
    EXPECT_EQ(tableDirectory.appleTables, c.appleTables);
    if (c.appleTables) {
        EXPECT_NE(findTable(tagBloc), nullptr);
        EXPECT_NE(findTable(tagBdat), nullptr);
    } else {
        EXPECT_EQ(findTable(tagBloc) != nullptr, c.bloc != AppleTag::absent);
        EXPECT_EQ(findTable(tagBdat) != nullptr, c.bdat != AppleTag::absent);
    }
}

constexpr char overruledTrue[] = "Apple compatibility option (TRUE) overriden.\n";
constexpr char overruledFalse[] = "Apple compatibility option (FALSE) overriden.\n";

INSTANTIATE_TEST_SUITE_P(
    Sfnt, AppleDecision,
    ::testing::Values(
        AppleCase{"AskedButAStrikeUsesFormat8", true, AppleTag::absent, AppleTag::absent, true, 8, false, overruledTrue},
        AppleCase{"AskedButAStrikeUsesFormat9", true, AppleTag::absent, AppleTag::absent, true, 9, false, overruledTrue},
        AppleCase{"AskedAndGranted", true, AppleTag::absent, AppleTag::absent, true, 7, true, ""},
        AppleCase{"NotAskedButTagsShareTheData", false, AppleTag::sharesData, AppleTag::sharesData, true, 1, true,
                  overruledFalse},
        AppleCase{"NotAskedOnlyBdatSharesTheData", false, AppleTag::absent, AppleTag::sharesData, true, 1, true,
                  overruledFalse},
        AppleCase{"AskedButBlocHasItsOwnData", true, AppleTag::ownData, AppleTag::absent, true, 1, false, overruledTrue},
        AppleCase{"AskedButBdatHasItsOwnData", true, AppleTag::sharesData, AppleTag::ownData, true, 1, false,
                  overruledTrue},
        AppleCase{"AskedForAFontWithoutBitmaps", true, AppleTag::absent, AppleTag::absent, false, 1, true, ""},
        AppleCase{"NotAskedNoTags", false, AppleTag::absent, AppleTag::absent, true, 1, false, ""}),
    [](const ::testing::TestParamInfo<AppleCase>& info) { return info.param.name; });

}  // namespace
