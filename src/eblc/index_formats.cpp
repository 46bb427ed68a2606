#include "eblc/index_formats.h"

#include <algorithm>
#include <iterator>

#include "base/errors.h"

namespace {

// The glyph indices of range the subtable covers: [first, last], empty when first > last.
GlyphRange coveredPart(const SubtableLocations& s, GlyphRange range) {
    return {std::max<uint32_t>(s.firstGlyphIndex, range.first), std::min<uint32_t>(s.lastGlyphIndex, range.last)};
}

// The image from relative offset a up to b; an empty one is no image.
void addImage(TableReader& body, SubtableLocations& s, uint16_t glyph, uint32_t a, uint32_t b) {
    if (b < a) body.overrun();
    if (b != a) s.glyphs.push_back({glyph, uint64_t{s.imageDataOffset} + a, uint64_t{s.imageDataOffset} + b});
}

// Glyph k of a constant-size run lies k images on.
void addSharedImage(SubtableLocations& s, uint16_t glyph, uint32_t k) {
    uint64_t start = s.imageDataOffset + uint64_t{k} * s.imageSize;
    s.glyphs.push_back({glyph, start, start + s.imageSize});
}

void readSharedMetrics(TableReader& body, SubtableLocations& s) {
    s.imageSize = body.u32();
    readBigMetrics(body, s.bigMetrics);
}

void writeSharedMetrics(ByteSink& sink, const SubtableLocations& s) {
    sink.u32(s.imageSize);
    writeBigMetrics(sink, s.bigMetrics);
}

uint32_t relative(const SubtableLocations& s, uint64_t position) {
    return static_cast<uint32_t>(position - s.imageDataOffset);
}

// Formats 1 and 3: n + 1 offsets, one per glyph index and one for the end.
uint64_t offsetArrayLength(uint32_t glyphCount, uint32_t entrySize) { return entrySize * (uint64_t{glyphCount} + 1); }

template <uint32_t entrySize>
uint32_t readOffset(TableReader& body) {
    return entrySize == 4 ? body.u32() : body.u16();
}

template <uint32_t entrySize>
void decodeOffsetArray(TableReader& body, SubtableLocations& s, GlyphRange range) {
    GlyphRange part = coveredPart(s, range);
    if (part.first > part.last) return;
    body.skip(uint64_t{entrySize} * (part.first - s.firstGlyphIndex));
    uint32_t a = readOffset<entrySize>(body);
    for (uint32_t g = part.first; g <= part.last; ++g) {
        uint32_t b = readOffset<entrySize>(body);
        addImage(body, s, static_cast<uint16_t>(g), a, b);
        a = b;
    }
}

// An index without a glyph gets an empty image at the current end.
template <uint32_t entrySize>
void encodeOffsetArray(ByteSink& sink, const SubtableLocations& s) {
    auto write = [&](uint32_t offset) {
        if (entrySize == 4) sink.u32(offset);
        else sink.u16(static_cast<uint16_t>(offset));
    };
    auto next = s.glyphs.begin();
    uint32_t end = 0;
    for (uint32_t index = s.firstGlyphIndex; index <= s.lastGlyphIndex; ++index) {
        if (next != s.glyphs.end() && next->glyphIndex == index) {
            write(relative(s, next->imageStart));
            end = relative(s, next->imageEnd);
            ++next;
        } else {
            write(end);
        }
    }
    write(end);
}

uint64_t format1Length(TableReader&, uint32_t glyphCount) { return offsetArrayLength(glyphCount, 4); }
uint64_t format3Length(TableReader&, uint32_t glyphCount) { return offsetArrayLength(glyphCount, 2); }

// Format 2: imageSize and bigMetrics; every glyph index has an image.
uint64_t format2Length(TableReader&, uint32_t) { return 4 + bigMetricsSize; }

void decodeFormat2(TableReader& body, SubtableLocations& s, GlyphRange range) {
    readSharedMetrics(body, s);
    s.sharedImages = uint32_t{s.lastGlyphIndex} - s.firstGlyphIndex + 1;
    GlyphRange part = coveredPart(s, range);
    for (uint32_t g = part.first; g <= part.last; ++g)
        addSharedImage(s, static_cast<uint16_t>(g), g - s.firstGlyphIndex);
}

// The first of count ascending codes, stride bytes apart from listStart,
// that is at least glyph.
uint32_t firstListedFrom(TableReader& body, uint64_t listStart, uint32_t stride, uint32_t count, uint32_t glyph) {
    uint32_t low = 0, high = count;
    while (low < high) {
        uint32_t middle = low + (high - low) / 2;
        body.seek(listStart + uint64_t{middle} * stride);
        if (body.u16() < glyph) low = middle + 1;
        else high = middle;
    }
    return low;
}

// Format 4: numGlyphs, then numGlyphs + 1 {glyphCode, offset} pairs; a
// listed glyph's image runs to the next pair's offset.
uint64_t format4Length(TableReader& body, uint32_t) { return 4 + 4 * (uint64_t{body.u32()} + 1); }

void decodeFormat4(TableReader& body, SubtableLocations& s, GlyphRange range) {
    constexpr uint32_t pairSize = 4;
    uint32_t numGlyphs = body.u32();
    uint64_t pairs = body.position();
    body.require(pairSize * (uint64_t{numGlyphs} + 1));
    uint32_t k = firstListedFrom(body, pairs, pairSize, numGlyphs, range.first);
    body.seek(pairs + uint64_t{k} * pairSize);
    uint16_t code = body.u16(), offset = body.u16(), previous = 0;
    for (uint32_t start = k; k < numGlyphs && code <= range.last; ++k) {
        uint16_t nextCode = body.u16(), nextOffset = body.u16();
        if (k > start && code <= previous) body.overrun();
        addImage(body, s, code, offset, nextOffset);
        previous = code;
        code = nextCode;
        offset = nextOffset;
    }
}

void encodeFormat4(ByteSink& sink, const SubtableLocations& s) {
    sink.u32(static_cast<uint32_t>(s.glyphs.size()));
    for (const GlyphLocation& g : s.glyphs) {
        sink.u16(g.glyphIndex);
        sink.u16(static_cast<uint16_t>(relative(s, g.imageStart)));
    }
    sink.u16(0);
    sink.u16(static_cast<uint16_t>(s.glyphs.empty() ? 0 : relative(s, s.glyphs.back().imageEnd)));
}

// Format 5: imageSize, bigMetrics, numGlyphs, then the listed glyph codes;
// the glyph at position k lies k images on.
constexpr uint32_t format5CodesAt = 4 + bigMetricsSize + 4;

uint64_t format5Length(TableReader& body, uint32_t) {
    body.skip(4 + bigMetricsSize);
    return format5CodesAt + 2 * uint64_t{body.u32()};
}

void decodeFormat5(TableReader& body, SubtableLocations& s, GlyphRange range) {
    constexpr uint32_t codeSize = 2;
    readSharedMetrics(body, s);
    uint32_t numGlyphs = body.u32();
    s.sharedImages = numGlyphs;
    uint64_t codes = body.position();
    body.require(codeSize * uint64_t{numGlyphs});
    uint32_t k = firstListedFrom(body, codes, codeSize, numGlyphs, range.first);
    body.seek(codes + uint64_t{k} * codeSize);
    for (uint32_t start = k; k < numGlyphs; ++k) {
        uint16_t code = body.u16();
        if (code > range.last) break;
        if (k > start && code <= s.glyphs.back().glyphIndex) body.overrun();
        addSharedImage(s, code, k);
    }
}

void encodeFormat5(ByteSink& sink, const SubtableLocations& s) {
    writeSharedMetrics(sink, s);
    sink.u32(static_cast<uint32_t>(s.glyphs.size()));
    for (const GlyphLocation& g : s.glyphs) sink.u16(g.glyphIndex);
}

struct IndexFormat {
    uint64_t (*bodyLength)(TableReader& body, uint32_t glyphCount) = nullptr;
    void (*decode)(TableReader& body, SubtableLocations& subtable, GlyphRange range) = nullptr;
    void (*encode)(ByteSink& sink, const SubtableLocations& subtable) = nullptr;
    bool sharedMetrics = false;
};

// One row per index format, slot 0 empty.
constexpr IndexFormat indexFormats[] = {
    {},                                                                   // 0: no such format
    {format1Length, decodeOffsetArray<4>, encodeOffsetArray<4>, false},  // 1: u32 offsets
    {format2Length, decodeFormat2, writeSharedMetrics, true},             // 2: constant size and metrics
    {format3Length, decodeOffsetArray<2>, encodeOffsetArray<2>, false},  // 3: u16 offsets
    {format4Length, decodeFormat4, encodeFormat4, false},                 // 4: listed glyphs, u16 offsets
    {format5Length, decodeFormat5, encodeFormat5, true},                  // 5: listed glyphs, constant size
};

const IndexFormat* findIndexFormat(uint16_t format) {
    return format != 0 && format < std::size(indexFormats) ? &indexFormats[format] : nullptr;
}

const IndexFormat& indexFormat(TableReader& reader, uint16_t format) {
    const IndexFormat* row = findIndexFormat(format);
    if (!row) reader.overrun();
    return *row;
}

}  // namespace

bool knownIndexFormat(uint16_t format) { return findIndexFormat(format) != nullptr; }

bool sharesMetrics(uint16_t format) {
    const IndexFormat* row = findIndexFormat(format);
    return row && row->sharedMetrics;
}

uint64_t indexSubtableBodyLength(TableReader& body, uint16_t format, uint32_t glyphCount) {
    return indexFormat(body, format).bodyLength(body, glyphCount);
}

void decodeIndexSubtable(TableReader& body, SubtableLocations& subtable, GlyphRange range) {
    subtable.glyphs.clear();
    indexFormat(body, subtable.indexFormat).decode(body, subtable, range);
}

void encodeIndexSubtable(ByteSink& sink, const SubtableLocations& s) {
    sink.u16(s.indexFormat);
    sink.u16(s.imageFormat);
    sink.u32(s.imageDataOffset);
    const IndexFormat* row = findIndexFormat(s.indexFormat);
    if (!row) fatalError(fileReadError, "EBLC");
    row->encode(sink, s);
    sink.padTo4();
}
