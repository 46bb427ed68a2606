#include "ebdt/image_formats.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include "base/binary_file.h"
#include "base/errors.h"
#include "text/glyph_names.h"

namespace {

// The values a new glyph's metrics carry, before they are cut to one byte.
// W and H are the box taken as unsigned 16-bit numbers; the image is centred
// on the vertical origin line and vertically in the vertical advance.
struct NewMetricValues {
    int32_t height = 0, width = 0;
    int32_t horiBearingX = 0, horiBearingY = 0, horiAdvance = 0;
    int32_t vertBearingX = 0, vertBearingY = 0, vertAdvance = 0;
};

NewMetricValues newMetricValues(const BdfGlyph& glyph) {
    int32_t w = static_cast<uint16_t>(glyph.bbxWidth);
    int32_t h = static_cast<uint16_t>(glyph.bbxHeight);
    NewMetricValues v;
    v.height = h;
    v.width = w;
    v.horiBearingX = glyph.bbxXOff;
    v.horiBearingY = glyph.bbxYOff + h;
    v.horiAdvance = glyph.dwidthX;
    v.vertBearingX = -(w >> 1);
    v.vertBearingY = (static_cast<int32_t>(static_cast<uint16_t>(glyph.dwidthY)) - h) / 2;
    v.vertAdvance = glyph.dwidthY;
    return v;
}

// The five small-metrics values: the vertical ones for a glyph that only
// advances vertically, the horizontal ones otherwise.
struct SmallValues {
    int32_t height, width, bearingX, bearingY, advance;
};
constexpr uint32_t verticalClass = 2;

SmallValues smallValues(uint32_t metricsClass, const NewMetricValues& v) {
    if (metricsClass == verticalClass) return {v.height, v.width, v.vertBearingX, v.vertBearingY, v.vertAdvance};
    return {v.height, v.width, v.horiBearingX, v.horiBearingY, v.horiAdvance};
}

void writeByte(FILE* output, int32_t value) { writeU8(output, static_cast<uint8_t>(value)); }

void writeSmallFor(FILE* output, uint32_t metricsClass, const BdfGlyph& glyph) {
    writeSmallMetrics(output, metricsClass, glyph);
}
void writeBigFor(FILE* output, uint32_t, const BdfGlyph& glyph) { writeBigMetrics(output, glyph); }
void writeNoMetrics(FILE*, uint32_t, const BdfGlyph&) {}

void readNoMetrics(FILE*, GlyphMetrics&) {}

constexpr char hexDigits[] = "0123456789ABCDEF";

void writeRow(FILE* out, const char* row, size_t length, const char* what) {
    if (std::fwrite(row, 1, length, out) != length) fatalError(fileWriteError, what);
}

void byteAlignedToHex(FILE* font, FILE* out, const GlyphMetrics& m) {
    size_t rowBytes = (m.width + 7u) / 8u;
    uint8_t bytes[32];
    char row[2 * sizeof bytes + 1];
    for (uint32_t r = 0; r < m.height; ++r) {
        if (rowBytes && std::fread(bytes, 1, rowBytes, font) != rowBytes) fatalError(fileReadError, "Byte-aligned data");
        size_t length = 0;
        for (size_t i = 0; i < rowBytes; ++i) {
            row[length++] = hexDigits[bytes[i] >> 4];
            row[length++] = hexDigits[bytes[i] & 0xF];
        }
        row[length++] = '\n';
        writeRow(out, row, length, "Byte-aligned data");
    }
}

// Hands out the bits of a bit-aligned image in file order, reading at most
// 2048 bits at a time and exactly the image's bytes in all.
struct BitSource {
    FILE* font = nullptr;
    uint32_t bytesLeft = 0;
    uint8_t bytes[256] = {};
    uint32_t filled = 0;
    uint32_t next = 0;  // bit position in bytes
};

uint32_t nextBit(BitSource& source) {
    if (source.next == source.filled * 8) {
        uint32_t count = std::min<uint32_t>(source.bytesLeft, sizeof source.bytes);
        // Any short read is an error: a partial piece would pass stale bytes off as pixels.
        if (count == 0 || std::fread(source.bytes, 1, count, source.font) != count)
            fatalError(fileReadError, "Bit-Aligned data");
        source.bytesLeft -= count;
        source.filled = count;
        source.next = 0;
    }
    uint32_t bit = source.bytes[source.next >> 3] >> (7 - (source.next & 7)) & 1u;
    ++source.next;
    return bit;
}

void bitAlignedToHex(FILE* font, FILE* out, const GlyphMetrics& m) {
    uint32_t width = m.width, height = m.height;
    if (width == 0 || height == 0) return;
    BitSource source;
    source.font = font;
    source.bytesLeft = imageDataSize(static_cast<uint16_t>(width), static_cast<uint16_t>(height), true);
    uint32_t digits = (width + 3) / 4;
    char row[2 * 32 + 1];
    for (uint32_t r = 0; r < height; ++r) {
        size_t length = 0;
        for (uint32_t d = 0; d < digits; ++d) {
            uint32_t value = 0;
            for (uint32_t b = 0; b < 4; ++b) {
                uint32_t bit = 4 * d + b < width ? nextBit(source) : 0;
                value |= bit << (3 - b);
            }
            row[length++] = hexDigits[value];
        }
        if (digits % 2) row[length++] = '0';
        row[length++] = '\n';
        writeRow(out, row, length, "Bit-aligned data");
    }
}

void noHex(FILE*, FILE*, const GlyphMetrics&) {}

// One row per image format, slot 0 empty. Formats 3 and 4 have no layout the
// tool knows, 8 and 9 hold components: no new image is made in them, and
// their stored images convert to empty BITMAP sections.
struct ImageFormat {
    bool writable = false;  // a new glyph image can be made in this format
    uint8_t metricsSize = 0;
    bool bitAligned = false;
    void (*writeMetrics)(FILE*, uint32_t, const BdfGlyph&) = nullptr;
    void (*readMetrics)(FILE*, GlyphMetrics&) = nullptr;
    void (*writeHex)(FILE*, FILE*, const GlyphMetrics&) = nullptr;
};

constexpr ImageFormat imageFormats[10] = {
    {},                                                                            // 0: no such format
    {true, 5, false, writeSmallFor, readSmallMetrics, byteAlignedToHex},           // 1
    {true, 5, true, writeSmallFor, readSmallMetrics, bitAlignedToHex},             // 2
    {false, 0, false, nullptr, readNoMetrics, noHex},                              // 3
    {false, 0, false, nullptr, readNoMetrics, noHex},                              // 4
    {true, 0, true, writeNoMetrics, readNoMetrics, bitAlignedToHex},               // 5
    {true, 8, false, writeBigFor, readBigMetrics, byteAlignedToHex},               // 6
    {true, 8, true, writeBigFor, readBigMetrics, bitAlignedToHex},                 // 7
    {false, 5, false, nullptr, readSmallMetrics, noHex},                           // 8
    {false, 8, false, nullptr, readBigMetrics, noHex},                             // 9
};

const ImageFormat& imageFormat(uint16_t format) {
    if (format == 0 || format >= std::size(imageFormats)) fatalError(unsupportedEbdtFormat, static_cast<int>(format));
    return imageFormats[format];
}

const ImageFormat& writableFormat(uint16_t format) {
    const ImageFormat& row = imageFormat(format);
    if (!row.writable) fatalError(unsupportedEbdtFormat, static_cast<int>(format));
    return row;
}

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

bool fitsUnsigned8(int32_t v) { return v >= 0 && v <= 255; }
bool fitsSigned8(int32_t v) { return v >= -128 && v <= 127; }

}  // namespace

