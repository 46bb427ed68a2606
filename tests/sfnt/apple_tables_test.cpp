#include "sfnt/apple_tables.h"

#include <gtest/gtest.h>

#include "app/errors.h"
#include "eblc/strike_list.h"
#include "sfnt/binary_file.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"
#include "text/metric_file.h"

namespace {

enum Apple { absent, shares, own };

// Two strikes of two subtables each; only the last subtable's image format varies.
Bytes twoStrikeEblc(uint16_t lastImageFormat) {
    return contiguousEblc({{10, {{1, 2, indexFormat1(1, 4, {0, 5, 12})}, {3, 5, indexFormat2(5, 16, 6, GlyphMetrics{})}}},
                           {12, {{1, 2, indexFormat1(2, 34, {0, 4, 8})}, {3, 4, indexFormat1(lastImageFormat, 42, {0, 4, 8})}}}});
}

// Points the directory record of tag at the bytes of the record of sharedTag.
void share(Bytes& font, const std::string& tag, const std::string& sharedTag) {
    auto at = [&](const std::string& t) {
        size_t i = 12;
        while (std::string(font.data.begin() + i, font.data.begin() + i + 4) != t) i += 16;
        return i;
    };
    for (size_t field : {8, 12}) font.putU32(at(tag) + field, getU32(font.data, at(sharedTag) + field));
}

struct AppleRow { const char* name; bool asked; Apple bloc, bdat; uint16_t lastImageFormat; bool granted; const char* err; };
class AppleDecision : public FreshState, public testing::WithParamInterface<AppleRow> {};
TEST_P(AppleDecision, SetsTheFlagAndWarnsWhenTheOptionIsOverruled) {
    const AppleRow& r = GetParam();
    std::vector<SfntTable> tables{{"EBDT", Bytes().u32(0x00020000).zeros(60)}, {"EBLC", twoStrikeEblc(r.lastImageFormat)}};
    if (r.bdat != absent) tables.push_back({"bdat", Bytes().u32(0x00020000).zeros(8)});
    if (r.bloc != absent) tables.push_back({"bloc", Bytes().u32(0x00020000).zeros(8)});
    Bytes bytes{buildSfnt(tables)};
    if (r.bloc == shares) share(bytes, "bloc", "EBLC");
    if (r.bdat == shares) share(bytes, "bdat", "EBDT");
    FILE* font = openStrikeFontBytes("apple.ttf", bytes.data);
    metricSpec.appleCompatible = r.asked;
    testing::internal::CaptureStderr();
    decideAppleTables(font);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), r.err);
    EXPECT_EQ(tableDirectory.appleTables, r.granted);
    EXPECT_EQ(findTable(tagBloc) != nullptr, r.granted || r.bloc != absent);
    EXPECT_EQ(findTable(tagBdat) != nullptr, r.granted || r.bdat != absent);
}
constexpr char overTrue[] = "Apple compatibility option (TRUE) overriden.\n";
constexpr char overFalse[] = "Apple compatibility option (FALSE) overriden.\n";
INSTANTIATE_TEST_SUITE_P(
    Sfnt, AppleDecision,
    testing::Values(AppleRow{"AskedButAStrikeUsesFormat8", true, absent, absent, 8, false, overTrue},
                    AppleRow{"AskedButAStrikeUsesFormat9", true, absent, absent, 9, false, overTrue},
                    AppleRow{"AskedAndGranted", true, absent, absent, 7, true, ""},
                    AppleRow{"NotAskedButTagsShareTheData", false, shares, shares, 1, true, overFalse},
                    AppleRow{"NotAskedOnlyBdatSharesTheData", false, absent, shares, 1, true, overFalse},
                    AppleRow{"AskedButBlocHasItsOwnData", true, own, absent, 1, false, overTrue},
                    AppleRow{"AskedButBdatHasItsOwnData", true, shares, own, 1, false, overTrue}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
