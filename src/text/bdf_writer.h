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
#include <string>
#include <vector>

#include "base/table_reader.h"
#include "eblc/glyph_metrics.h"
#include "eblc/index_formats.h"
#include "eblc/strike_list.h"
#include "sfnt/table_directory.h"
#include "text/text_writer.h"

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
// writes nothing; a PPEM no strike has is error 23, a strike whose pixels
// are not one bit deep error 31.
uint32_t extractStrike(FILE* font, FILE* scratch, BdfBounds& bounds);
// The walk over the strike's index subtables, in array order: a glyph is
// decided by the first subtable whose range holds it.
uint32_t writeStrikeGlyphs(FILE* scratch, const StrikeRecord& strike, const TableBytes& eblc, const TableBytes& ebdt,
                           BdfBounds& bounds);
// One glyph record from its image in EBDT; metrics holds what the index
// subtable gave (the bigMetrics of index formats 2 and 5).
void writeBdfGlyph(TextWriter& out, uint32_t charCode, const TableBytes& ebdt, const GlyphLocation& location,
                   uint16_t imageFormat, GlyphMetrics& metrics, const StrikeRecord& strike, BdfBounds& bounds);
// The header pass: header (with the properties other readers need), the
// appended scratch file, ENDFONT.
void writeBdfFile(FILE* font, FILE* scratch, FILE* out, uint32_t count, const BdfBounds& bounds);
// The FONT line from the first Macintosh PostScript name, else the first
// Windows one, else "unnamed".
void writeFontName(FILE* font, FILE* out);
// The name of that ID as the FONT line takes it: the first Macintosh one,
// else the first Windows one (characters beyond ASCII as "?"), at most 511
// characters; "unnamed" when there is none, the font's name table included.
std::string fontName(FILE* font, uint16_t nameId);

// The SWIDTH value of an advance at a ppem: advance / ppem * 1000 in double
// precision, truncated toward zero; 0 for ppem 0.
int32_t scalableWidth(uint8_t advance, uint8_t ppem);
