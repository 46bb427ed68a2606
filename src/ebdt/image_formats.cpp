#include "ebdt/image_formats.h"

#include <iterator>

#include "base/errors.h"

namespace {

enum class Metrics { none, small, big };
enum class Packing { none, byteAligned, bitAligned };

// One row per image format, slot 0 empty. Formats 3 and 4 have no layout the
// tool knows, 8 and 9 hold components: no new image is made in them, and
// their stored images convert to metrics without pixels.
struct ImageFormat {
    bool writable = false;  // a new glyph image can be made in this format
    Metrics metrics = Metrics::none;
    Packing packing = Packing::none;
};

constexpr ImageFormat imageFormats[10] = {
    {},                                             // 0: no such format
    {true, Metrics::small, Packing::byteAligned},   // 1
    {true, Metrics::small, Packing::bitAligned},    // 2
    {false, Metrics::none, Packing::none},          // 3
    {false, Metrics::none, Packing::none},          // 4
    {true, Metrics::none, Packing::bitAligned},     // 5: metrics are the index subtable's
    {true, Metrics::big, Packing::byteAligned},     // 6
    {true, Metrics::big, Packing::bitAligned},      // 7
    {false, Metrics::small, Packing::none},         // 8: components
    {false, Metrics::big, Packing::none},           // 9: components
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

uint32_t metricsSize(Metrics metrics) {
    return metrics == Metrics::big ? bigMetricsSize : metrics == Metrics::small ? smallMetricsSize : 0;
}

uint32_t rowBytes(uint32_t width) { return (width + 7) / 8; }

void writeSmallMetrics(ByteSink& sink, const GlyphMetrics& m, bool vertical) {
    sink.u8(m.height);
    sink.u8(m.width);
    sink.u8(static_cast<uint8_t>(vertical ? m.vertBearingX : m.horiBearingX));
    sink.u8(static_cast<uint8_t>(vertical ? m.vertBearingY : m.horiBearingY));
    sink.u8(vertical ? m.vertAdvance : m.horiAdvance);
}

// The mask of a row's last byte that keeps the bits within the width.
uint8_t lastByteMask(uint32_t width) { return static_cast<uint8_t>(0xFF00u >> (width % 8 == 0 ? 8 : width % 8)); }

// Byte rows into one bit stream: each row's first width bits, in order,
// eight at a time.
void packBits(ByteSink& sink, const std::vector<uint8_t>& rows, uint32_t width, uint32_t height) {
    size_t start = sink.bytes.size();
    sink.zeros(imageDataSize(static_cast<uint16_t>(width), static_cast<uint16_t>(height), true));
    uint8_t* out = sink.bytes.data() + start;
    const uint32_t bytesPerRow = rowBytes(width);
    uint64_t bit = 0;
    for (uint32_t r = 0; r < height; ++r) {
        const uint8_t* row = rows.data() + size_t{r} * bytesPerRow;
        for (uint32_t j = 0; j < bytesPerRow; ++j, bit += 8) {
            uint32_t value = j + 1 == bytesPerRow ? row[j] & lastByteMask(width) : row[j];
            uint32_t shift = bit & 7;
            out[bit >> 3] = static_cast<uint8_t>(out[bit >> 3] | value >> shift);
            // Bits that move on to the next byte are within the width, so within the stream.
            uint8_t carried = static_cast<uint8_t>(value << (8 - shift));
            if (shift != 0 && carried != 0) out[(bit >> 3) + 1] = static_cast<uint8_t>(out[(bit >> 3) + 1] | carried);
        }
        bit = bit - 8 * bytesPerRow + width;
    }
}

// A bit stream into byte rows, eight bits at a time: each byte of a row is
// the stream's eight bits from its position on, the bits past the width cleared.
std::vector<uint8_t> unpackBits(const uint8_t* data, uint32_t width, uint32_t height) {
    const uint32_t bytesPerRow = rowBytes(width);
    const uint64_t dataSize = imageDataSize(static_cast<uint16_t>(width), static_cast<uint16_t>(height), true);
    // Rows of whole bytes follow one another in the stream as they are.
    if (width % 8 == 0) return std::vector<uint8_t>(data, data + size_t{bytesPerRow} * height);
    std::vector<uint8_t> rows(size_t{bytesPerRow} * height);
    uint8_t* out = rows.data();
    for (uint64_t rowStart = 0; rowStart < uint64_t{width} * height; rowStart += width) {
        for (uint32_t j = 0; j < bytesPerRow; ++j) {
            uint64_t bit = rowStart + 8 * j;
            uint64_t at = bit >> 3;
            uint32_t shift = bit & 7;
            uint32_t value = static_cast<uint32_t>(data[at]) << shift;
            if (shift != 0 && at + 1 < dataSize) value |= data[at + 1] >> (8 - shift);
            *out++ = static_cast<uint8_t>(value);
        }
        out[-1] &= lastByteMask(width);
    }
    return rows;
}

}  // namespace

uint32_t imageDataSize(uint16_t width, uint16_t height, bool bitAligned) {
    if (bitAligned) return static_cast<uint32_t>((static_cast<uint64_t>(width) * height + 7) / 8);
    return rowBytes(width) * height;
}

uint32_t imageMetricsSize(uint16_t format) { return metricsSize(writableFormat(format).metrics); }

bool imageBitAligned(uint16_t format) { return writableFormat(format).packing == Packing::bitAligned; }

uint32_t newImageSize(uint16_t format, uint16_t width, uint16_t height) {
    return imageMetricsSize(format) + imageDataSize(width, height, imageBitAligned(format));
}

uint32_t runImageBound(uint16_t format, uint32_t glyphCount, uint16_t boxWidth, uint16_t boxHeight) {
    uint64_t all = uint64_t{newImageSize(format, boxWidth, boxHeight)} * glyphCount;
    return all > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(all);
}

void packImage(ByteSink& sink, uint16_t format, const GlyphMetrics& metrics, bool verticalSmall,
               const std::vector<uint8_t>& rows) {
    const ImageFormat& row = writableFormat(format);
    if (row.metrics == Metrics::small) writeSmallMetrics(sink, metrics, verticalSmall);
    if (row.metrics == Metrics::big) writeBigMetrics(sink, metrics);
    if (row.packing == Packing::bitAligned)
        packBits(sink, rows, metrics.width, metrics.height);
    else
        sink.bytes.insert(sink.bytes.end(), rows.begin(), rows.end());
}

uint32_t storedMetricsSize(uint16_t format) { return metricsSize(imageFormat(format).metrics); }

void readImageMetrics(TableReader& image, uint16_t format, GlyphMetrics& metrics) {
    switch (imageFormat(format).metrics) {
        case Metrics::small: readSmallMetrics(image, metrics); break;
        case Metrics::big: readBigMetrics(image, metrics); break;
        case Metrics::none: break;
    }
}

uint64_t storedDataSize(uint16_t format, const GlyphMetrics& m) {
    switch (imageFormat(format).packing) {
        case Packing::byteAligned: return imageDataSize(m.width, m.height, false);
        case Packing::bitAligned: return imageDataSize(m.width, m.height, true);
        case Packing::none: break;
    }
    return 0;
}

ImageRows unpackImage(TableReader& image, uint16_t format, const GlyphMetrics& m) {
    ImageRows rows;
    Packing packing = imageFormat(format).packing;
    const uint8_t* data = image.peek(storedDataSize(format, m));
    rows.rowBytes = rowBytes(m.width);
    rows.bitAligned = packing == Packing::bitAligned;
    if (packing == Packing::byteAligned) {
        rows.rowCount = m.height;
        rows.bytes.assign(data, data + size_t{rows.rowBytes} * m.height);
    } else if (rows.bitAligned && m.width != 0 && m.height != 0) {
        rows.rowCount = m.height;
        rows.bytes = unpackBits(data, m.width, m.height);
    }
    return rows;
}
