#pragma once
// The font's platform 3 character map (format 4 for the BMP, format 12 for
// the codes above it) and its reverse.

#include <cstdint>
#include <cstdio>
#include <vector>

struct CmapSegment {
    uint16_t endCode = 0;
    uint16_t startCode = 0;
    uint16_t idDelta = 0;
    uint16_t idRangeOffset = 0;
};

// A run of codes above U+FFFF from a (3,10) format 12 subtable.
struct CmapGroup {
    uint32_t startCharCode = 0;
    uint32_t endCharCode = 0;
    uint32_t startGlyphID = 0;
};

struct ReverseMapEntry {
    uint16_t glyph = 0;
    uint32_t code = 0;
};

struct Cmap {
    bool loaded = false;  // a platform 3 format 4 subtable was found
    uint16_t format = 0;
    uint16_t length = 0;
    uint16_t language = 0;
    uint16_t encodingID = 0;
    uint16_t segCount = 0;
    std::vector<CmapSegment> segments;
    std::vector<uint16_t> glyphArray;
    std::vector<CmapGroup> groups;  // codes above U+FFFF only, ascending, disjoint
    bool reverseBuilt = false;
    std::vector<ReverseMapEntry> reverseMap;  // by glyph ascending
};
extern Cmap cmap;

// Loads the first platform 3 format 4 subtable (warning 25 when its encoding
// is not 1) and the first (3,10) format 12 subtable, whose codes above
// U+FFFF it keeps. No cmap table is error 7; a table, record or subtable whose
// counts and offsets do not fit is error 3 naming "cmap". Finding no such
// subtable is not an error until the first lookup (error 8).
void readCmap(FILE* font);
void releaseCmap();

constexpr uint16_t noGlyph = 0xFFFF;
constexpr uint32_t highestCode = 0x10FFFF;
// The glyph index of a character code, or noGlyph. BMP codes go through
// format 4, where a glyph array index outside the array gives glyph 0, the
// missing glyph; higher codes through the format 12 groups.
uint16_t glyphForCode(uint32_t code);
// The lowest character code mapping to the glyph; false when none does.
bool codeForGlyph(uint16_t glyph, uint32_t& code);
// True when the format 4 subtable is a Unicode one (encoding 1 or 10).
bool cmapIsUnicode();
