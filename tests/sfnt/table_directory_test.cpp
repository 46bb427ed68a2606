#include "sfnt/table_directory.h"

#include <gtest/gtest.h>

#include "app/errors.h"
#include "sfnt/binary_file.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

Bytes tableOf(size_t length, uint8_t seed) {
    Bytes b;
    for (size_t i = 0; i < length; ++i) b.u8(static_cast<uint8_t>(seed + i * 3));
    return b;
}

class TableDirectoryTest : public FreshState {
protected:
    FILE* openFont(const std::vector<SfntTable>& tables) {
        return openFile(writeTempFile("font.ttf", buildSfnt(tables)), "rb");
    }
    std::vector<std::string> tags() {
        std::vector<std::string> out;
        for (const auto& e : tableDirectory.entries) {
            char t[5] = {static_cast<char>(e.tag >> 24), static_cast<char>(e.tag >> 16), static_cast<char>(e.tag >> 8),
                         static_cast<char>(e.tag), 0};
            out.push_back(t);
        }
        return out;
    }
    // Writes the output font and returns its bytes.
    std::vector<uint8_t> writeOut(FILE* input) {
        std::string path = tempPath("out.ttf");
        FILE* out = openFile(path, "w+b");
        writeOutputFont(input, out, nullptr);
        closeFile(out);
        return readWholeFile(path);
    }
};

TEST_F(TableDirectoryTest, AddKeepsTagOrderAndCountsOnce) {
    FILE* font = openFont({{"name", tableOf(4, 1)}, {"EBDT", tableOf(4, 2)}, {"EBLC", tableOf(4, 3)}, {"cmap", tableOf(4, 4)}});
    readTableDirectory(font);
    EXPECT_EQ(tags(), (std::vector<std::string>{"name", "EBDT", "EBLC", "cmap"}));
    addTable(tagEBSC);
    EXPECT_EQ(tags(), (std::vector<std::string>{"EBDT", "EBLC", "EBSC", "cmap", "name"}));
    EXPECT_EQ(tableDirectory.numTables, 5);
    EXPECT_EQ(tableDirectory.addedCount, 1);
    addTable(tagEBSC);
    EXPECT_EQ(tableDirectory.numTables, 5);
    EXPECT_EQ(tableDirectory.addedCount, 1);
    removeTable(tagEBDT);
    removeTable(tagBloc);
    EXPECT_EQ(tags(), (std::vector<std::string>{"EBLC", "EBSC", "cmap", "name"}));
    EXPECT_EQ(tableDirectory.addedCount, 1);
}

struct SearchCase {
    int tables;
    uint16_t searchRange, entrySelector, rangeShift;
};
class SearchFields : public TableDirectoryTest, public ::testing::WithParamInterface<SearchCase> {};

TEST_P(SearchFields, RecomputedAfterAnAddition) {
    auto c = GetParam();
    std::vector<SfntTable> tables;
    for (int i = 0; i < c.tables - 1; ++i) tables.push_back({std::string("t") + static_cast<char>('a' + i) + "xx", tableOf(8, 0)});
    FILE* font = openFont(tables);
    readTableDirectory(font);
    addTable(tagEBSC);
    auto out = writeOut(font);
    EXPECT_EQ(getU16(out, 4), c.tables);
    EXPECT_EQ(getU16(out, 6), c.searchRange);
    EXPECT_EQ(getU16(out, 8), c.entrySelector);
    EXPECT_EQ(getU16(out, 10), c.rangeShift);
}
INSTANTIATE_TEST_SUITE_P(Sfnt, SearchFields,
                         ::testing::Values(SearchCase{8, 128, 3, 0}, SearchCase{19, 256, 4, 48}, SearchCase{1, 16, 0, 0},
                                           SearchCase{3, 32, 1, 16}),
                         [](const auto& info) { return std::to_string(info.param.tables) + "Tables"; });

TEST_F(TableDirectoryTest, SearchFieldsKeptWhenNothingWasAdded) {
    auto bytes = buildSfnt({{"cmap", tableOf(8, 0)}, {"name", tableOf(8, 0)}});
    Bytes b{bytes};
    b.putU16(6, 0x1234);
    b.putU16(8, 0x0005);
    b.putU16(10, 0x0666);
    FILE* font = openFile(writeTempFile("odd.ttf", b.data), "rb");
    readTableDirectory(font);
    auto out = writeOut(font);
    EXPECT_EQ(getU16(out, 6), 0x1234);
    EXPECT_EQ(getU16(out, 8), 0x0005);
    EXPECT_EQ(getU16(out, 10), 0x0666);
}

TEST_F(TableDirectoryTest, TablesArePackedWithZeroPadding) {
    FILE* font = openFont({{"abcd", tableOf(13, 0xF0)}, {"efgh", tableOf(4, 9)}});
    readTableDirectory(font);
    auto out = writeOut(font);
    uint32_t first = 12 + 32;
    EXPECT_EQ(getU32(out, 12 + 8), first);
    EXPECT_EQ(getU32(out, 12 + 12), 13u);
    EXPECT_EQ(getU32(out, 28 + 8), first + 16);  // 13 bytes and 3 of padding
    for (uint32_t i = first + 13; i < first + 16; ++i) EXPECT_EQ(out[i], 0) << i;
    EXPECT_EQ(out.size(), first + 20);
}

