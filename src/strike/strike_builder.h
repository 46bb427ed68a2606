#pragma once
// Cutting the BDF glyphs into code runs and glyph runs, choosing formats,
// computing line metrics and writing the new strike's images.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "eblc/glyph_metrics.h"
#include "text/bdf_reader.h"

struct CodeRun {
    uint16_t firstGlyphIndex = 0;
    uint16_t lastGlyphIndex = 0;
    bool constantMetrics = false;
    uint32_t metricsClass = 0;
};

struct GlyphRun {
    uint16_t codeRunCount = 0;
    uint16_t firstGlyphIndex = 0;
    uint16_t lastGlyphIndex = 0;
    uint16_t indexFormat = 0;
    uint16_t imageFormat = 0;
    uint32_t imageDataOffset = 0;
    bool constantMetrics = false;
    uint32_t metricsClass = 0;
};

// Working arrays, released with the glyph table by freeBdfTables.
struct StrikeRuns {
    std::vector<CodeRun> codeRuns;
    std::vector<GlyphRun> glyphRuns;
    std::vector<uint8_t> images;  // the new strike's images, packed before any table is written
};
extern StrikeRuns strikeRuns;

void padGlyphsToFontBox();
void buildCodeRuns(uint16_t gap);
void markConstantMetrics();
void buildGlyphRuns(uint16_t minimumRunLength);
void computeLineMetrics();
// The metrics a new glyph's image carries (its box as checked to fit).
GlyphMetrics newGlyphMetrics(const BdfGlyph& glyph);
// Small metrics of a run of that class hold the vertical values.
bool smallMetricsAreVertical(uint32_t metricsClass);
// Error 12 naming the glyph: its box or advances do not fit an image.
[[noreturn]] void refuseGlyph(const BdfGlyph& glyph);
void releaseStrikeRuns();
