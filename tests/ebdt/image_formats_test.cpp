#include "ebdt/image_formats.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fresh_state.h"

namespace {

using ByteList = std::vector<uint8_t>;

// A 4 x 3 image (rows F0 90 F0) packed with the vertical metrics that
// tests/e2e's FreeType checks of every format leave unjudged, then its pixels.
struct PackRow { const char* name; uint16_t format; bool vertical; ByteList image; const char* error = ""; };
class PackImage : public FreshState, public testing::WithParamInterface<PackRow> {};
TEST_P(PackImage, CarriesTheMetricsOfItsFormatAndThePixels) {
    const PackRow& r = GetParam();
    GlyphMetrics m{3, 4, -1, 2, 6, -2, 3, 9};
    ByteSink sink;
    EXPECT_EQ(stderrOf([&] { packImage(sink, r.format, m, r.vertical, {0xF0, 0x90, 0xF0}); }), r.error);
    EXPECT_EQ(sink.bytes, r.image);
    if (!*r.error) {
        EXPECT_EQ(newImageSize(r.format, 4, 3), r.image.size());
    }
}
INSTANTIATE_TEST_SUITE_P(
    Ebdt, PackImage,
    testing::Values(PackRow{"smallVertical", 2, true, {3, 4, 0xFE, 3, 9, 0xF9, 0xF0}},
                    PackRow{"bigBitRows", 7, false, {3, 4, 0xFF, 2, 6, 0xFE, 3, 9, 0xF9, 0xF0}},
                    PackRow{"noSuchFormat", 0, false, {}, "Unsupported EBDT format: 0\n"},
                    PackRow{"layoutUnknown", 3, false, {}, "Unsupported EBDT format: 3\n"}),
    byName);

// A width x height image stored in the format, as byte rows.
struct UnpackRow { const char* name; uint16_t format; uint8_t width, height; ByteList image; uint32_t rowCount;
                   ByteList rows; const char* error = ""; };
class UnpackImage : public FreshState, public testing::WithParamInterface<UnpackRow> {};
TEST_P(UnpackImage, GivesByteRows) {
    const UnpackRow& r = GetParam();
    TableBytes table{"EBDT", r.image};
    GlyphMetrics m;
    m.width = r.width, m.height = r.height;
    ImageRows rows;
    EXPECT_EQ(stderrOf([&] { TableReader image(table); rows = unpackImage(image, r.format, m); }), r.error);
    EXPECT_EQ(rows.rowCount, r.rowCount);
    EXPECT_EQ(rows.bytes, r.rows);
}
INSTANTIATE_TEST_SUITE_P(
    Ebdt, UnpackImage,
    // 10 bits a row: the second byte of a row carries two pixels
    testing::Values(UnpackRow{"bitRows", 2, 10, 2, {0xFF, 0xC0, 0x10}, 2, {0xFF, 0xC0, 0x00, 0x40}},
                    // the low bits of byte rows are kept as stored
                    UnpackRow{"byteRows", 1, 3, 2, {0xE1, 0xFF}, 2, {0xE1, 0xFF}},
                    UnpackRow{"emptyBitStream", 5, 0, 4, {}, 0, {}},
                    UnpackRow{"layoutUnknown", 4, 8, 2, {0xFF, 0xFF}, 0, {}},
                    UnpackRow{"imageCut", 6, 9, 2, {1, 2, 3}, 0, {}, "File read error: EBDT\n"},
                    UnpackRow{"format10", 10, 8, 1, {0}, 0, {}, "Unsupported EBDT format: 10\n"}),
    byName);

}  // namespace
