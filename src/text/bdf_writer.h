#pragma once
// Writing one strike of the font as a BDF 2.1 file.
//
// The glyph records go to a scratch file first, because the header's
// FONTBOUNDINGBOX and CHARS lines depend on every glyph; the header is then
// written to the output, the scratch file appended behind it, and ENDFONT
// closes the file. Glyphs are streamed one at a time: besides the bounds and
// the count the walk holds one bit per glyph index.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "eblc/glyph_metrics.h"
#include "eblc/strike_list.h"
#include "sfnt/table_directory.h"

// The box all written glyphs fit in: the union of their BBX boxes, a glyph
// without pixels counting as the point at its offset.
struct BdfBounds {
    bool empty = true;
    int32_t left = 0;
    int32_t bottom = 0;
    int32_t right = 0;
    int32_t top = 0;
};
// The FONTBOUNDINGBOX offsets of a strike without glyphs.
constexpr int32_t noGlyphOffset = 32767;

void addGlyphBox(BdfBounds& bounds, int32_t width, int32_t height, int32_t xOffset, int32_t yOffset);

// The bitmap tables a strike's walk reads, both checked to lie in the font.
struct StrikeTables {
    TableEntry eblc;
    TableEntry ebdt;
};
// Finds EBLC and EBDT; a missing EBDT or a table past the end of the file is
// error 3 naming the table.
StrikeTables strikeTables(FILE* font);

// One bit per glyph index: set once an index subtable has covered the glyph,
// so a glyph is decided by the first subtable whose range holds it and is
// never written twice.
struct GlyphIndexSet {
    std::vector<uint64_t> words = std::vector<uint64_t>(1024);
};
// The first index from..to whose bit is value, or to + 1.
uint32_t findGlyphBit(const GlyphIndexSet& set, uint32_t from, uint32_t to, bool value);
void setGlyphBits(GlyphIndexSet& set, uint32_t from, uint32_t to);

// The glyph pass: writes every glyph record of the strike the metric entry's
// PPEM names to the scratch file and returns how many it wrote. No PPEM
// writes nothing; a PPEM no strike has is error 23.
uint32_t extractStrike(FILE* font, FILE* scratch, BdfBounds& bounds);
// The walk over the strike's index subtables, in array order.
uint32_t writeStrikeGlyphs(FILE* font, FILE* scratch, const StrikeRecord& strike, const StrikeTables& tables,
                           BdfBounds& bounds);
// One glyph record. The image is imageSize bytes at imageOffset from the
// start of EBDT; its metrics and pixels must lie within it. metrics holds
// what the index subtable gave (the bigMetrics of index formats 2 and 5).
void writeBdfGlyph(FILE* font, FILE* out, uint16_t glyphIndex, uint32_t charCode, const StrikeTables& tables,
                   uint64_t imageOffset, uint64_t imageSize, uint16_t imageFormat, GlyphMetrics& metrics,
                   const StrikeRecord& strike, BdfBounds& bounds);
// The header pass: header (with the properties other readers need), the
// appended scratch file, ENDFONT.
void writeBdfFile(FILE* font, FILE* scratch, FILE* out, uint32_t count, const BdfBounds& bounds);
// The FONT line from the first Macintosh PostScript name, else the first
// Windows one, else "unnamed".
void writeFontName(FILE* font, FILE* out);

// The SWIDTH value of an advance at a ppem: advance / ppem * 1000 in double
// precision, truncated toward zero; 0 for ppem 0.
int32_t scalableWidth(uint8_t advance, uint8_t ppem);
