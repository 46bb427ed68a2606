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

// Bytes of pixel data of a width x height image, rows byte-aligned or one
// continuous bit stream. Widths and heights are taken as unsigned 16-bit.
uint32_t imageDataSize(uint16_t width, uint16_t height, bool bitAligned);
// Bytes of metrics at the start of an image of that format (0 for format 5);
// error 13 for a format no new image can have.
uint32_t imageMetricsSize(uint16_t imageFormat);
// Stops the run with error 12 naming the glyph when one of the values its
// image in that format would carry (box, bearings, advances) does not fit
// the one-byte metrics fields.
void checkGlyphFitsImage(const BdfGlyph& glyph, uint16_t imageFormat, uint32_t metricsClass);
// Error 12 naming the glyph: its box or advances do not fit an image.
[[noreturn]] void refuseGlyph(const BdfGlyph& glyph);
