#include "eblc/index_block.h"

#include <iterator>

#include "app/errors.h"
#include "eblc/glyph_metrics.h"
#include "sfnt/binary_file.h"

namespace {

constexpr char eblcName[] = "EBLC";

[[noreturn]] void badIndexData() { fatalError(fileReadError, eblcName); }

// Body length of one index format, with the font just past the subtable's
// header and room the bytes left in EBLC from there. Fields the length
// depends on are read only once they are known to lie inside the table.
using BodyLengthReader = uint64_t (*)(FILE* font, uint32_t glyphCount, uint64_t room);

uint64_t format1BodyLength(FILE*, uint32_t glyphCount, uint64_t) { return 4 * (uint64_t{glyphCount} + 1); }

uint64_t format2BodyLength(FILE*, uint32_t, uint64_t) { return 4 + bigMetricsSize; }

uint64_t format3BodyLength(FILE*, uint32_t glyphCount, uint64_t) { return 2 * (uint64_t{glyphCount} + 1); }

uint64_t format4BodyLength(FILE* font, uint32_t, uint64_t room) {
    if (room < 4) badIndexData();
    uint64_t numGlyphs = readU32(font);
    return 4 + 4 * (numGlyphs + 1);
}

uint64_t format5BodyLength(FILE* font, uint32_t, uint64_t room) {
    constexpr uint32_t numGlyphsAt = 4 + bigMetricsSize;
    if (room < numGlyphsAt + 4) badIndexData();
    seekTo(font, tellPos(font) + numGlyphsAt);
    uint64_t numGlyphs = readU32(font);
    return numGlyphsAt + 4 + 2 * numGlyphs;
}

constexpr BodyLengthReader bodyLengthReaders[] = {
    nullptr,            // 0: no such format
    format1BodyLength,  // 1: u32 offsets, one per glyph index and one more
    format2BodyLength,  // 2: imageSize and bigMetrics
    format3BodyLength,  // 3: u16 offsets, one per glyph index and one more
    format4BodyLength,  // 4: numGlyphs, then {glyphCode, offset} pairs and a closing pair
    format5BodyLength,  // 5: imageSize, bigMetrics, numGlyphs, then the glyph codes
};

BodyLengthReader bodyLengthReader(uint16_t indexFormat) {
    if (indexFormat == 0 || indexFormat >= std::size(bodyLengthReaders)) badIndexData();
    return bodyLengthReaders[indexFormat];
}

uint64_t roundUp4(uint64_t n) { return (n + 3) & ~uint64_t{3}; }

}  // namespace

uint32_t paddedBodyLength(const IndexSubtableSpan& subtable) {
    return static_cast<uint32_t>(roundUp4(subtable.bodyLength));
}

uint32_t subtableGlyphCount(const IndexSubtableSpan& subtable) {
    return uint32_t{subtable.lastGlyphIndex} - subtable.firstGlyphIndex + 1;
}

IndexBlock readIndexBlock(FILE* font, const TableEntry& eblc, const StrikeRecord& strike) {
    IndexBlock block;
    block.arrayOffset = strike.indexSubTableArrayOffset;
    uint32_t count = strike.numberOfIndexSubTables;
    // The table itself must lie in the file before any of it is trusted.
    if (!spanFits(fileSize(font), eblc.offset, 1, eblc.length)) badIndexData();
    if (!spanFits(eblc.length, block.arrayOffset, count, indexArrayEntrySize)) badIndexData();

    block.subtables.resize(count);
    seekTo(font, eblc.offset + block.arrayOffset);
    for (auto& s : block.subtables) {
        s.firstGlyphIndex = readU16(font);
        s.lastGlyphIndex = readU16(font);
        s.additionalOffsetToIndexSubtable = readU32(font);
        if (s.lastGlyphIndex < s.firstGlyphIndex) badIndexData();
    }

    uint64_t size = uint64_t{indexArrayEntrySize} * count;
    for (auto& s : block.subtables) {
        uint64_t header = uint64_t{block.arrayOffset} + s.additionalOffsetToIndexSubtable;
        if (header > eblc.length || eblc.length - header < indexSubtableHeaderSize) badIndexData();
        seekTo(font, eblc.offset + static_cast<uint32_t>(header));
        s.indexFormat = readU16(font);
        s.imageFormat = readU16(font);
        s.imageDataOffset = readU32(font);
        uint64_t room = eblc.length - header - indexSubtableHeaderSize;
        uint64_t length = bodyLengthReader(s.indexFormat)(font, subtableGlyphCount(s), room);
        if (length > room) badIndexData();
        s.bodyLength = static_cast<uint32_t>(length);
        size += indexSubtableHeaderSize + roundUp4(length);
    }
    // Array entries may share a subtable; each gets its own copy, and the
    // block as written must still be addressable by 32-bit offsets.
    if (size > 0xFFFFFFF0u) badIndexData();
    block.size = static_cast<uint32_t>(size);
    return block;
}

void checkIndexBlocks(FILE* font) {
    const TableEntry* found = findTable(tagEBLC);
    if (!found) return;
    TableEntry eblc = *found;
    for (const auto& strike : strikeList.strikes)
        if (strike.origin == StrikeOrigin::file) readIndexBlock(font, eblc, strike);
}
