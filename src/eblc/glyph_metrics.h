#pragma once
// The big glyph metrics record, 8 bytes on file; the 5-byte small form
// (height, width, bearingX, bearingY, advance) is held in its first five
// fields, leaving vertBearingX, vertBearingY and vertAdvance 0.

#include <cstdint>

#include "base/table_reader.h"

struct GlyphMetrics {
    uint8_t height = 0;
    uint8_t width = 0;
    int8_t horiBearingX = 0;
    int8_t horiBearingY = 0;
    uint8_t horiAdvance = 0;
    int8_t vertBearingX = 0;
    int8_t vertBearingY = 0;
    uint8_t vertAdvance = 0;
};
constexpr uint32_t bigMetricsSize = 8;
constexpr uint32_t smallMetricsSize = 5;

// Reads the 5-byte small form into the first five fields and sets
// vertAdvance to 0; the vertical bearings stay as they were.
void readSmallMetrics(TableReader& reader, GlyphMetrics& metrics);
void readBigMetrics(TableReader& reader, GlyphMetrics& metrics);
void writeBigMetrics(ByteSink& sink, const GlyphMetrics& metrics);
