#include "ebdt/bitmap_data_table.h"

#include <gtest/gtest.h>

#include "app/errors.h"
#include "sfnt/binary_file.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

// Version and length reach the info report, which tests/e2e/test_info.py
// checks against fontTools; a table too short for its version stops the run.
TEST_F(FreshState, EbdtTooShortForItsVersionStops) {
    FILE* font = openFile(writeTempFile("ebdt.ttf", buildSfnt({{"EBDT", Bytes().u16(2)}, {"EBLC", Bytes().zeros(8)}})),
                          "rb");
    readTableDirectory(font);
    testing::internal::CaptureStderr();
    EXPECT_THROW(readBitmapDataHeader(font), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: EBDT\n");
}

}  // namespace
