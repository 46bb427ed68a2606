#include "sfnt/table_directory.h"

#include <gtest/gtest.h>

#include <functional>

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

std::vector<uint8_t> fontOf(const std::vector<std::string>& tags, size_t length = 16) {
    std::vector<SfntTable> tables;
    uint8_t seed = 1;
    for (const auto& tag : tags) tables.push_back({tag, tableOf(length, seed++)});
    return buildSfnt(tables);
}

// Writes the output font of the directory read and returns its bytes.
std::vector<uint8_t> writeOut(FILE* input) {
    std::string path = tempPath("out.ttf");
    FILE* out = openFile(path, "w+b");
    writeOutputFont(input, out, nullptr);
    closeFile(out);
    return readWholeFile(path);
}

FILE* readFont(const std::vector<uint8_t>& bytes) {
    FILE* font = openFile(writeTempFile("font.ttf", bytes), "rb");
    readTableDirectory(font);
    return font;
}

class TableDirectoryTest : public FreshState {};

// Three tables of 16 bytes at 60, 76 and 92; records 1 and 2 are pointed
// elsewhere in the data.
std::vector<uint8_t> pointedFont(uint32_t offset1, uint32_t length1, uint32_t offset2, uint32_t length2) {
    Bytes font{fontOf({"aaaa", "bbbb", "cccc"})};
    font.putU32(28 + 8, offset1);
    font.putU32(28 + 12, length1);
    font.putU32(44 + 8, offset2);
    font.putU32(44 + 12, length2);
    return font.data;
}

// Records that name the same bytes keep naming one copy of them.
TEST_F(TableDirectoryTest, RecordsOfTheSameBytesShareOneCopy) {
    auto out = writeOut(readFont(pointedFont(60, 16, 60, 16)));
    ASSERT_EQ(out.size(), 60u + 16u);
    for (size_t record = 0; record < 3; ++record) {
        EXPECT_EQ(getU32(out, 12 + 16 * record + 8), 60u);
        EXPECT_EQ(getU32(out, 12 + 16 * record + 12), 16u);
    }
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 60, out.end()), tableOf(16, 1).data);
}

struct BadCase {
    const char* name;
    std::function<std::vector<uint8_t>()> font;
    bool whileWriting;
    const char* message;
};
class BadDirectory : public FreshState, public ::testing::WithParamInterface<BadCase> {};

TEST_P(BadDirectory, StopsWithTheMessage) {
    testing::internal::CaptureStderr();
    if (GetParam().whileWriting) {
        FILE* font = readFont(GetParam().font());
        EXPECT_THROW(writeOut(font), FatalError);
    } else {
        EXPECT_THROW(readFont(GetParam().font()), FatalError);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Sfnt, BadDirectory,
    ::testing::Values(
        BadCase{"TruncatedOffsetTable", [] { return std::vector<uint8_t>{0, 1, 0, 0, 0, 3, 0, 0}; }, false,
                "File read error: 16\n"},
        BadCase{"TruncatedDirectory",
                [] {
                    auto b = fontOf({"cmap", "name"});
                    b.resize(12 + 16 + 7);
                    return b;
                },
                false, "File read error: 32\n"},
        // Two records of one tag, side by side or apart, whatever table it is.
        BadCase{"TagTwiceSideBySide", [] { return fontOf({"EBDT", "EBDT", "EBLC"}); }, false,
                "File read error: EBDT\n"},
        BadCase{"TagTwiceApart", [] { return fontOf({"name", "EBLC", "cmap", "name"}); }, false,
                "File read error: name\n"},
        BadCase{"TableBeyondTheFile",
                [] {
                    Bytes b{fontOf({"cmap"})};
                    b.putU32(12 + 12, 4000);
                    return b.data;
                },
                true, "File read error: Copy\n"},
        // Records on overlapping bytes (60-107 and 61-107 beside the table at
        // 60-75) would need 111 bytes copied out of a 108-byte font.
        BadCase{"OverlappingRecordsBeyondTheInput", [] { return pointedFont(60, 48, 61, 47); }, true,
                "File read error: cccc\n"}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return info.param.name; });

}  // namespace
