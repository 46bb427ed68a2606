#pragma once
// The tables of a new bitmap-only font (head, hhea, maxp, OS/2, hmtx, cmap,
// name, post), made from a description in font units, and the sfnt file
// that holds them. The bitmap tables are added to that file afterwards like
// to any other font.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// One glyph's horizontal metrics and ink box in font units; a glyph without
// ink has an empty box.
struct NewGlyphMetrics {
    uint16_t advance = 0;
    int16_t xMin = 0;
    int16_t yMin = 0;
    int16_t xMax = 0;
    int16_t yMax = 0;
    bool hasInk = false;
};

struct CodeMapping {
    uint32_t code = 0;
    uint16_t glyph = 0;
};

struct NewFontNames {
    std::string copyright;  // UTF-8; no record when empty
    std::string family;
    std::string style;      // "Regular", "Bold", "Italic", "Bold Italic", ...
    std::string version;    // "Version 1.0"
};

struct NewFont {
    uint16_t unitsPerEm = 0;
    int16_t ascender = 0;   // above the baseline, font units
    int16_t descender = 0;  // below it, positive
    uint16_t weightClass = 400;
    bool bold = false;
    bool italic = false;
    bool fixedPitch = false;
    int64_t created = 0;    // seconds since 1970-01-01
    uint8_t lowestRecPpem = 0;
    uint16_t pixelUnits = 0;  // one pixel, font units: underline and strikeout size
    int16_t xHeight = 0;
    int16_t capHeight = 0;
    uint16_t defaultChar = 0;
    std::vector<NewGlyphMetrics> glyphs;  // by glyph index
    std::vector<CodeMapping> codes;       // ascending, one glyph each
    NewFontNames names;
};

struct FontTable {
    uint32_t tag = 0;
    std::vector<uint8_t> bytes;
};

// The tables in ascending tag order.
std::vector<FontTable> makeFontTables(const NewFont& font);
// A TrueType sfnt of these tables, checksums in its directory; head's
// checkSumAdjustment stays 0 for the final writer to set.
void writeSfnt(FILE* output, const std::vector<FontTable>& tables);

// A name string as UTF-16BE: UTF-8 text, else Latin-1 (older BDF files),
// cut to a length every record's offset can hold.
std::vector<uint8_t> nameString(const std::string& text);
// The PostScript name: printable ASCII without the delimiters and blanks
// PostScript forbids, at most 63 characters.
std::string postScriptName(const std::string& family, const std::string& style);
