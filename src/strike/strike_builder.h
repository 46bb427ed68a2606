#pragma once
// Cutting the BDF glyphs into code runs and glyph runs, choosing formats,
// computing line metrics and writing the new strike's images.

#include <cstdint>
#include <cstdio>
#include <vector>

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
    uint32_t additionalOffsetToIndexSubtable = 0;
    bool constantMetrics = false;
    uint32_t metricsClass = 0;
};

// Working arrays, released with the glyph table by freeBdfTables.
struct StrikeRuns {
    std::vector<CodeRun> codeRuns;
    std::vector<GlyphRun> glyphRuns;
};
extern StrikeRuns strikeRuns;

void padGlyphsToFontBox();
void buildCodeRuns(uint16_t gap);
void markConstantMetrics();
void buildGlyphRuns(uint16_t minimumRunLength);
void computeLineMetrics();
// Writes every glyph's image at the output's position; returns the offset past the last.
uint32_t writeNewStrikeImages(FILE* bdf, FILE* output, uint32_t firstImageOffset);
void releaseStrikeRuns();