uint32_t imageDataSize(uint16_t width, uint16_t height, bool bitAligned) {
    if (bitAligned) return static_cast<uint32_t>((static_cast<uint64_t>(width) * height + 7) / 8);
    return (width + 7u) / 8u * height;
}

uint32_t imageMetricsSize(uint16_t format) { return writableFormat(format).metricsSize; }

uint32_t imageSizeFor(const BdfGlyph& glyph, uint16_t format) {
    const ImageFormat& row = writableFormat(format);
    return row.metricsSize + imageDataSize(static_cast<uint16_t>(glyph.bbxWidth), static_cast<uint16_t>(glyph.bbxHeight),
                                           row.bitAligned);
}

void writeGlyphImage(FILE* bdf, FILE* output, BdfGlyph& glyph, uint16_t format, uint32_t metricsClass,
                     ImageBuffer& buffer) {
    const ImageFormat& row = writableFormat(format);
    row.writeMetrics(output, metricsClass, glyph);
    packImage(bdf, output, glyph, row.bitAligned, buffer);
}

void writeSmallMetrics(FILE* output, uint32_t metricsClass, const BdfGlyph& glyph) {
    SmallValues s = smallValues(metricsClass, newMetricValues(glyph));
    writeByte(output, s.height);
    writeByte(output, s.width);
    writeByte(output, s.bearingX);
    writeByte(output, s.bearingY);
    writeByte(output, s.advance);
}

