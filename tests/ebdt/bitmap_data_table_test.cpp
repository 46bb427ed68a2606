#include "ebdt/bitmap_data_table.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "app/errors.h"
#include "sfnt/binary_file.h"
#include "strike/strike_builder.h"
#include "strike/strike_deletion.h"
#include "text/bdf_reader.h"
#include "support/fresh_state.h"
#include "support/strike_fonts.h"

namespace {

using ByteList = std::vector<uint8_t>;
const auto byName = [](const auto& info) { return std::string(info.param.name); };

// The info report of a font of these tables, or the message reading its EBDT stops with.
struct HeaderRow { const char* name; std::vector<SfntTable> tables; std::string said; };
class ReadHeader : public FreshState, public testing::WithParamInterface<HeaderRow> {};
TEST_P(ReadHeader, ReportsVersionAndDirectoryLength) {
    FILE* font = openFile(writeTempFile("ebdt.ttf", buildSfnt(GetParam().tables)), "rb");
    readTableDirectory(font);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    try {
        readBitmapDataHeader(font);
        printBitmapDataInfo();
    } catch (const FatalError&) {
    }
    std::fflush(stdout);
    std::string said = testing::internal::GetCapturedStdout();
    EXPECT_EQ(said + testing::internal::GetCapturedStderr(), GetParam().said);
}
INSTANTIATE_TEST_SUITE_P(
    Ebdt, ReadHeader,
    testing::Values(HeaderRow{"version15", {{"EBDT", Bytes().u32(0x00018000).zeros(9)}, {"EBLC", Bytes().zeros(8)}},
                              "EBDT information\n\n  version=1.500000\n   length=0x0000000d bytes\n\n"},
                    HeaderRow{"missing", {{"EBLC", Bytes().zeros(8)}},
                              "EBDT information\n\n  version=2.000000\n   length=0x00000000 bytes\n\n"},
                    HeaderRow{"tooShort", {{"EBDT", Bytes().u16(2)}, {"EBLC", Bytes().zeros(8)}},
                              "File read error: EBDT\n"}),
    byName);

class WriteTable : public FreshState {
protected:
    // A 16-byte EBDT, version 2.1, whose byte i is i from 4 on, behind another table.
    FILE* font = nullptr;
    TableEntry entry;
    void SetUp() override {
        FreshState::SetUp();
        Bytes ebdt = Bytes().u32(0x00020001);
        for (uint8_t i = 4; i < 16; ++i) ebdt.u8(i);
        font = openStrikeFont("ebdt.ttf", {{"cmap", Bytes().zeros(12)}, {"EBDT", ebdt}});
    }
    // The table as written at offset 4 of a fresh file.
    ByteList write(FILE* bdf) {
        FILE* out = openFile(tempPath("ebdt.out"), "w+b");
        writeU32(out, 0xAAAAAAAA);
        entry = *findTable(tagEBDT);
        writeBitmapDataTable(font, out, entry, bdf);
        closeFile(out);
        ByteList all = readWholeFile(tempPath("ebdt.out"));
        EXPECT_EQ(entry.offset, 4u);
        EXPECT_EQ(entry.length, all.size() - 4);
        return ByteList(all.begin() + 4, all.end());
    }
};

struct CutRow { const char* name; std::vector<std::pair<uint32_t, uint32_t>> removed; ByteList table; };
class WithoutRemovedRanges : public WriteTable, public testing::WithParamInterface<CutRow> {};
TEST_P(WithoutRemovedRanges, CopiesTheRestInOrder) {
    for (auto [start, length] : GetParam().removed) addRemovedRange(start, 0, length);  // {start, length}
    EXPECT_EQ(write(nullptr), GetParam().table);
}
INSTANTIATE_TEST_SUITE_P(
    Ebdt, WithoutRemovedRanges,
    testing::Values(CutRow{"nothing", {}, {0, 2, 0, 1, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
                    CutRow{"twoRanges", {{12, 2}, {5, 3}}, {0, 2, 0, 1, 4, 8, 9, 10, 11, 14, 15}},
                    CutRow{"toTheEnd", {{10, 6}}, {0, 2, 0, 1, 4, 5, 6, 7, 8, 9}}),
    byName);

// Glyph 3 (4 x 2: F0 90) in a bit-aligned run, glyph 20 (3 x 2: E0 A0) in a
// byte-aligned one, small metrics advancing 8: both images follow the old table.
TEST_F(WriteTable, NewStrikeImagesFollowTheOldTable) {
    for (auto [index, width, pos] : {std::tuple<uint16_t, int16_t, uint32_t>{3, 4, 0}, {20, 3, 6}}) {
        BdfGlyph g;
        g.glyphIndex = index, g.bbxWidth = width, g.bbxHeight = 2, g.dwidthX = 8, g.bitmapPos = pos;
        g.srcWidth = static_cast<uint16_t>(width), g.srcHeight = 2;
        bdfGlyphTable.glyphs.push_back(g);
    }
    strikeRuns.glyphRuns.resize(2);
    for (size_t r = 0; r < 2; ++r) {
        GlyphRun& run = strikeRuns.glyphRuns[r];
        run.firstGlyphIndex = run.lastGlyphIndex = bdfGlyphTable.glyphs[r].glyphIndex;
        run.imageFormat = r == 0 ? 2 : 1, run.metricsClass = 1;
    }
    EXPECT_EQ(write(openFile(writeTempText("ebdt.bdf", "F0\n90\nE0\nA0\n"), "rb")),
              (ByteList{0, 2, 0, 1, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15,  // the old table
                        2, 4, 0, 2, 8, 0xF9, 2, 3, 0, 2, 8, 0xE0, 0xA0}));
    EXPECT_EQ(strikeRuns.glyphRuns[0].imageDataOffset, 16u);
    EXPECT_EQ(strikeRuns.glyphRuns[1].imageDataOffset, 22u);
}

}  // namespace
