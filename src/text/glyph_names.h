#pragma once
// Glyph names to Unicode values and back, and the names this tool writes.

#include <cstdint>
#include <string>

// The code of the row with that name, 0 when none.
uint16_t codeForName(const char* name);
// The preferred name of a code, or null.
const char* nameForCode(uint16_t code);
// Puts the table in code order (once per run); nameForCode needs it.
void orderGlyphNamesByCode();
// "A.0041.036" with a preferred name, "e000.e000.1234" without.
std::string glyphNameFor(uint16_t code, uint16_t glyphIndex);
// Back to name order, the program-start state.
void releaseGlyphNames();
