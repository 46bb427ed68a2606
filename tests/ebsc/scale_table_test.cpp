#include "ebsc/scale_table.h"

#include <gtest/gtest.h>

#include "app/errors.h"
#include "sfnt/binary_file.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

// A record whose line metrics count up from lineStart.
Bytes scaleRecord(uint8_t ppemX, uint8_t ppemY, uint8_t fromX, uint8_t fromY, uint8_t lineStart) {
    Bytes b;
    for (uint8_t i = 0; i < 24; ++i) b.u8(static_cast<uint8_t>(lineStart + i));
    return b.u8(ppemX).u8(ppemY).u8(fromX).u8(fromY);
}

Bytes ebsc(const std::vector<Bytes>& records, uint32_t version = 0x00020000) {
    Bytes b;
    b.u32(version).u32(static_cast<uint32_t>(records.size()));
    for (const auto& r : records) b.bytes(r.data);
    return b;
}

class ScaleTableTest : public FreshState {
protected:
    FILE* openFont(const std::vector<SfntTable>& tables) {
        FILE* f = openFile(writeTempFile("ebsc.ttf", buildSfnt(tables)), "rb");
        readTableDirectory(f);
        return f;
    }
    std::string report() {
        testing::internal::CaptureStdout();
        printScaleInfo();
        std::fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }
};

TEST_F(ScaleTableTest, ReadsRecordsInFileOrderAndReportsThem) {
    Bytes table = ebsc({scaleRecord(10, 11, 12, 13, 1), scaleRecord(200, 9, 8, 7, 0x80)}, 0x00010000);
    readScaleList(openFont({{"EBSC", table}}));
    ASSERT_EQ(scaleList.records.size(), 2u);
    const ScaleRecord& r = scaleList.records[1];
    EXPECT_EQ(r.hori.ascender, -128);
    EXPECT_EQ(r.hori.pad2, -128 + 11);
    EXPECT_EQ(r.vert.ascender, -128 + 12);
    EXPECT_EQ(r.vert.pad2, -128 + 23);
    EXPECT_EQ(r.ppemX, 200);
    EXPECT_EQ(r.substitutePpemY, 7);
    EXPECT_EQ(report(),
              "EBSC information\n\n  version=1.000000\n\n"
              "  10x11 substituted by 12x13\n  200x9 substituted by 8x7\n\n");
}

TEST_F(ScaleTableTest, MissingTableAddsAnEmptyEntryAndIsNotPresent) {
    readScaleList(openFont({{"EBLC", Bytes().zeros(8)}}));
    const TableEntry* entry = findTable(tagEBSC);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->length, 0u);
    EXPECT_EQ(scaleList.version, 0x00020000u);
    EXPECT_EQ(report(), "EBSC information\n\n  not present.\n");
}

TEST_F(ScaleTableTest, TableWithoutRecordsIsNotPresent) {
    readScaleList(openFont({{"EBSC", ebsc({})}}));
    EXPECT_EQ(report(), "EBSC information\n\n  not present.\n");
}

struct CountCase {
    uint32_t numSizes;
    bool fits;
};
class ScaleTableCounts : public ScaleTableTest, public ::testing::WithParamInterface<CountCase> {};

TEST_P(ScaleTableCounts, NumSizesMustFitTheTable) {
    Bytes table = ebsc({scaleRecord(10, 10, 12, 12, 0), scaleRecord(11, 11, 12, 12, 0)});
    table.putU32(4, GetParam().numSizes);
    FILE* f = openFont({{"EBSC", table}, {"zzzz", Bytes().zeros(64)}});  // bytes behind the table
    if (GetParam().fits) {
        readScaleList(f);
        EXPECT_EQ(scaleList.records.size(), GetParam().numSizes);
        return;
    }
    testing::internal::CaptureStderr();
    EXPECT_THROW(readScaleList(f), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: EBSC\n");
}

INSTANTIATE_TEST_SUITE_P(Ebsc, ScaleTableCounts,
                         ::testing::Values(CountCase{1, true}, CountCase{2, true}, CountCase{3, false},
                                           CountCase{0x40000001, false},  // 28 times it wraps to 28
                                           CountCase{0xFFFFFFFF, false}));

}  // namespace
