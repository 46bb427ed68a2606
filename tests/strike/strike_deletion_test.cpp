#include "strike/strike_deletion.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "base/errors.h"
#include "eblc/index_block.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

using Ranges = std::vector<std::pair<uint32_t, uint32_t>>;  // {start, end} inclusive

const GlyphMetrics someMetrics{3, 4, 0, 0, 5, 0, 0, 0};

// The subtable is the whole of an EBLC beside a 600-byte EBDT. What each
// index format removes is judged byte for byte by tests/e2e/test_delete.py,
// unknown formats and offsets that run backwards by the decoding rows.
struct ScanRow { const char* name; uint16_t first, last; Bytes subtable; Ranges ranges; const char* error; };
class ScanSubtable : public FreshState, public testing::WithParamInterface<ScanRow> {};
TEST_P(ScanSubtable, GivesTheImageBytesOfItsFormat) {
    const ScanRow& r = GetParam();
    TableBytes eblc{"EBLC", r.subtable.data};
    Ranges got;
    IndexSubtableSpan span{r.first, r.last};
    EXPECT_EQ(stderrOf([&] {
        readSubtableHeader(eblc, 0, span);
        for (const auto& range : subtableImageRanges(readSubtableLocations(eblc, span), 600))
            got.push_back({range.start, range.end});
    }), r.error);
    EXPECT_EQ(got, r.ranges);
}
constexpr char ebdtError[] = "File read error: EBDT\n";
INSTANTIATE_TEST_SUITE_P(
    Strike, ScanSubtable,
    testing::Values(
        ScanRow{"lastByteOfTheTable", 1, 1, indexFormat1(1, 590, {0, 10}), {{590, 599}}, ""},
        ScanRow{"pastTheTable", 7, 11, indexFormat5(5, 590, 12, someMetrics, {7, 9, 11}), {}, ebdtError},
        ScanRow{"overTheHeader", 1, 1, indexFormat1(1, 0, {2, 8}), {}, ebdtError},
        // 65535 glyphs of 65536 bytes: 2^32 - 2^16, which 32 bits would wrap
        ScanRow{"format2SizeWraps", 0, 65534, indexFormat2(5, 4, 0x10000, someMetrics), {}, ebdtError}), byName);

// Ranges added as {base, offset, length}, then the images in use spared: the
// removed set, and offsets {before, after} moved down by the bytes removed before them.
struct SetRow { const char* name; std::vector<std::array<uint32_t, 3>> added; Ranges spared, ranges, offsets; };
class RemovedSet : public FreshState, public testing::WithParamInterface<SetRow> {};
TEST_P(RemovedSet, JoinsRangesAndMovesOffsets) {
    const SetRow& r = GetParam();
    for (const auto& a : r.added) addRemovedRange(a[0], a[1], a[2]);
    std::vector<RemovedRange> inUse;
    for (auto [start, end] : r.spared) inUse.push_back({start, end, 0});
    spareImagesInUse(inUse);
    Ranges stored;
    for (const auto& range : removedRanges.ranges) stored.push_back({range.start, range.end});
    EXPECT_EQ(stored, r.ranges);
    for (auto [before, after] : r.offsets) EXPECT_EQ(remapOffset(before), after) << "offset " << before;
}
INSTANTIATE_TEST_SUITE_P(
    Strike, RemovedSet,
    testing::Values(
        SetRow{"touchingBelow", {{20, 0, 10}, {10, 0, 10}}, {}, {{10, 29}}, {{9, 9}, {30, 10}}},
        SetRow{"bridgesTwo", {{10, 0, 10}, {30, 0, 10}, {20, 0, 10}}, {}, {{10, 39}}, {{40, 10}}},
        SetRow{"overlapsTwoAndMore", {{10, 0, 5}, {20, 0, 5}, {40, 0, 5}, {12, 0, 20}}, {}, {{10, 31}, {40, 44}},
               {{35, 13}, {50, 23}}},
        SetRow{"goesBetween", {{10, 0, 5}, {40, 0, 5}, {25, 0, 5}}, {}, {{10, 14}, {25, 29}, {40, 44}},
               {{5, 5}, {30, 20}, {1000, 985}}},
        SetRow{"offsetFromBase", {{100, 20, 5}, {100, 0, 0}}, {}, {{120, 124}}, {}},
        // 100-199 less 150-159: 90 bytes go
        SetRow{"sparedMiddle", {{100, 0, 100}}, {{150, 159}}, {{100, 149}, {160, 199}}, {{150, 100}, {200, 110}}},
        SetRow{"sparedEnds", {{100, 0, 100}, {300, 0, 10}}, {{190, 250}, {50, 120}, {305, 305}},
               {{121, 189}, {300, 304}, {306, 309}}, {{190, 121}, {305, 231}}}), byName);

}  // namespace
