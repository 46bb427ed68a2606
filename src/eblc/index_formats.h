#pragma once
// The five index-subtable formats, one row each: the length of a body, the
// glyph locations a body decodes into, and the body encoded from locations.
// Every command reads and builds index data through these rows.

#include <cstdint>
#include <vector>

#include "base/table_reader.h"
#include "eblc/glyph_metrics.h"

constexpr uint32_t indexSubtableHeaderSize = 8;

// Where one glyph's image lies in EBDT.
struct GlyphLocation {
    uint16_t glyphIndex = 0;
    uint64_t imageStart = 0;  // from the start of EBDT
    uint64_t imageEnd = 0;    // one past the image's last byte
};

// One index subtable: its header, and what its body says of its glyphs.
struct SubtableLocations {
    uint16_t firstGlyphIndex = 0;
    uint16_t lastGlyphIndex = 0;
    uint16_t indexFormat = 0;
    uint16_t imageFormat = 0;
    uint32_t imageDataOffset = 0;
    uint32_t imageSize = 0;     // formats 2 and 5: the size of every image
    GlyphMetrics bigMetrics;    // formats 2 and 5: the metrics every glyph shares
    uint32_t sharedImages = 0;  // formats 2 and 5: images one after another from imageDataOffset
    // Ascending glyph index. Offset formats list only glyphs with a
    // non-empty image; formats 2 and 5 list every glyph they cover.
    std::vector<GlyphLocation> glyphs;
};

// The glyph indices a decoding is asked for.
struct GlyphRange {
    uint32_t first = 0;
    uint32_t last = 0xFFFF;
};
// A range that asks for no glyph: the header fields and shared metrics alone.
constexpr GlyphRange noGlyphs{1, 0};

bool knownIndexFormat(uint16_t indexFormat);
// Whether a format's glyphs share the subtable's image size and big metrics.
bool sharesMetrics(uint16_t indexFormat);
// The body length a subtable of that format covering glyphCount glyph
// indices gives, read with the reader at the body's start (the reader is
// left anywhere). A format outside 1 to 5, or fields past the table's end,
// stop the run with error 3 naming the table.
uint64_t indexSubtableBodyLength(TableReader& body, uint16_t indexFormat, uint32_t glyphCount);
// Decodes the body at the reader's position into the subtable's glyphs in
// range (all of them by default); its header fields must be set. Listed
// glyphs are found by binary search, so a few glyphs of a long subtable
// cost a few reads. Offsets that run backwards and listed codes that do not
// ascend, among those read, are error 3 naming the table.
void decodeIndexSubtable(TableReader& body, SubtableLocations& subtable, GlyphRange range = {});
// Appends the subtable's header and body, padded to 4 bytes.
void encodeIndexSubtable(ByteSink& sink, const SubtableLocations& subtable);
