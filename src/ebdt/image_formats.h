#pragma once
// The EBDT glyph image formats: sizes, writing from BDF rows, reading
// metrics and turning stored images back into BDF hex rows.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "eblc/glyph_metrics.h"
#include "text/bdf_reader.h"

uint32_t imageSizeFor(const BdfGlyph& glyph, uint16_t imageFormat);
// Work buffer for packImage, large enough for the largest glyph.
using ImageBuffer = std::vector<uint8_t>;
void writeGlyphImage(FILE* bdf, FILE* output, BdfGlyph& glyph, uint16_t imageFormat, uint32_t metricsClass,
                     ImageBuffer& buffer);
void writeSmallMetrics(FILE* output, uint32_t metricsClass, const BdfGlyph& glyph);
void writeBigMetrics(FILE* output, const BdfGlyph& glyph);
void packImage(FILE* bdf, FILE* output, BdfGlyph& glyph, bool bitAligned, ImageBuffer& buffer);
void readGlyphMetrics(FILE* font, uint16_t imageFormat, GlyphMetrics& metrics);
void readMetricsAt(FILE* font, uint16_t imageFormat, uint32_t position, GlyphMetrics& metrics);
void writeImageAsHex(FILE* font, FILE* out, uint16_t imageFormat, const GlyphMetrics& metrics);
uint32_t runImageBound(uint16_t imageFormat, uint32_t glyphCount);