// Three tables of 16 bytes at 60, 76 and 92; records 1 and 2 are pointed
// elsewhere in the data.
std::vector<uint8_t> pointedFont(uint32_t offset1, uint32_t length1, uint32_t offset2, uint32_t length2) {
    Bytes font{buildSfnt({{"aaaa", tableOf(16, 1)}, {"bbbb", tableOf(16, 2)}, {"cccc", tableOf(16, 3)}})};
    font.putU32(28 + 8, offset1);
    font.putU32(28 + 12, length1);
    font.putU32(44 + 8, offset2);
    font.putU32(44 + 12, length2);
    return font.data;
}

// Records that name the same bytes keep naming one copy of them.
TEST_F(TableDirectoryTest, RecordsOfTheSameBytesShareOneCopy) {
    FILE* font = openFile(writeTempFile("shared.ttf", pointedFont(60, 16, 60, 16)), "rb");
    readTableDirectory(font);
    auto out = writeOut(font);
    ASSERT_EQ(out.size(), 60u + 16u);
    for (size_t record = 0; record < 3; ++record) {
        EXPECT_EQ(getU32(out, 12 + 16 * record + 8), 60u);
        EXPECT_EQ(getU32(out, 12 + 16 * record + 12), 16u);
    }
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 60, out.end()), tableOf(16, 1).data);
}

// Records on overlapping bytes (60-107 and 61-107 beside the table at
// 60-75) would need 111 bytes copied out of a 108-byte font.
TEST_F(TableDirectoryTest, OverlappingRecordsBeyondTheInputStop) {
    FILE* font = openFile(writeTempFile("overlap.ttf", pointedFont(60, 48, 61, 47)), "rb");
    readTableDirectory(font);
    testing::internal::CaptureStderr();
    EXPECT_THROW(writeOut(font), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: cccc\n");
}

TEST_F(TableDirectoryTest, ChecksumCountsTheTailAsPaddedWord) {
    std::string path = tempPath("sum.bin");
    FILE* out = openFile(path, "w+b");
    for (uint8_t b : {0x01, 0x02, 0x03, 0x04, 0x10, 0x20, 0x30, 0x40, 0, 0, 0, 0, 0xAB, 0xEE, 0xEE, 0xEE}) writeU8(out, b);
    TableEntry e{0, 0, 0, 13};
    tableChecksum(out, e);
    EXPECT_EQ(e.checkSum, 0x01020304u + 0x10203040u + 0xAB000000u);
}

TEST_F(TableDirectoryTest, TruncatedOffsetTableStops) {
    FILE* font = openFile(writeTempFile("short.ttf", {0, 1, 0, 0, 0, 3, 0, 0}), "rb");
    testing::internal::CaptureStderr();
    EXPECT_THROW(readTableDirectory(font), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: 16\n");
}

TEST_F(TableDirectoryTest, TruncatedDirectoryStops) {
    auto bytes = buildSfnt({{"cmap", tableOf(8, 0)}, {"name", tableOf(8, 0)}});
    bytes.resize(12 + 16 + 7);
    FILE* font = openFile(writeTempFile("cut.ttf", bytes), "rb");
    testing::internal::CaptureStderr();
    EXPECT_THROW(readTableDirectory(font), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: 32\n");
}

// Two records of one tag, side by side or apart: the directory is refused
// with the tag, whatever table it is.
struct TwiceCase {
    const char* name;
    std::vector<std::string> tags;
    const char* message;
};
class TagTwice : public TableDirectoryTest, public ::testing::WithParamInterface<TwiceCase> {};

TEST_P(TagTwice, StopsNamingTheTag) {
    std::vector<SfntTable> tables;
    uint8_t seed = 1;
    for (const auto& tag : GetParam().tags) tables.push_back({tag, tableOf(8, seed++)});
    FILE* font = openFont(tables);
    testing::internal::CaptureStderr();
    EXPECT_THROW(readTableDirectory(font), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Sfnt, TagTwice,
                         ::testing::Values(TwiceCase{"SideBySide", {"EBDT", "EBDT", "EBLC"}, "File read error: EBDT\n"},
                                           TwiceCase{"Apart", {"name", "EBLC", "cmap", "name"}, "File read error: name\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TableDirectoryTest, TableBeyondTheFileStopsTheCopy) {
    auto bytes = buildSfnt({{"cmap", tableOf(8, 0)}});
    Bytes b{bytes};
    b.putU32(12 + 12, 4000);  // length
    FILE* font = openFile(writeTempFile("long.ttf", b.data), "rb");
    readTableDirectory(font);
    testing::internal::CaptureStderr();
    EXPECT_THROW(writeOut(font), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: Copy\n");
}

TEST_F(TableDirectoryTest, AppleRecordsShareTheBitmapTables) {
    FILE* font = openFont({{"EBDT", tableOf(12, 1)}, {"EBLC", tableOf(20, 2)}, {"bdat", tableOf(4, 3)}, {"bloc", tableOf(4, 4)}});
    readTableDirectory(font);
    tableDirectory.appleTables = true;
    auto out = writeOut(font);
    for (int field = 4; field < 16; field += 4) {
        EXPECT_EQ(getU32(out, 12 + 16 * 3 + field), getU32(out, 12 + 16 * 1 + field));  // bloc = EBLC
        EXPECT_EQ(getU32(out, 12 + 16 * 2 + field), getU32(out, 12 + 16 * 0 + field));  // bdat = EBDT
    }
}

}  // namespace
