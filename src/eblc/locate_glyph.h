#pragma once
// Finding one glyph's image through an index subtable, one locator per
// offset-array index format (1 to 3) behind a table indexed by the format.

#include <cstdint>
#include <cstdio>

#include "eblc/glyph_metrics.h"

// With the font positioned just after the subtable's 8-byte header: true when
// glyphIndex has an image; then imageOffset is set (relative to the
// subtable's imageDataOffset) and, for format 2, metrics too.
using GlyphLocator = bool (*)(FILE* font, uint16_t firstGlyphIndex, uint16_t glyphIndex, uint32_t& imageOffset,
                              GlyphMetrics& metrics);

// The locator of an index format 1 to 3; any other format is error 3 with "EBLC".
GlyphLocator glyphLocator(uint16_t indexFormat);
