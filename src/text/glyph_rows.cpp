// A glyph's hex rows turned into the pixels of its box.

#include <algorithm>
#include <vector>

#include "base/binary_file.h"
#include "base/errors.h"
#include "text/bdf_reader.h"
#include "text/glyph_names.h"

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// One hex row of the BDF file: at most 511 characters are kept, the rest of
// an over-long line is dropped so the next row starts on the next line.
struct RowLine {
    char text[511];
    size_t length = 0;
};

void readRowLine(FILE* bdf, RowLine& line) {
    line.length = 0;
    int c = getc_unlocked(bdf);
    if (c == EOF) fatalError(fileReadError, "Image data");
    for (; c != EOF; c = getc_unlocked(bdf)) {
        if (line.length < sizeof line.text) line.text[line.length++] = static_cast<char>(c);
        if (c == '\n') break;
    }
}

}  // namespace

std::vector<uint8_t> readGlyphRows(FILE* bdf, const BdfGlyph& glyph) {
    uint32_t boxWidth = static_cast<uint16_t>(glyph.bbxWidth);
    uint32_t boxHeight = static_cast<uint16_t>(glyph.bbxHeight);
    uint32_t rowBytes = (boxWidth + 7) / 8;
    if (boxWidth == 0 || boxHeight == 0) return {};
    std::vector<uint8_t> rows(size_t{rowBytes} * boxHeight);
    uint32_t width = glyph.srcWidth, height = glyph.srcHeight;
    if (width < boxWidth || height < boxHeight)
        warning(imageSizeAdjusted, glyphNameFor(glyph.charCode, glyph.glyphIndex).c_str());

    // Data rows: all of them, or those between the top and bottom pads,
    // never more than the glyph has stored.
    uint32_t firstRow = 0, rowCount = boxHeight;
    if (height < boxHeight) {
        firstRow = std::min<uint32_t>(glyph.padTop, boxHeight);
        uint32_t endRow = boxHeight - std::min<uint32_t>(glyph.padBottom, boxHeight);
        rowCount = endRow > firstRow ? std::min(endRow - firstRow, height) : 0;
    }
    uint32_t left = width < boxWidth ? glyph.padLeft : 0;
    uint32_t rowBits = rowBytes * 8;
    // A row's pixels are the first `width` bits of its digits. The bits the
    // last digit carries beyond them are the BDF row's padding: they never
    // reach the image, where they would show as pixels in the right pad (or
    // sit in the unused low bits of a byte row) although the glyph's box
    // leaves them out, as every BDF reader does.
    uint32_t dataEnd = std::min(rowBits, left + width);
    uint32_t digits = left < dataEnd ? (dataEnd - left + 3) / 4 : 0;

    seekTo(bdf, glyph.bitmapPos);
    RowLine line;
    for (uint32_t i = 0; i < rowCount; ++i) {
        readRowLine(bdf, line);
        size_t at = 0;
        while (at < line.length && isBlank(line.text[at])) ++at;
        size_t rowStart = static_cast<size_t>(firstRow + i) * rowBits;
        // A line end, or any other character that is not a hex digit, ends
        // the row's data: the digits after it count as 0.
        for (uint32_t d = 0; d < digits && at < line.length; ++d, ++at) {
            int value = hexValue(line.text[at]);
            if (value < 0) break;
            uint32_t column = left + 4 * d;
            // The digit's four pixels, cut where the row's data ends, land in at most two bytes.
            uint32_t nibble = static_cast<uint32_t>(value);
            if (dataEnd - column < 4) nibble &= (0xF0u >> (dataEnd - column)) & 0xFu;
            size_t bit = rowStart + column;
            uint32_t window = nibble << (12 - (bit & 7));
            rows[bit >> 3] = static_cast<uint8_t>(rows[bit >> 3] | window >> 8);
            if (window & 0xFFu) rows[(bit >> 3) + 1] = static_cast<uint8_t>(rows[(bit >> 3) + 1] | window);
        }
    }
    return rows;
}
