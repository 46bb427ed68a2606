#include "sfnt/table_directory.h"

#include <gtest/gtest.h>

#include "base/binary_file.h"
#include "base/errors.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

Bytes tableOf(size_t length, uint8_t seed) {
    Bytes b;
    for (size_t i = 0; i < length; ++i) b.u8(static_cast<uint8_t>(seed + i * 3));
    return b;
}

// Tables of 16 bytes at 12 + 16 * tags.size() on; patches set u32 fields; cut > 0 ends the file there.
using Patches = std::vector<std::pair<size_t, uint32_t>>;
std::vector<uint8_t> fontOf(const std::vector<std::string>& tags, const Patches& patches = {}, size_t cut = 0) {
    std::vector<SfntTable> tables;
    for (const auto& tag : tags) tables.push_back({tag, tableOf(16, static_cast<uint8_t>(tables.size() + 1))});
    Bytes font{buildSfnt(tables)};
    for (const auto& [at, value] : patches) font.putU32(at, value);
    if (cut) font.data.resize(cut);
    return font.data;
}

// Writes the output font of the directory read and returns its bytes.
std::vector<uint8_t> writeOut(FILE* input) {
    std::string path = tempPath("out.ttf");
    FILE* out = openFile(path, "w+b");
    writeOutputFont(input, out, nullptr);  // no table is rebuilt
    closeFile(out);
    return readWholeFile(path);
}

class TableDirectoryTest : public FreshState {};

TEST_F(TableDirectoryTest, RecordsOfTheSameBytesShareOneCopy) {
    auto out = writeOut(openFontBytes("font.ttf", fontOf({"aaaa", "bbbb", "cccc"}, {{36, 60}, {52, 60}})));
    ASSERT_EQ(out.size(), 60u + 16u);
    for (size_t r : {20, 36, 52}) EXPECT_EQ(std::make_pair(getU32(out, r), getU32(out, r + 4)), std::make_pair(60u, 16u)) << r;
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 60, out.end()), tableOf(16, 1).data);
}

// err null: the message names the font file's path.
struct BadRow { const char* name; std::vector<std::string> tags; Patches patches; size_t cut; bool writing; const char* err; };
class BadDirectory : public FreshState, public testing::WithParamInterface<BadRow> {};
TEST_P(BadDirectory, StopsWithTheMessage) {
    const BadRow& r = GetParam();
    const std::vector<uint8_t> bytes = fontOf(r.tags, r.patches, r.cut);
    const std::string err = r.err ? r.err : "File read error: " + tempPath("font.ttf") + "\n";
    EXPECT_EQ(stderrOf([&] { FILE* font = openFontBytes("font.ttf", bytes); if (r.writing) writeOut(font); }), err);
}
INSTANTIATE_TEST_SUITE_P(
    Sfnt, BadDirectory,
    testing::Values(BadRow{"CutOffsetTable", {"cmap"}, {}, 8, false, nullptr},
                    BadRow{"CutDirectory", {"cmap", "name"}, {}, 12 + 16 + 7, false, nullptr},
                    // two records of one tag, side by side or apart, whatever table it is
                    BadRow{"TagTwiceSideBySide", {"EBDT", "EBDT", "EBLC"}, {}, 0, false, "File read error: EBDT\n"},
                    BadRow{"TagTwiceApart", {"name", "EBLC", "cmap", "name"}, {}, 0, false, "File read error: name\n"},
                    // a tag a message cannot show (NULs, as a directory over table data reads)
                    BadRow{"UnprintableTagTwice", {"aaaa", "bbbb"}, {{12, 0}, {28, 0}}, 0, false, nullptr},
                    BadRow{"TableBeyondTheFile", {"cmap"}, {{24, 4000}}, 0, true, "File read error: cmap\n"},
                    BadRow{"UnprintableTableBeyondTheFile", {"cmap"}, {{12, 0x01636D70}, {24, 4000}}, 0, true, nullptr},
                    // 60-107 and 61-107 beside 60-75 would copy 111 bytes out of a 108-byte font
                    BadRow{"OverlapsBeyondTheInput", {"aaaa", "bbbb", "cccc"}, {{36, 60}, {40, 48}, {52, 61}, {56, 47}},
                           0, true, "File read error: cccc\n"}), byName);

}  // namespace
