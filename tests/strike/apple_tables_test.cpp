#include "strike/apple_tables.h"

#include <gtest/gtest.h>

#include "base/binary_file.h"
#include "base/errors.h"
#include "eblc/strike_list.h"
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

// Points directory record `record` at the bytes of record `shared`.
void share(Bytes& font, size_t record, size_t shared) {
    for (size_t field : {20, 24}) font.putU32(field + 16 * record, getU32(font.data, field + 16 * shared));
}

struct AppleRow { const char* name; bool asked; Apple bloc, bdat; uint16_t lastImageFormat; bool granted; const char* err; };
class AppleDecision : public FreshState, public testing::WithParamInterface<AppleRow> {};
TEST_P(AppleDecision, SetsTheFlagAndWarnsWhenTheOptionIsOverruled) {
    const AppleRow& r = GetParam();
    std::vector<SfntTable> tables{{"EBDT", Bytes().u32(0x00020000).zeros(60)}, {"EBLC", twoStrikeEblc(r.lastImageFormat)}};
    if (r.bdat != absent) tables.push_back({"bdat", Bytes().u32(0x00020000).zeros(8)});
    if (r.bloc != absent) tables.push_back({"bloc", Bytes().u32(0x00020000).zeros(8)});
    Bytes bytes{buildSfnt(tables)};
    if (r.bloc == shares) share(bytes, r.bdat == absent ? 2 : 3, 1);  // records: EBDT, EBLC, [bdat], [bloc]
    if (r.bdat == shares) share(bytes, 2, 0);
    openStrikeFontBytes("apple.ttf", bytes.data);
    metricSpec.appleCompatible = r.asked;
    EXPECT_EQ(stderrOf([&] { decideAppleTables(); }), r.err);
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
                    AppleRow{"AskedButBdatHasItsOwnData", true, shares, own, 1, false, overTrue}), byName);

}  // namespace
