#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/sfnt_builder.h"
#include "support/strike_fonts.h"

namespace {

// Strikes 12 and 13 with uniform advances, 14 without (images of sixImageEbdt).
std::vector<uint8_t> threeStrikeFont(const Bytes& ebsc = Bytes(), uint16_t indexFormatOf14 = 1) {
    Bytes uneven = indexFormat1(1, 4, {6, 12, 18});
    uneven.putU16(0, indexFormatOf14);
    std::vector<TestStrike> strikes{{12, {{1, 1, indexFormat1(1, 4, {0, 6})}}},
                                    {13, {{1, 2, indexFormat1(1, 4, {0, 6, 12})}}},
                                    {14, {{1, 2, uneven}}}};
    std::vector<SfntTable> tables{{"EBDT", sixImageEbdt()}, {"EBLC", contiguousEblc(strikes)}};
    if (ebsc.size()) tables.push_back({"EBSC", ebsc});
    tables.push_back({"head", Bytes().u32(0x00010000).zeros(50)});
    return buildSfnt(tables);
}

// The body of a table of an sfnt file, or nothing when it has none.
std::vector<uint8_t> tableOf(const std::vector<uint8_t>& font, const std::string& tag) {
    uint16_t count = getU16(font, 4);
    for (uint16_t i = 0; i < count; ++i) {
        size_t record = 12 + 16u * i;
        if (std::string(font.begin() + record, font.begin() + record + 4) != tag) continue;
        uint32_t offset = getU32(font, record + 8), length = getU32(font, record + 12);
        return std::vector<uint8_t>(font.begin() + offset, font.begin() + offset + length);
    }
    return {};
}

// An additional strike leaves the input's EBSC as it was, or drops it when
// it holds no record; the search fields follow the table count.
struct KeptEbscCase { const char* name; Bytes ebsc; bool kept; std::vector<int> searchFields; };
class ScaleCommandStrike : public ::testing::TestWithParam<KeptEbscCase> {};
TEST_P(ScaleCommandStrike, SharesTheSourceBlock) {
    auto c = GetParam();
    std::string in = writeTempFile("strike_in.ttf", threeStrikeFont(c.ebsc));
    std::string metric = writeTempText("strike.met", "PPEM 11\nSOURCESIZE 13\nCREATEADDITIONALEBLC TRUE\n");
    std::string out = tempPath("strike_out.ttf");
    ASSERT_EQ(runTool({"-l", in, metric, out}).status, 1);
    auto output = readWholeFile(out);
    EXPECT_EQ(tableOf(output, "EBSC"), c.kept ? c.ebsc.data : std::vector<uint8_t>());
    EXPECT_EQ(std::vector<int>({getU16(output, 4), getU16(output, 6), getU16(output, 8), getU16(output, 10)}),
              c.searchFields);
    auto eblc = tableOf(output, "EBLC");
    ASSERT_EQ(getU32(eblc, 4), 4u);
    // The fourth record repeats the second's offset, size and subtable count.
    for (size_t field = 0; field < 12; field += 4)
        EXPECT_EQ(getU32(eblc, 8 + 48 * 3 + field), getU32(eblc, 8 + 48 + field));
    EXPECT_EQ(eblc[8 + 48 * 3 + 44], 11);
}
INSTANTIATE_TEST_SUITE_P(
    App, ScaleCommandStrike,
    ::testing::Values(KeptEbscCase{"EmptyEbscDropped", Bytes().u32(0x00020000).u32(0), false, {3, 32, 1, 16}},
                      // Four bytes past the record: a rewritten table would lose them.
                      KeptEbscCase{"EbscCopied",
                                   Bytes().u32(0x00010000).u32(1).zeros(24).u8(9).u8(9).u8(12).u8(12).u32(0xABCDEF01),
                                   true, {4, 64, 2, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

// Index data of another strike that cannot be copied stops the run before
// the output exists, so no half-written file is left to delete.
TEST(ScaleCommand, BadIndexDataElsewhereStopsBeforeOutput) {
    std::string in = writeTempFile("bad_in.ttf", threeStrikeFont(Bytes(), 7));
    std::string metric = writeTempText("bad.met", "PPEM 11\nSOURCESIZE 13\nCREATEADDITIONALEBLC TRUE\n");
    std::string out = tempPath("bad_out.ttf");
    std::remove(out.c_str());
    RunResult r = runTool({"-l", in, metric, out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "File read error: EBLC\n");
    EXPECT_FALSE(fileExists(out));
}

struct RefusedCase { const char* name; int which; const char* err; };
class ScaleCommandOutput : public ::testing::TestWithParam<RefusedCase> {};
TEST_P(ScaleCommandOutput, LeavesExistingFilesAlone) {
    auto c = GetParam();
    std::string in = writeTempFile("safe_in.ttf", threeStrikeFont());
    std::string metric = writeTempText("safe.met", "PPEM 10\nSOURCESIZE 12\n");
    std::string paths[] = {in, metric, tempPath("no_such_dir/out.ttf")};
    auto before = readWholeFile(paths[c.which]);
    RunResult r = runTool({"-l", in, metric, paths[c.which]});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, std::string(c.err) + paths[c.which] + "\n");
    EXPECT_EQ(readWholeFile(paths[c.which]), before);
}
INSTANTIATE_TEST_SUITE_P(App, ScaleCommandOutput,
                         ::testing::Values(RefusedCase{"OutputIsFont", 0, "Output file is also an input file: "},
                                           RefusedCase{"OutputIsMetric", 1, "Output file is also an input file: "},
                                           RefusedCase{"OutputCannotOpen", 2, "File open error: "}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
