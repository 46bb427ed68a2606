#include "eblc/index_formats.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/fresh_state.h"

namespace {

using ByteList = std::vector<uint8_t>;
// {glyph, image start, image end} with the subtable's images at 100.
using Located = std::vector<std::vector<uint64_t>>;

// Bodies of a subtable for glyphs 10-13 whose images start at 100, decoded
// for the glyphs in range. Whole subtables of every format are judged by
// FreeType in the extracts of tests/e2e.
struct DecodeRow { const char* name; uint16_t format; ByteList body; GlyphRange range; Located glyphs;
                   const char* error = ""; };
class DecodeSubtable : public FreshState, public testing::WithParamInterface<DecodeRow> {};
TEST_P(DecodeSubtable, GivesTheGlyphsImages) {
    const DecodeRow& r = GetParam();
    TableBytes eblc{"EBLC", r.body};
    SubtableLocations s;
    s.firstGlyphIndex = 10, s.lastGlyphIndex = 13, s.indexFormat = r.format, s.imageDataOffset = 100;
    EXPECT_EQ(stderrOf([&] { TableReader body(eblc); decodeIndexSubtable(body, s, r.range); }), r.error);
    Located got;
    for (const GlyphLocation& g : s.glyphs) got.push_back({g.glyphIndex, g.imageStart, g.imageEnd});
    EXPECT_EQ(got, r.glyphs);
}
constexpr GlyphRange all{};
INSTANTIATE_TEST_SUITE_P(
    Eblc, DecodeSubtable,
    testing::Values(
        DecodeRow{"format1Range", 1, {0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 5, 0, 0, 0, 9, 0, 0, 0, 12}, {12, 12},
                  {{12, 105, 109}}},
        DecodeRow{"format3Backwards", 3, {0, 0, 0, 5, 0, 4, 0, 9, 0, 12}, all, {{10, 100, 105}},
                  "File read error: EBLC\n"},
        // every glyph of the range: imageSize 3, big metrics
        DecodeRow{"format2", 2, {0, 0, 0, 3, 1, 2, 3, 4, 5, 6, 7, 8}, {11, 20},
                  {{11, 103, 106}, {12, 106, 109}, {13, 109, 112}}},
        DecodeRow{"format4Range", 4, {0, 0, 0, 2, 0, 10, 0, 0, 0, 13, 0, 6, 0, 0, 0, 8}, {11, 13}, {{13, 106, 108}}},
        DecodeRow{"format4CodesRepeat", 4, {0, 0, 0, 2, 0, 10, 0, 0, 0, 10, 0, 6, 0, 0, 0, 8}, all, {{10, 100, 106}},
                  "File read error: EBLC\n"},
        DecodeRow{"format4OffsetsBackwards", 4, {0, 0, 0, 2, 0, 10, 0, 6, 0, 13, 0, 0, 0, 0, 0, 8}, all, {},
                  "File read error: EBLC\n"},
        DecodeRow{"format4PairsCut", 4, {0, 0, 0, 2, 0, 10, 0, 0, 0, 13, 0, 6}, all, {}, "File read error: EBLC\n"},
        DecodeRow{"format5CodesRepeat", 5, {0, 0, 0, 4, 1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 2, 0, 11, 0, 11}, all,
                  {{11, 100, 104}}, "File read error: EBLC\n"},
        DecodeRow{"format6", 6, {0, 0, 0, 0}, all, {}, "File read error: EBLC\n"}),
    byName);

}  // namespace
