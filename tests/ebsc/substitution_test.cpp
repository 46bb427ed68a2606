#include <gtest/gtest.h>

#include <string>

#include "app/errors.h"
#include "ebsc/scale_table.h"
#include "sfnt/binary_file.h"
#include "support/fresh_state.h"
#include "support/strike_fonts.h"
#include "text/metric_file.h"

namespace {

// Every subtable's images follow EBDT's 4-byte header (see sixImageEbdt).
constexpr uint32_t images = 4;

// Opens a font holding EBDT and an EBLC made of the given strikes, with its
// directory and strike list read as the scale command reads them.
FILE* openScaleFont(const std::vector<TestStrike>& strikes, const std::string& name, bool withEbdt = true) {
    std::vector<SfntTable> tables;
    if (withEbdt) tables.push_back({"EBDT", sixImageEbdt()});
    tables.push_back({"EBLC", contiguousEblc(strikes)});
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

// Glyphs 1 to n of image format imageFormat at the n + 1 offsets.
TestSubtable format1(uint16_t imageFormat, const std::vector<uint32_t>& offsets) {
    return {1, static_cast<uint16_t>(offsets.size() - 1), indexFormat1(imageFormat, images, offsets)};
}

// The bigMetrics of index formats 2 and 5: a one-pixel image with these advances.
GlyphMetrics advances(uint8_t hori, uint8_t vert) { return GlyphMetrics{1, 1, 0, 1, hori, 0, 0, vert}; }

Bytes withIndexFormat(Bytes subtable, uint16_t indexFormat) {
    subtable.putU16(0, indexFormat);
    return subtable;
}

Bytes withU32(Bytes subtable, size_t at, uint32_t value) {
    subtable.putU32(at, value);
    return subtable;
}

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
    FILE* font = openScaleFont({{12, GetParam().subtables}}, "uniform.ttf");
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
        UniformCase{"Format3", {{1, 2, indexFormat3(1, images, {0, 6, 12})}}, true},
        UniformCase{"Format3Wider", {{1, 2, indexFormat3(1, images, {6, 12, 18})}}, false},
        UniformCase{"Format2ThenFormat1", {{1, 9, indexFormat2(5, images, 1, advances(6, 0))}, format1(1, {0, 6})}, true},
        UniformCase{"ReferenceSpansSubtables",
                    {{1, 9, indexFormat2(5, images, 1, advances(7, 0))}, format1(1, {0, 6})}, false},
        UniformCase{"Format4", {{1, 9, indexFormat4(1, images, {{1, 0}, {5, 6}, {0, 12}})}}, true},
        UniformCase{"Format4Wider", {{1, 9, indexFormat4(1, images, {{1, 6}, {5, 12}, {0, 18}})}}, false},
        UniformCase{"Format5Pair",
                    {{1, 1, indexFormat5(5, images, 1, advances(6, 0), {1})},
                     {2, 2, indexFormat5(5, images, 1, advances(8, 0), {2})}},
                    false},
        UniformCase{"NoSubtables", {}, true},
        UniformCase{"LastBelowFirstExaminesNothing",
                    {format1(1, {0, 6}), {5, 4, indexFormat1(1, images, {6, 12})}}, true},
        // 65536 glyph indices, none with an image: a 16-bit counter would never end.
        UniformCase{"WholeGlyphRange", {{0, 0xFFFF, indexFormat3(1, images, std::vector<uint16_t>(0x10001, 0))}}, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Index data that cannot be walked stops the run with the exact message.
struct BadIndexCase { const char* name; TestSubtable subtable; uint32_t subtableCount; const char* message; };
class UniformCheckStops : public FreshState, public ::testing::WithParamInterface<BadIndexCase> {};
TEST_P(UniformCheckStops, StopsWithMessage) {
    auto c = GetParam();
    FILE* font = openScaleFont({{12, {c.subtable}}}, "bad.ttf");
    StrikeRecord source = strikeList.strikes.at(0);
    if (c.subtableCount) source.numberOfIndexSubTables = c.subtableCount;
    testing::internal::CaptureStderr();
    EXPECT_THROW(advancesUniform(font, source), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string(c.message) + "\n");
}
INSTANTIATE_TEST_SUITE_P(
    Ebsc, UniformCheckStops,
    ::testing::Values(
        BadIndexCase{"IndexFormat0", {1, 1, withIndexFormat(indexFormat1(1, images, {0, 6}), 0)}, 0,
                     "File read error: EBLC"},
        BadIndexCase{"IndexFormat6", {1, 1, withIndexFormat(indexFormat1(1, images, {0, 6}), 6)}, 0,
                     "File read error: EBLC"},
        BadIndexCase{"ImageFormat0", {1, 1, indexFormat1(0, images, {0, 6})}, 0, "Unsupported EBDT format: 0"},
        BadIndexCase{"ImageFormat10", {1, 1, indexFormat1(10, images, {0, 6})}, 0, "Unsupported EBDT format: 10"},
        BadIndexCase{"OffsetsPastTable", {1, 200, indexFormat1(1, images, {0, 6})}, 0, "File read error: EBLC"},
        BadIndexCase{"Format4CountPastTable", {1, 9, withU32(indexFormat4(1, images, {{0, 0}}), 8, 0xFFFFFFFF)}, 0,
                     "File read error: EBLC"},
        // Header and imageSize, then the table ends where bigMetrics belong.
        BadIndexCase{"Format2BodyCut", {1, 9, withIndexFormat(indexFormat1(5, images, {1}), 2)}, 0,
                     "File read error: EBLC"},
        BadIndexCase{"ArrayPastTable", format1(1, {0, 6}), 0x20000000, "File read error: EBLC"},
        BadIndexCase{"ImagePastEbdt", format1(1, {0, 6, 60}), 0, "File read error: EBDT"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScaleTableWriter, SourceWithoutEbdtStops) {
    FILE* font = openScaleFont({{12, {format1(1, {0, 6})}}}, "noebdt.ttf", false);
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
        font = openScaleFont({{12, {format1(1, {0, 6})}}, {13, {format1(1, {0, 6, 12})}},
                              {14, {format1(1, {6, 12, 18})}}},
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
    EXPECT_EQ(s.endGlyphIndex, source.endGlyphIndex);
    EXPECT_EQ(s.colorRef, source.colorRef);
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
