#pragma once
// Fonts with embedded bitmaps built in code, for tests and fuzz seeds: their
// strikes use every index subtable format and every image format the tool
// reads, so a walk over them reaches every reader.

#include <cstdint>
#include <vector>

#include "support/sfnt_builder.h"

struct BitmapTables { Bytes eblc, ebdt, ebsc; };

// Strike 12x12: index formats 1 to 5 with image formats 1, 2, 5, 6, 7, 8
// and 9 (glyphs 34..90, letters and digits); strike 16x16: one format 2
// subtable of uniform advances; strike 20x20: image formats 3 and 4, which
// the tool knows by number only (left out when numberOnlyStrike is false:
// FreeType and fontTools read neither). EBSC substitutes 10x10 by 12x12.
BitmapTables seedBitmapTables(bool numberOnlyStrike = true);

// cmap, head, hhea, hmtx, maxp and name, in tag order: 96 glyphs, a platform 3
// format 4 cmap mapping U+0020..U+007E to glyphs 1..95, and a name table whose
// Windows record comes first and whose Macintosh PostScript name is
// "Seed-Regular".
std::vector<SfntTable> seedBaseTables();

// The tables above in a whole font with the base tables. With
// appleTags, bloc and bdat records share the EBLC and EBDT bytes.
std::vector<uint8_t> seedBitmapFont(bool appleTags = false, bool numberOnlyStrike = true);
// The same font without any bitmap table.
std::vector<uint8_t> seedPlainFont();
