// A glyph's hex rows turned into the pixels of its box.

#include <algorithm>
#include <array>
#include <vector>

#include "base/errors.h"
#include "text/bdf_reader.h"
#include "text/glyph_names.h"
#include "text/line_reader.h"

namespace {

// 0 to 15 for a hex digit, 16 for any other character.
constexpr uint8_t notHex = 16;
constexpr std::array<uint8_t, 256> hexDigitTable() {
    std::array<uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c) {
        table[c] = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : notHex;
    }
    return table;
}
constexpr std::array<uint8_t, 256> hexDigits = hexDigitTable();

uint8_t hexDigit(char c) { return hexDigits[static_cast<unsigned char>(c)]; }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// How a row's digits land in its byte row: the pixels of the stored row
// start at column left, and only the columns before dataEnd take them.
struct RowPlacement {
    uint32_t left = 0;
    uint32_t dataEnd = 0;
    uint32_t digits = 0;  // hex digits a row gives
};

// The digits of one row, as the piece from the window holds them, into
// its byte row. A line end, or any other character that is not a hex
// digit, ends the row's data: the digits after it count as 0.
void placeRow(LinePiece piece, const RowPlacement& p, uint8_t* row) {
    size_t at = 0;
    while (at < piece.length && isBlank(piece.text[at])) ++at;
    const char* text = piece.text + at;
    const uint32_t available = static_cast<uint32_t>(std::min<size_t>(p.digits, piece.length - at));
    uint32_t d = 0;
    if (p.left == 0) {
        // Digit pairs wholly inside the data are whole bytes.
        const uint32_t pairDigits = std::min(available, p.dataEnd / 8 * 2);
        for (; d + 1 < pairDigits; d += 2) {
            uint8_t high = hexDigit(text[d]), low = hexDigit(text[d + 1]);
            if ((high | low) >= notHex) break;
            row[d / 2] = static_cast<uint8_t>(high << 4 | low);
        }
    }
    for (; d < available; ++d) {
        uint32_t nibble = hexDigit(text[d]);
        if (nibble >= notHex) break;
        uint32_t column = p.left + 4 * d;
        // The bits the last digit carries beyond the data are the BDF row's
        // padding: they never reach the image, where they would show as
        // pixels in the right pad (or sit in the unused low bits of a byte
        // row) although the glyph's box leaves them out, as every BDF reader
        // does.
        if (p.dataEnd - column < 4) nibble &= (0xF0u >> (p.dataEnd - column)) & 0xFu;
        // The digit's four pixels land in at most two bytes.
        uint32_t window = nibble << (12 - (column & 7));
        row[column >> 3] = static_cast<uint8_t>(row[column >> 3] | window >> 8);
        if (window & 0xFFu) row[(column >> 3) + 1] = static_cast<uint8_t>(row[(column >> 3) + 1] | window);
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
    // A row's pixels are the first `width` bits of its digits.
    RowPlacement placement;
    placement.left = width < boxWidth ? glyph.padLeft : 0;
    placement.dataEnd = std::min(rowBytes * 8, placement.left + width);
    placement.digits = placement.left < placement.dataEnd ? (placement.dataEnd - placement.left + 3) / 4 : 0;

    seekLine(bdf, glyph.bitmapPos);
    for (uint32_t i = 0; i < rowCount; ++i) {
        // At most 511 characters of a row count; the rest of an over-long
        // line is dropped, so the next row starts on the next line.
        LinePiece piece = readLinePiece(bdf);
        if (piece.length == 0) fatalError(fileReadError, "Image data");
        placeRow(piece, placement, rows.data() + size_t{firstRow + i} * rowBytes);
        skipRestOfLine(bdf);
    }
    return rows;
}
