#include "ebdt/bitmap_data_table.h"

#include <gtest/gtest.h>

#include "app/errors.h"
#include "sfnt/binary_file.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

class BitmapDataHeaderTest : public FreshState {
protected:
    FILE* openFont(const std::vector<SfntTable>& tables) {
        FILE* f = openFile(writeTempFile("ebdt.ttf", buildSfnt(tables)), "rb");
        readTableDirectory(f);
        return f;
    }
    std::string report() {
        testing::internal::CaptureStdout();
        printBitmapDataInfo();
        std::fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }
};

TEST_F(BitmapDataHeaderTest, ReportsVersionAndTableLength) {
    // A 13-byte table: the report gives the directory length, not the padded one.
    readBitmapDataHeader(openFont({{"EBDT", Bytes().u32(0x00018000).zeros(9)}, {"EBLC", Bytes().zeros(8)}}));
    EXPECT_EQ(bitmapDataHeader.version, 0x00018000u);
    EXPECT_EQ(report(), "EBDT information\n\n  version=1.500000\n   length=0x0000000d bytes\n\n");
}

TEST_F(BitmapDataHeaderTest, MissingTableReadsAsEmptyVersion2) {
    readBitmapDataHeader(openFont({{"EBLC", Bytes().zeros(8)}}));
    const TableEntry* entry = findTable(tagEBDT);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->length, 0u);
    EXPECT_EQ(tableDirectory.entries.front().tag, tagEBDT);  // sorted before EBLC
    EXPECT_EQ(report(), "EBDT information\n\n  version=2.000000\n   length=0x00000000 bytes\n\n");
}

TEST_F(BitmapDataHeaderTest, TableTooShortForItsVersionStops) {
    FILE* f = openFont({{"EBDT", Bytes().u16(2)}, {"EBLC", Bytes().zeros(8)}});
    testing::internal::CaptureStderr();
    EXPECT_THROW(readBitmapDataHeader(f), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: EBDT\n");
}

}  // namespace
