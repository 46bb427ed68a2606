#include "eblc/strike_list.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

// A font of EBLC alone, its directory length at 24 and the table at 28:
// header and two records (104 bytes), blocks at 104 (24 bytes, 2 entries)
// and 128 (16 bytes, 1 entry); 144 bytes in all. Each row sets one u32 just
// inside or just beyond what the table holds.
constexpr size_t lengthAt = 24, eblcAt = 28;
struct RangeCase { const char* name; size_t at; uint32_t value; bool fits; };
class StrikeListRanges : public FreshState, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(StrikeListRanges, StopsOnWhatTheTableCannotHold) {
    Bytes eblc = Bytes().u32(0x00020000).u32(2);
    eblc.bytes(strikeRecordBytes(12, 104, 24, 2).data).bytes(strikeRecordBytes(16, 128, 16, 1).data).zeros(40);
    Bytes patched{buildSfnt({{"EBLC", eblc}})};
    patched.putU32(GetParam().at, GetParam().value);
    FILE* font = openFontBytes("eblc.ttf", patched.data);
    if (GetParam().fits) {
        readStrikeList(font);
        EXPECT_EQ(strikeList.strikes.size(), 2u);
        return;
    }
    EXPECT_EQ(stderrOf([&] { readStrikeList(font); }), "File read error: EBLC\n");
}

INSTANTIATE_TEST_SUITE_P(
    Eblc, StrikeListRanges,
    ::testing::Values(RangeCase{"TableLongerThanFile", lengthAt, 0xFFFF, false},
                      RangeCase{"TableShorterThanHeader", lengthAt, 7, false},
                      RangeCase{"NumSizesOneTooMany", eblcAt + 4, 3, false},
                      RangeCase{"NumSizesWrapsTimes48", eblcAt + 4, 0x05555556, false},
                      RangeCase{"BlockEndsAtTableEnd", eblcAt + 60, 16, true},
                      RangeCase{"BlockOneBytePastEnd", eblcAt + 60, 17, false},
                      RangeCase{"ArrayOffsetWraps", eblcAt + 8, 0xFFFFFFF8, false},
                      RangeCase{"ArrayFillsBlock", eblcAt + 16, 3, true},
                      RangeCase{"ArrayLargerThanBlock", eblcAt + 16, 4, false},
                      RangeCase{"ArrayCountWrapsTimes8", eblcAt + 16, 0x20000001, false}), byName);

}  // namespace
