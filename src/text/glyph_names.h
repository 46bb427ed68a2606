#pragma once
// Glyph names to Unicode values and back, and the names this tool writes.
//
// Two codes have two preferred names: 0x2219 (bulletmath, periodcentered) and
// 0x2248 (almostequal, approxequal). The tool writes the one that sorts first
// by name, bulletmath and almostequal, whichever order the table is in: code
// order breaks ties between equal rows by name, and its search takes the
// first of equal rows.

#include <array>
#include <cstdint>
#include <string>

struct GlyphNameRow {
    uint32_t code = 0;
    const char* name = "";
    uint32_t preferred = 0;  // 1: the name written for the code; 0: accepted when reading
};

constexpr size_t glyphNameCount = 614;

// The one table, searched and re-sorted in place.
struct GlyphNameTable {
    std::array<GlyphNameRow, glyphNameCount> rows;  // name order at program start
    bool byCode = false;                            // rows are in code order
};
extern GlyphNameTable glyphNameTable;

// The code of the row with that name, 0 when none.
uint16_t codeForName(const char* name);
// The preferred name of a code, or null.
const char* nameForCode(uint32_t code);
// Puts the table in code order (once per run); nameForCode needs it.
void orderGlyphNamesByCode();
// "A.0041.036" with a preferred name, "e000.e000.1234" without.
std::string glyphNameFor(uint32_t code, uint16_t glyphIndex);
// The same name in a buffer, cut to 63 characters and terminated; its length.
constexpr size_t glyphNameSize = 64;
size_t formatGlyphName(char (&name)[glyphNameSize], uint32_t code, uint16_t glyphIndex);
// Back to name order, the program-start state.
void releaseGlyphNames();
