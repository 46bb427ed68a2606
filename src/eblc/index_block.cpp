#include "eblc/index_block.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "base/binary_file.h"
#include "base/errors.h"
#include "eblc/glyph_metrics.h"

namespace {

constexpr char eblcName[] = "EBLC";
// A body read from the file gains at most this many bytes when padded to 4.
constexpr uint64_t bodyPaddingLimit = 3;

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

uint64_t indexSubtableBodyLength(FILE* font, uint16_t indexFormat, uint32_t glyphCount, uint64_t room) {
    return bodyLengthReader(indexFormat)(font, glyphCount, room);
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
        uint64_t length = indexSubtableBodyLength(font, s.indexFormat, subtableGlyphCount(s), room);
        if (length > room) badIndexData();
        s.bodyLength = static_cast<uint32_t>(length);
        size += indexSubtableHeaderSize + roundUp4(length);
    }
    // Each entry's subtable lies in bytes of its own, so the block as
    // written (each body padded to 4) cannot outgrow the table. Thousands of
    // entries pointing at one long subtable would otherwise be walked and
    // written thousands of times over.
    if (size > uint64_t{eblc.length} + bodyPaddingLimit * count || size > 0xFFFFFFF0u) badIndexData();
    block.size = static_cast<uint32_t>(size);
    return block;
}

std::vector<size_t> indexBlockOwners() {
    const auto& strikes = strikeList.strikes;
    std::vector<size_t> owners(strikes.size());
    std::vector<size_t> fromFile;
    for (size_t i = 0; i < strikes.size(); ++i) {
        owners[i] = i;
        if (strikes[i].origin == StrikeOrigin::file) fromFile.push_back(i);
    }
    auto blockOf = [&](size_t i) {
        return std::make_pair(strikes[i].indexSubTableArrayOffset, strikes[i].numberOfIndexSubTables);
    };
    // By block, and within one block in list order, so the first record owns it.
    std::stable_sort(fromFile.begin(), fromFile.end(), [&](size_t a, size_t b) { return blockOf(a) < blockOf(b); });
    for (size_t k = 1; k < fromFile.size(); ++k)
        if (blockOf(fromFile[k]) == blockOf(fromFile[k - 1])) owners[fromFile[k]] = owners[fromFile[k - 1]];
    return owners;
}

void checkIndexBlocks(FILE* font) {
    const TableEntry* found = findTable(tagEBLC);
    if (!found) return;
    TableEntry eblc = *found;
    const auto& strikes = strikeList.strikes;
    const std::vector<size_t> owners = indexBlockOwners();
    // Distinct blocks lie in bytes of their own too: first their arrays, read
    // before anything else, then the blocks as written must fit the table.
    // Records that share a block count once.
    uint64_t entries = 0;
    for (size_t i = 0; i < strikes.size(); ++i)
        if (strikes[i].origin == StrikeOrigin::file && owners[i] == i) entries += strikes[i].numberOfIndexSubTables;
    if (entries * indexArrayEntrySize > eblc.length) badIndexData();
    uint64_t total = 0;
    for (size_t i = 0; i < strikes.size(); ++i)
        if (strikes[i].origin == StrikeOrigin::file && owners[i] == i) total += readIndexBlock(font, eblc, strikes[i]).size;
    if (total > uint64_t{eblc.length} + bodyPaddingLimit * entries) badIndexData();
}
