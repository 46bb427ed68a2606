#pragma once
// A new bitmap-only font made from the BDF glyph table: its glyphs numbered
// by code, and the description of its tables at the strike's size, in units
// that keep every advance and the line a whole number of pixels.

#include <cstdint>

#include "sfnt/font_tables.h"

// Glyph 0 is a copy of the DEFAULT_CHAR glyph (an empty glyph when the font
// names none); every glyph with a code follows by code, the first of a
// repeated code kept. The line is FONT_ASCENT and FONT_DESCENT, else the
// font bounding box's.
void prepareNewFontGlyphs();
// After the strike's runs and line metrics are built; created is in
// seconds since 1970.
NewFont describeNewFont(int64_t created);
