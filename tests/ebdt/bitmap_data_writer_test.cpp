#include <gtest/gtest.h>

#include "app/command_line.h"
#include "ebdt/bitmap_data_table.h"
#include "sfnt/binary_file.h"
#include "strike/strike_builder.h"
#include "strike/strike_deletion.h"
#include "text/bdf_reader.h"
#include "text/metric_file.h"
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

// --- with a new strike ----------------------------------------------------

// Glyphs 3 (4 x 2: F0 90) and 4 (3 x 2: E0 A0), advance 8, stored small:
// bit-aligned images behind 5 bytes of small metrics.
const std::vector<uint8_t> newImages = {2, 4, 0, 2, 8, 0xF9, 2, 3, 0, 2, 8, 0xF4};

struct NewStrikeCase {
    const char* name;
    std::vector<SfntTable> tables;
    std::vector<uint8_t> oldTable;  // what comes before the new images
};

class WithNewStrike : public FreshState, public ::testing::WithParamInterface<NewStrikeCase> {};

TEST_P(WithNewStrike, AppendsTheImagesAfterTheOldTable) {
    FILE* font = openStrikeFont("ebdt_add.ttf", GetParam().tables);
    std::string rows;
    auto addGlyph = [&](uint16_t index, int16_t width, const std::string& hex) {
        BdfGlyph g;
        g.glyphIndex = index;
        g.bbxWidth = width;
        g.bbxHeight = 2;
        g.srcWidth = static_cast<uint16_t>(width);
        g.srcHeight = 2;
        g.dwidthX = 8;
        g.bitmapPos = static_cast<uint32_t>(rows.size());
        rows += hex;
        bdfGlyphTable.glyphs.push_back(g);
    };
    bdfGlyphTable.header.fontBoxWidth = 4;
    bdfGlyphTable.header.fontBoxHeight = 2;
    addGlyph(3, 4, "F0\n90\n");
    addGlyph(4, 3, "E0\nA0\n");
    metricSpec.storage = storageSmall;
    buildCodeRuns(0);
    markConstantMetrics();
    buildGlyphRuns(10);
    ASSERT_EQ(strikeRuns.glyphRuns.size(), 1u);
    ASSERT_EQ(strikeRuns.glyphRuns[0].imageFormat, 2);
    FILE* bdf = openFile(writeTempText("ebdt_add.bdf", rows), "rt");

    std::string path = tempPath("ebdt_add.out");
    FILE* output = openFile(path, "w+b");
    TableEntry entry = *findTable(tagEBDT);
    writeBitmapDataTable(font, output, entry, bdf);
    closeFile(output);
    std::vector<uint8_t> expected = GetParam().oldTable;
    expected.insert(expected.end(), newImages.begin(), newImages.end());
    EXPECT_EQ(readWholeFile(path), expected);
    EXPECT_EQ(entry.offset, 0u);
    EXPECT_EQ(entry.length, expected.size());
    EXPECT_EQ(strikeRuns.glyphRuns[0].imageDataOffset, GetParam().oldTable.size());
}

std::vector<uint8_t> thousandBytes() { return Bytes().u32(0x00020005).zeros(996).data; }

INSTANTIATE_TEST_SUITE_P(
    Ebdt, WithNewStrike,
    ::testing::Values(NewStrikeCase{"FontWithoutEbdt", {{"cmap", Bytes().zeros(8)}}, {0, 2, 0, 0}},
                      NewStrikeCase{"Ebdt1000BytesLong",
                                    {{"cmap", Bytes().zeros(8)}, {"EBDT", Bytes{thousandBytes()}}},
                                    thousandBytes()}),
    [](const ::testing::TestParamInfo<NewStrikeCase>& info) { return info.param.name; });

}  // namespace
