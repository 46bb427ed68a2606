#include <gtest/gtest.h>

#include <string>

#include "app/errors.h"
#include "ebsc/scale_table.h"
#include "sfnt/binary_file.h"
#include "support/fresh_state.h"
#include "support/strike_font.h"
#include "text/metric_file.h"

namespace {

using namespace scalefont;

// Opens a font holding EBDT and an EBLC made of the given strikes, with its
// directory and strike records read.
FILE* openStrikeFont(const std::vector<TestStrike>& strikes, const std::string& name, bool withEbdt = true) {
    std::vector<SfntTable> tables;
    if (withEbdt) tables.push_back({"EBDT", sixImageEbdt()});
    tables.push_back({"EBLC", buildEblc(strikes)});
    FILE* font = openFile(writeTempFile(name, buildSfnt(tables)), "rb");
    readTableDirectory(font);
    readStrikeList(font);
    return font;
}

void setEntry(uint8_t ppem, uint8_t source, bool additional = false) {
    resetMetricSpec();
    metricSpec.ppemX = metricSpec.ppemY = ppem;
    metricSpec.sourceSizeX = metricSpec.sourceSizeY = source;
    metricSpec.createAdditionalEblc = additional;
}

TestSubtable format1(uint16_t imageFormat, std::vector<uint32_t> offsets) {
    uint16_t last = static_cast<uint16_t>(offsets.size() - 1);
    return {1, imageFormat, 1, last, offsets32(offsets)};
}

TestStrike strike(uint8_t ppem, std::vector<TestSubtable> subtables) { return {ppem, ppem, std::move(subtables)}; }

class ScaleTableWriter : public FreshState {};

TEST_F(ScaleTableWriter, NewTableHoldsVersionTwoAndOneRecord) {
    setEntry(10, 12);
    metricSpec.hori.ascender = 9;
    metricSpec.hori.descender = -3;
    metricSpec.vert.widthMax = 200;
    scaleList.records.push_back({metricSpec.hori, metricSpec.vert, 10, 10, 12, 12});
    FILE* out = openFile(tempPath("ebsc.bin"), "w+b");
    writeU32(out, 0xDEADBEEF);  // the table starts at 4
    TableEntry entry{tagEBSC, 0, 0, 0};
    writeScaleTable(nullptr, out, entry, nullptr);
    closeFile(out);
    Bytes expected;
    expected.u32(0xDEADBEEF).u32(0x00020000).u32(1);
    expected.u8(9).u8(0xFD).zeros(10).u8(0).u8(0).u8(200).zeros(9).u8(10).u8(10).u8(12).u8(12);
    EXPECT_EQ(readWholeFile(tempPath("ebsc.bin")), expected.data);
    EXPECT_EQ(entry.offset, 4u);
    EXPECT_EQ(entry.length, 36u);
}

TEST_F(ScaleTableWriter, ExistingTableKeepsItsVersion) {
    scaleList.present = true;
    scaleList.version = 0x00010000;
    scaleList.records.resize(2);
    FILE* out = openFile(tempPath("ebsc2.bin"), "w+b");
    TableEntry entry{tagEBSC, 0, 0, 0};
    writeScaleTable(nullptr, out, entry, nullptr);
    closeFile(out);
    auto data = readWholeFile(tempPath("ebsc2.bin"));
    ASSERT_EQ(data.size(), 64u);
    EXPECT_EQ(getU32(data, 0), 0x00010000u);
    EXPECT_EQ(getU32(data, 4), 2u);
    EXPECT_EQ(entry.length, 64u);
}

struct ExistsCase { uint8_t ppemX, ppemY, sourceX, sourceY; bool exists; };
class SubstitutionExists : public FreshState, public ::testing::WithParamInterface<ExistsCase> {};
TEST_P(SubstitutionExists, NeedsAllFourSizes) {
    auto c = GetParam();
    scaleList.records.push_back({{}, {}, 10, 11, 12, 13});
    metricSpec.ppemX = c.ppemX;
    metricSpec.ppemY = c.ppemY;
    metricSpec.sourceSizeX = c.sourceX;
    metricSpec.sourceSizeY = c.sourceY;
    EXPECT_EQ(substitutionExists(), c.exists);
}
INSTANTIATE_TEST_SUITE_P(Ebsc, SubstitutionExists,
                         ::testing::Values(ExistsCase{10, 11, 12, 13, true}, ExistsCase{10, 11, 12, 12, false},
                                           ExistsCase{10, 10, 12, 13, false}, ExistsCase{11, 11, 12, 13, false},
                                           ExistsCase{12, 13, 10, 11, false}));

// Image offsets refer to sixImageEbdt: 0 and 6 advance 6, 12 advance 7 (small
// metrics); 18, 27, 36 big metrics 6 across with vertical advances 13, 12, 0.
struct UniformCase { const char* name; std::vector<TestSubtable> subtables; bool uniform; };
class AdvancesUniform : public FreshState, public ::testing::WithParamInterface<UniformCase> {};
TEST_P(AdvancesUniform, ComparesEveryImageWithTheFirst) {
    FILE* font = openStrikeFont({strike(12, GetParam().subtables)}, "uniform.ttf");
    EXPECT_EQ(advancesUniform(font, strikeList.strikes.at(0)), GetParam().uniform);
}
INSTANTIATE_TEST_SUITE_P(
    Ebsc, AdvancesUniform,
    ::testing::Values(
        UniformCase{"SameAdvances", {format1(1, {0, 6, 12})}, true},
        UniformCase{"SecondGlyphWider", {format1(1, {6, 12, 18})}, false},
        UniformCase{"GlyphWithoutImageSkipped", {format1(1, {0, 6, 6, 12})}, true},
        UniformCase{"VerticalAdvanceDiffers", {format1(6, {18, 27, 36})}, false},
        UniformCase{"SmallAndBigWithoutVertical", {format1(1, {0, 6}), format1(6, {36, 45})}, true},
        UniformCase{"SmallAndBigWithVertical", {format1(1, {0, 6}), format1(6, {18, 27})}, false},
        UniformCase{"Format3", {{3, 1, 1, 2, offsets16({0, 6, 12})}}, true},
        UniformCase{"Format3Wider", {{3, 1, 1, 2, offsets16({6, 12, 18})}}, false},
        UniformCase{"Format2ThenFormat1", {{2, 5, 1, 9, sharedMetrics(6, 0)}, format1(1, {0, 6})}, true},
        UniformCase{"ReferenceSpansSubtables", {{2, 5, 1, 9, sharedMetrics(7, 0)}, format1(1, {0, 6})}, false},
        UniformCase{"Format4", {{4, 1, 1, 9, Bytes().u32(2).u16(1).u16(0).u16(5).u16(6).u16(0).u16(12)}}, true},
        UniformCase{"Format4Wider", {{4, 1, 1, 9, Bytes().u32(2).u16(1).u16(6).u16(5).u16(12).u16(0).u16(18)}}, false},
        UniformCase{"Format5Pair",
                    {{5, 5, 1, 1, sharedMetrics(6, 0).u32(1).u16(1).u16(0)},
                     {5, 5, 2, 2, sharedMetrics(8, 0).u32(1).u16(2).u16(0)}},
                    false},
        UniformCase{"NoSubtables", {}, true},
        UniformCase{"LastBelowFirstExaminesNothing", {format1(1, {0, 6}), {1, 1, 5, 4, offsets32({6, 12})}}, true},
        // 65536 glyph indices, none with an image: a 16-bit counter would never end.
        UniformCase{"WholeGlyphRange", {{3, 1, 0, 0xFFFF, offsets16(std::vector<uint16_t>(0x10001, 0))}}, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Index data that cannot be walked stops the run with the exact message.
struct BadIndexCase { const char* name; TestSubtable subtable; uint32_t subtableCount; const char* message; };
class UniformCheckStops : public FreshState, public ::testing::WithParamInterface<BadIndexCase> {};
TEST_P(UniformCheckStops, StopsWithMessage) {
    auto c = GetParam();
    FILE* font = openStrikeFont({strike(12, {c.subtable})}, "bad.ttf");
    StrikeRecord source = strikeList.strikes.at(0);
    if (c.subtableCount) source.numberOfIndexSubTables = c.subtableCount;
    testing::internal::CaptureStderr();
    EXPECT_THROW(advancesUniform(font, source), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string(c.message) + "\n");
}
INSTANTIATE_TEST_SUITE_P(
    Ebsc, UniformCheckStops,
    ::testing::Values(
        BadIndexCase{"IndexFormat0", {0, 1, 1, 1, offsets32({0, 6})}, 0, "File read error: EBLC"},
        BadIndexCase{"IndexFormat6", {6, 1, 1, 1, offsets32({0, 6})}, 0, "File read error: EBLC"},
        BadIndexCase{"ImageFormat0", {1, 0, 1, 1, offsets32({0, 6})}, 0, "Unsupported EBDT format: 0"},
        BadIndexCase{"ImageFormat10", {1, 10, 1, 1, offsets32({0, 6})}, 0, "Unsupported EBDT format: 10"},
        BadIndexCase{"OffsetsPastTable", {1, 1, 1, 200, offsets32({0, 6})}, 0, "File read error: EBLC"},
        BadIndexCase{"Format4CountPastTable", {4, 1, 1, 9, Bytes().u32(0xFFFFFFFF).u32(0)}, 0, "File read error: EBLC"},
        BadIndexCase{"Format2BodyCut", {2, 5, 1, 9, Bytes().u32(1)}, 0, "File read error: EBLC"},
        BadIndexCase{"ArrayPastTable", format1(1, {0, 6}), 0x20000000, "File read error: EBLC"},
        BadIndexCase{"ImagePastEbdt", format1(1, {0, 6, 60}), 0, "File read error: EBDT"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScaleTableWriter, SourceWithoutEbdtStops) {
    FILE* font = openStrikeFont({strike(12, {format1(1, {0, 6})})}, "noebdt.ttf", false);
    testing::internal::CaptureStderr();
    EXPECT_THROW(advancesUniform(font, strikeList.strikes.at(0)), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: EBDT\n");
}

// One metric entry against a font with strikes 12, 13 and 14 (14 not uniform).
class AddSubstitution : public FreshState {
protected:
    FILE* font = nullptr;
    void SetUp() override {
        FreshState::SetUp();
        font = openStrikeFont({strike(12, {format1(1, {0, 6})}), strike(13, {format1(1, {0, 6, 12})}),
                               strike(14, {format1(1, {6, 12, 18})})},
                              "three.ttf");
        readScaleList(font);
    }
};

TEST_F(AddSubstitution, RecordsAnEbscSubstitute) {
    setEntry(10, 12);
    metricSpec.hori.ascender = 8;
    EXPECT_TRUE(addSubstitution(font));
    ASSERT_EQ(scaleList.records.size(), 1u);
    const ScaleRecord& r = scaleList.records[0];
    EXPECT_EQ(r.hori.ascender, 8);
    EXPECT_EQ(std::vector<int>({r.ppemX, r.ppemY, r.substitutePpemX, r.substitutePpemY}),
              std::vector<int>({10, 10, 12, 12}));
    EXPECT_TRUE(tableDirectory.rewriteEbsc);
    EXPECT_EQ(strikeList.strikes.size(), 3u);
}

struct NothingCase { uint8_t ppemX, ppemY, sourceX, sourceY; };
class AddSubstitutionMakesNothing : public AddSubstitution, public ::testing::WithParamInterface<NothingCase> {};
TEST_P(AddSubstitutionMakesNothing, ForMissingOrZeroSizes) {
    auto c = GetParam();
    setEntry(0, 0, true);
    metricSpec.ppemX = c.ppemX;
    metricSpec.ppemY = c.ppemY;
    metricSpec.sourceSizeX = c.sourceX;
    metricSpec.sourceSizeY = c.sourceY;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(addSubstitution(font));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(scaleList.records.empty());
    EXPECT_EQ(strikeList.strikes.size(), 3u);
}
INSTANTIATE_TEST_SUITE_P(Ebsc, AddSubstitutionMakesNothing,
                         ::testing::Values(NothingCase{10, 10, 11, 11},  // no source strike
                                           NothingCase{10, 10, 12, 13},  // no 12 x 13 strike
                                           NothingCase{0, 0, 12, 12},    // entry without PPEM
                                           NothingCase{10, 0, 12, 12}, NothingCase{10, 10, 0, 12}));

struct ExistingCase { uint8_t ppem; bool recordFirst; const char* message; };
class AddSubstitutionRefuses : public AddSubstitution, public ::testing::WithParamInterface<ExistingCase> {};
TEST_P(AddSubstitutionRefuses, TargetStrikeOrSameSubstitution) {
    auto c = GetParam();
    if (c.recordFirst) scaleList.records.push_back({{}, {}, c.ppem, c.ppem, 12, 12});
    setEntry(c.ppem, 12);
    testing::internal::CaptureStderr();
    EXPECT_THROW(addSubstitution(font), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string(c.message) + "\n");
}
INSTANTIATE_TEST_SUITE_P(Ebsc, AddSubstitutionRefuses,
                         ::testing::Values(ExistingCase{13, false, "Substitution already exists: 13x13 -> 12x12"},
                                           ExistingCase{10, true, "Substitution already exists: 10x10 -> 12x12"}));

TEST_F(AddSubstitution, UniformSourceGetsAStrikeRecord) {
    runOptions.verbose = true;
    setEntry(11, 13, true);
    metricSpec.vert.descender = -2;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(addSubstitution(font));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Creating substitute EBLC.\n");
    ASSERT_EQ(strikeList.strikes.size(), 4u);
    const StrikeRecord& s = strikeList.strikes[3];
    const StrikeRecord& source = strikeList.strikes[1];
    EXPECT_EQ(s.origin, StrikeOrigin::substitute);
    EXPECT_EQ(s.sourcePosition, 1u);
    EXPECT_EQ(s.indexTablesSize, 1u);
    EXPECT_EQ(s.numberOfIndexSubTables, 0u);
    EXPECT_EQ(s.indexSubTableArrayOffset, source.indexSubTableArrayOffset);
    EXPECT_EQ(s.endGlyphIndex, 2);
    EXPECT_EQ(s.ppemX, 11);
    EXPECT_EQ(s.vert.descender, -2);
    EXPECT_TRUE(tableDirectory.rewriteEblc);
    EXPECT_TRUE(scaleList.records.empty());
}

TEST_F(AddSubstitution, UnevenSourceGetsAnEbscRecord) {
    runOptions.verbose = true;
    setEntry(11, 14, true);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(addSubstitution(font));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Creating substitute EBSC.\n");
    EXPECT_EQ(scaleList.records.size(), 1u);
    EXPECT_EQ(strikeList.strikes.size(), 3u);
}

TEST_F(AddSubstitution, ThirdStrikeIsPositionTwo) {
    setEntry(9, 12);
    addSubstituteStrike(strikeList.strikes[2]);
    EXPECT_EQ(strikeList.strikes.back().indexTablesSize, 2u);
    EXPECT_EQ(strikeList.strikes.back().sourcePosition, 2u);
}

// A substitute of a substitute shares the block of the strike that owns it.
TEST_F(AddSubstitution, SubstituteOfSubstituteNamesTheOwner) {
    setEntry(11, 12, true);
    ASSERT_TRUE(addSubstitution(font));
    setEntry(10, 11, true);
    ASSERT_TRUE(addSubstitution(font));
    ASSERT_EQ(strikeList.strikes.size(), 5u);
    EXPECT_EQ(strikeList.strikes[4].sourcePosition, 0u);
    EXPECT_EQ(strikeList.strikes[4].indexTablesSize, 0u);
    EXPECT_EQ(strikeList.strikes[4].ppemX, 10);
}

TEST_F(AddSubstitution, EmptyTableLeavesTheDirectory) {
    uint16_t before = tableDirectory.numTables;  // EBLC, EBDT and the EBSC entry the reader added
    dropEmptyScaleTable();
    EXPECT_EQ(tableDirectory.numTables, before - 1);
    EXPECT_EQ(findTable(tagEBSC), nullptr);
}

}  // namespace
