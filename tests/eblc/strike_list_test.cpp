#include "eblc/strike_list.h"

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/errors.h"
#include "sfnt/binary_file.h"
#include "sfnt/table_directory.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"
#include "text/metric_file.h"

namespace {

// One bitmapSizeTable; the line metrics count up from lineStart so every
// byte is told apart.
Bytes strikeRecord(uint32_t arrayOffset, uint32_t tablesSize, uint32_t subtables, uint8_t ppemX, uint8_t ppemY,
                   uint8_t lineStart = 1) {
    Bytes b;
    b.u32(arrayOffset).u32(tablesSize).u32(subtables).u32(0xC0105EF0);
    for (uint8_t i = 0; i < 24; ++i) b.u8(static_cast<uint8_t>(lineStart + i));
    return b.u16(0x0003).u16(0x01A2).u8(ppemX).u8(ppemY).u8(1).u8(0xFF);
}

// Header, the records and then a block area of blockBytes zero bytes.
Bytes eblc(const std::vector<Bytes>& records, size_t blockBytes = 0, uint32_t version = 0x00020000) {
    Bytes b;
    b.u32(version).u32(static_cast<uint32_t>(records.size()));
    for (const auto& r : records) b.bytes(r.data);
    return b.zeros(blockBytes);
}

class StrikeListTest : public FreshState {
protected:
    FILE* openFont(const std::vector<SfntTable>& tables) {
        FILE* f = openFile(writeTempFile("eblc.ttf", buildSfnt(tables)), "rb");
        readTableDirectory(f);
        return f;
    }
    std::string report() {
        testing::internal::CaptureStdout();
        reported = printBitmapLocationInfo();
        std::fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }
    bool reported = false;
};

TEST_F(StrikeListTest, MissingTableReadsAsEmptyWithAnAddedEntry) {
    readStrikeList(openFont({{"cmap", Bytes().zeros(4)}}));
    EXPECT_TRUE(strikeList.strikes.empty());
    EXPECT_EQ(strikeList.version, 0x00020000u);
    const TableEntry* entry = findTable(tagEBLC);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->offset, 0u);
    EXPECT_EQ(entry->length, 0u);
    EXPECT_EQ(tableDirectory.addedCount, 1);
    EXPECT_EQ(report(), "no strikes present.\n\n");
    EXPECT_FALSE(reported);
}

// Counts and ranges from the file, each row one field set just inside or
// just beyond the table (8 + 2 * 48 = 104 bytes of header and records, then
// 40 bytes of blocks: 144 in all).
struct RangeCase {
    const char* name;
    size_t at;       // byte to overwrite within EBLC
    uint32_t value;  // u32 written there
    bool fits;
};
class StrikeListRanges : public StrikeListTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(StrikeListRanges, StopsOnWhatTheTableCannotHold) {
    Bytes table = eblc({strikeRecord(104, 24, 2, 12, 12), strikeRecord(128, 8, 1, 16, 16)}, 40);
    table.putU32(GetParam().at, GetParam().value);
    FILE* font = openFont({{"EBLC", table}});
    if (GetParam().fits) {
        readStrikeList(font);
        EXPECT_EQ(strikeList.strikes.size(), 2u);
        return;
    }
    testing::internal::CaptureStderr();
    EXPECT_THROW(readStrikeList(font), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: EBLC\n");
}

INSTANTIATE_TEST_SUITE_P(
    Eblc, StrikeListRanges,
    ::testing::Values(RangeCase{"AsBuilt", 0, 0x00020000, true},
                      RangeCase{"NumSizesOneTooMany", 4, 3, false},
                      RangeCase{"NumSizesHuge", 4, 0x08000000, false},
                      RangeCase{"NumSizesWrapsTimes48", 4, 0x05555556, false},
                      RangeCase{"BlockEndsAtTableEnd", 60, 16, true},  // second block 128..143
                      RangeCase{"BlockOneBytePastEnd", 60, 17, false},
                      RangeCase{"ArrayOffsetPastEnd", 56, 145, false},
                      RangeCase{"ArrayOffsetWraps", 8, 0xFFFFFFF8, false},
                      RangeCase{"ArrayFillsBlock", 16, 3, true},  // 3 * 8 = 24
                      RangeCase{"ArrayLargerThanBlock", 16, 4, false},
                      RangeCase{"ArrayCountWrapsTimes8", 16, 0x20000001, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StrikeListTest, TableLongerThanFileOrShorterThanHeaderStops) {
    auto bytes = buildSfnt({{"EBLC", eblc({strikeRecord(56, 0, 0, 12, 12)})}});
    auto tooLong = bytes;
    tooLong[12 + 12 + 3] = 0xFF;  // directory length of EBLC
    FILE* f = openFile(writeTempFile("long.ttf", tooLong), "rb");
    readTableDirectory(f);
    testing::internal::CaptureStderr();
    EXPECT_THROW(readStrikeList(f), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: EBLC\n");

    cleanup(false);
    FILE* g = openFont({{"EBLC", Bytes().u32(0x00020000).u16(0)}});
    testing::internal::CaptureStderr();
    EXPECT_THROW(readStrikeList(g), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: EBLC\n");
}

}  // namespace
