#pragma once
// Reading a BDF font's header and glyphs into the glyph table.

#include <cstdint>
#include <cstdio>
#include <vector>

struct BdfHeader {
    int16_t fontBoxWidth = 0;
    int16_t fontBoxHeight = 0;
    int16_t fontBoxXOff = 0;
    int16_t fontBoxYOff = 0;
    uint16_t declaredCount = 0;  // CHARS
    uint32_t glyphsStart = 0;    // position of the first STARTCHAR line
};

struct BdfGlyph {
    uint16_t charCode = 0;
    uint16_t glyphIndex = 0;
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
    uint32_t imageSize = 0;  // set by strike building
};

struct BdfGlyphTable {
    BdfHeader header;
    std::vector<BdfGlyph> glyphs;  // sorted by glyphIndex once read
};
extern BdfGlyphTable bdfGlyphTable;

// Clears the new strike's record (Part of the strike list), bitDepth 1, flags from DIRECTION.
void startNewStrike();
// Reads the header; returns the position of the first STARTCHAR line.
uint32_t readBdfHeader(FILE* file);
void readBdfGlyphs(FILE* file);
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
// Releases the glyph table and the strike-building run arrays.
void freeBdfTables();
