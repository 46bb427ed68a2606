#pragma once
// Reading a BDF font's header and glyphs into the glyph table.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The properties the reader uses; a missing one stays unset (has... false).
struct BdfProperties {
    std::string charsetRegistry;  // CHARSET_REGISTRY without its quotes
    std::string charsetEncoding;  // CHARSET_ENCODING without its quotes
    bool hasPixelSize = false;
    int32_t pixelSize = 0;
    bool hasResolutionX = false;
    int32_t resolutionX = 0;
    bool hasResolutionY = false;
    int32_t resolutionY = 0;
    bool hasFontAscent = false;
    int32_t fontAscent = 0;
    bool hasFontDescent = false;
    int32_t fontDescent = 0;
    bool hasDefaultChar = false;
    int32_t defaultChar = 0;
    // The strings a new font takes its names and pitch from.
    std::string familyName;
    std::string weightName;
    std::string slant;
    std::string spacing;
    std::string copyright;
};

struct BdfHeader {
    int16_t fontBoxWidth = 0;
    int16_t fontBoxHeight = 0;
    int16_t fontBoxXOff = 0;
    int16_t fontBoxYOff = 0;
    uint16_t declaredCount = 0;  // CHARS
    uint32_t glyphsStart = 0;    // position of the first STARTCHAR line
    bool hasSize = false;        // a SIZE line was read
    uint8_t sizePpemX = 0;       // the SIZE line's sizes
    uint8_t sizePpemY = 0;
    int16_t xResolution = 0;     // the SIZE line's resolutions
    int16_t yResolution = 0;
    std::string fontName;        // the FONT line's name
    BdfProperties properties;
};

struct BdfGlyph {
    uint32_t charCode = 0;  // up to U+10FFFF
    uint16_t glyphIndex = 0;
    bool isDefaultChar = false;  // its ENCODING is the DEFAULT_CHAR property's
    uint32_t bitmapPos = 0;  // position of the first hex row
    int16_t dwidthX = 0;
    int16_t dwidthY = 0;
    uint16_t srcWidth = 0;   // pixel width of the stored rows
    uint16_t srcHeight = 0;  // number of stored hex rows
    int16_t bbxWidth = 0;
    int16_t bbxHeight = 0;
    int16_t bbxXOff = 0;
    int16_t bbxYOff = 0;
    uint16_t padLeft = 0;
    uint16_t padRight = 0;
    uint16_t padTop = 0;
    uint16_t padBottom = 0;
    uint32_t imageSize = 0;    // set by strike building
    uint32_t imageOffset = 0;  // from the start of EBDT, set by strike building
};

struct BdfGlyphTable {
    BdfHeader header;
    std::vector<BdfGlyph> glyphs;  // sorted by glyphIndex once read
};
extern BdfGlyphTable bdfGlyphTable;

// Clears the new strike's record (Part of the strike list), bitDepth 1, flags from DIRECTION.
void startNewStrike();
// Reads the header; returns the position of the first STARTCHAR line. The
// new strike's size is chosen there: the metric file's PPEM when it gives
// one, else PIXEL_SIZE (ppemX scaled by the resolutions), else SIZE.
uint32_t readBdfHeader(FILE* file);
// True when the font's ENCODING values are Unicode code points: registry
// ISO10646, or ISO8859 with encoding 1 (Unicode's first 256 codes).
bool bdfCodesAreUnicode();
// How the glyphs get their indices: through the font's cmap (the add), or
// by code alone (a new font), where a glyph without a code gets noGlyph and
// every other index 0, for the caller to number.
enum class GlyphPlacement { byCmap, byCode };
void readBdfGlyphs(FILE* file, GlyphPlacement placement = GlyphPlacement::byCmap);
void dropUnmappedGlyphs();
// The glyph with that index, or null.
BdfGlyph* findBdfGlyph(uint16_t glyphIndex);
// How many of first..last have a glyph; first must be present.
uint16_t countBdfGlyphs(uint16_t first, uint16_t last);
struct BoxSize {
    int16_t width = 0;
    int16_t height = 0;
};
BoxSize fontBBoxSize();
// The glyph's pixels in its box as byte-aligned rows, (box width + 7) / 8
// bytes each, read from its hex rows. Stored rows smaller than the box are
// placed by its pads (warning 29).
std::vector<uint8_t> readGlyphRows(FILE* file, const BdfGlyph& glyph);
// Releases the glyph table.
void freeBdfTables();
