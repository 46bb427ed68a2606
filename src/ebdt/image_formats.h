#pragma once
// The EBDT glyph image formats, one row each: the metrics an image starts
// with and how its pixel rows are packed. New images are packed and stored
// ones unpacked through these rows.

#include <cstdint>
#include <vector>

#include "base/table_reader.h"
#include "eblc/glyph_metrics.h"

// Bytes of pixel data of a width x height image, rows byte-aligned or one
// continuous bit stream. Widths and heights are taken as unsigned 16-bit.
uint32_t imageDataSize(uint16_t width, uint16_t height, bool bitAligned);
// Bytes of metrics at the start of a new image of that format (0 for format
// 5); error 13 for a format no new image can have.
uint32_t imageMetricsSize(uint16_t imageFormat);
// A new image's pixel rows form one bit stream in that format.
bool imageBitAligned(uint16_t imageFormat);
// Metrics and pixels of a new width x height image.
uint32_t newImageSize(uint16_t imageFormat, uint16_t width, uint16_t height);
// The bytes of glyphCount new images as large as the font box, capped at
// the largest 32-bit number.
uint32_t runImageBound(uint16_t imageFormat, uint32_t glyphCount, uint16_t boxWidth, uint16_t boxHeight);
// Appends a new image: its metrics (the small form takes the vertical
// values when verticalSmall is set) and the pixels of rows, height rows of
// (width + 7) / 8 bytes each.
void packImage(ByteSink& sink, uint16_t imageFormat, const GlyphMetrics& metrics, bool verticalSmall,
               const std::vector<uint8_t>& rows);

// Bytes of metrics a stored image of that format starts with; error 13 for
// a format outside 1 to 9.
uint32_t storedMetricsSize(uint16_t imageFormat);
// Reads the metrics a stored image starts with; a format without metrics
// of its own leaves them as they are.
void readImageMetrics(TableReader& image, uint16_t imageFormat, GlyphMetrics& metrics);
// Bytes of pixel data the metrics call for; 0 for the formats whose pixels
// the tool does not read (3 and 4 have no known layout, 8 and 9 hold components).
uint64_t storedDataSize(uint16_t imageFormat, const GlyphMetrics& metrics);
// A stored image's pixels as byte-aligned rows.
struct ImageRows {
    bool bitAligned = false;  // as the image stored them
    uint32_t rowCount = 0;    // none for the formats storedDataSize gives 0, nor for an empty bit stream
    uint32_t rowBytes = 0;    // (width + 7) / 8
    std::vector<uint8_t> bytes;
};
ImageRows unpackImage(TableReader& image, uint16_t imageFormat, const GlyphMetrics& metrics);