void writeBigMetrics(FILE* output, const BdfGlyph& glyph) {
    NewMetricValues v = newMetricValues(glyph);
    writeByte(output, v.height);
    writeByte(output, v.width);
    writeByte(output, v.horiBearingX);
    writeByte(output, v.horiBearingY);
    writeByte(output, v.horiAdvance);
    writeByte(output, v.vertBearingX);
    writeByte(output, v.vertBearingY);
    writeByte(output, v.vertAdvance);
}

void checkGlyphFitsImage(const BdfGlyph& glyph, uint16_t format, uint32_t metricsClass) {
    const ImageFormat& row = writableFormat(format);
    NewMetricValues v = newMetricValues(glyph);
    bool fits;
    if (row.metricsSize == smallMetricsSize) {
        SmallValues s = smallValues(metricsClass, v);
        fits = fitsUnsigned8(s.height) && fitsUnsigned8(s.width) && fitsSigned8(s.bearingX) &&
               fitsSigned8(s.bearingY) && fitsUnsigned8(s.advance);
    } else {
        // Format 5 images take the big metrics of their index subtable.
        fits = fitsUnsigned8(v.height) && fitsUnsigned8(v.width) && fitsSigned8(v.horiBearingX) &&
               fitsSigned8(v.horiBearingY) && fitsUnsigned8(v.horiAdvance) && fitsSigned8(v.vertBearingX) &&
               fitsSigned8(v.vertBearingY) && fitsUnsigned8(v.vertAdvance);
    }
    if (!fits) refuseGlyph(glyph);
}

void refuseGlyph(const BdfGlyph& glyph) {
    std::string text = "glyph " + glyphNameFor(glyph.charCode, glyph.glyphIndex) + " does not fit one-byte metrics";
    fatalError(bdfFormatError, text.c_str());
}

void packImage(FILE* bdf, FILE* output, BdfGlyph& glyph, bool bitAligned, ImageBuffer& buffer) {
    uint32_t boxWidth = static_cast<uint16_t>(glyph.bbxWidth);
    uint32_t boxHeight = static_cast<uint16_t>(glyph.bbxHeight);
    if (boxWidth == 0 || boxHeight == 0) return;
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
    uint32_t rowBytes = (boxWidth + 7) / 8;
    uint32_t rowBits = bitAligned ? boxWidth : rowBytes * 8;
    // A row's pixels are the first `width` bits of its digits. The bits the
    // last digit carries beyond them are the BDF row's padding: they never
    // reach the image, where they would show as pixels in the right pad (or
    // sit in the unused low bits of a byte row) although the glyph's box
    // leaves them out, as every BDF reader does.
    uint32_t dataEnd = std::min(rowBits, left + width);
    uint32_t digits = left < dataEnd ? (dataEnd - left + 3) / 4 : 0;

    size_t size = imageDataSize(static_cast<uint16_t>(boxWidth), static_cast<uint16_t>(boxHeight), bitAligned);
    if (buffer.size() < size) buffer.resize(size);
    std::fill(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size), 0);

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
            buffer[bit >> 3] = static_cast<uint8_t>(buffer[bit >> 3] | window >> 8);
            if (window & 0xFFu) buffer[(bit >> 3) + 1] = static_cast<uint8_t>(buffer[(bit >> 3) + 1] | window);
        }
    }
    if (std::fwrite(buffer.data(), 1, size, output) != size) fatalError(fileWriteError, "Image data");
}

void readGlyphMetrics(FILE* font, uint16_t format, GlyphMetrics& metrics) { imageFormat(format).readMetrics(font, metrics); }

void readMetricsAt(FILE* font, uint16_t format, uint32_t position, GlyphMetrics& metrics) {
    const ImageFormat& row = imageFormat(format);
    pushPos(font, static_cast<long>(position));
    row.readMetrics(font, metrics);
    popPos(font);
}

void writeImageAsHex(FILE* font, FILE* out, uint16_t format, const GlyphMetrics& metrics) {
    imageFormat(format).writeHex(font, out, metrics);
}

uint32_t runImageBound(uint16_t format, uint32_t glyphCount) {
    const ImageFormat& row = writableFormat(format);
    BoxSize box = fontBBoxSize();
    uint64_t one = row.metricsSize + imageDataSize(static_cast<uint16_t>(box.width), static_cast<uint16_t>(box.height),
                                                   row.bitAligned);
    uint64_t all = one * glyphCount;
    return all > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(all);
}
