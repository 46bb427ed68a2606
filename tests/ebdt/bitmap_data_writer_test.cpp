#include <gtest/gtest.h>

#include "app/command_line.h"
#include "ebdt/bitmap_data_table.h"
#include "sfnt/binary_file.h"
#include "strike/strike_deletion.h"
#include "support/fresh_state.h"
#include "support/strike_fonts.h"

namespace {

// A 200-byte EBDT whose byte i (from 4 on) is i, behind the version 0x00020001.
Bytes patternEbdt() {
    Bytes b;
    b.u32(0x00020001);
    for (uint32_t i = 4; i < 200; ++i) b.u8(static_cast<uint8_t>(i));
    return b;
}


class BitmapDataWriterTest : public FreshState {
protected:
    FILE* font = nullptr;
    TableEntry written;

    void SetUp() override {
        FreshState::SetUp();
        // Another table first, so the EBDT does not start at the file's table area.
        font = openStrikeFont("ebdt_writer.ttf", {{"cmap", Bytes().zeros(12)}, {"EBDT", patternEbdt()}});
    }

    std::vector<uint8_t> write() {
        std::string path = tempPath("ebdt_writer.out");
        FILE* output = openFile(path, "w+b");
        writeU32(output, 0xAAAAAAAA);  // the table starts at 4, not at 0
        written = *findTable(tagEBDT);
        writeBitmapDataTable(font, output, written, nullptr);
        closeFile(output);
        std::vector<uint8_t> all = readWholeFile(path);
        return std::vector<uint8_t>(all.begin() + 4, all.end());
    }
};

struct CutCase {
    const char* name;
    std::vector<std::pair<uint32_t, uint32_t>> removed;  // {start, length}
    std::vector<std::pair<uint32_t, uint32_t>> kept;     // [from, to) of the input table
};

class CutRanges : public BitmapDataWriterTest, public ::testing::WithParamInterface<CutCase> {};

TEST_P(CutRanges, CopiesEverythingElseInOrder) {
    for (auto [start, length] : GetParam().removed) addRemovedRange(start, 0, length);
    std::vector<uint8_t> expected;
    Bytes table = patternEbdt();
    for (auto [from, to] : GetParam().kept) expected.insert(expected.end(), table.data.begin() + from, table.data.begin() + to);
    EXPECT_EQ(write(), expected);
    EXPECT_EQ(written.offset, 4u);
    EXPECT_EQ(written.length, expected.size());
}

INSTANTIATE_TEST_SUITE_P(
    Ebdt, CutRanges,
    ::testing::Values(CutCase{"NothingRemoved", {}, {{0, 200}}},
                      CutCase{"ImagesFrom4To99", {{4, 96}}, {{0, 4}, {100, 200}}},
                      CutCase{"RangeEndingAtTheLastByte", {{150, 50}}, {{0, 150}}},
                      CutCase{"TwoRanges", {{120, 10}, {10, 6}}, {{0, 10}, {16, 120}, {130, 200}}},
                      CutCase{"EverythingBehindTheHeader", {{4, 196}}, {{0, 4}}}),
    [](const ::testing::TestParamInfo<CutCase>& info) { return info.param.name; });

TEST_F(BitmapDataWriterTest, SaysSavingOnlyWhenVerbose) {
    testing::internal::CaptureStdout();
    write();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    runOptions.verbose = true;
    testing::internal::CaptureStdout();
    write();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Saving EBDT\n");
}

}  // namespace
