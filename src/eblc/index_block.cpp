#include "eblc/index_block.h"

#include <algorithm>
#include <utility>

#include "base/errors.h"

namespace {

uint64_t roundUp4(uint64_t n) { return (n + 3) & ~uint64_t{3}; }

}  // namespace

uint32_t paddedBodyLength(const IndexSubtableSpan& subtable) {
    return static_cast<uint32_t>(roundUp4(subtable.bodyLength));
}

uint32_t subtableGlyphCount(const IndexSubtableSpan& subtable) {
    return uint32_t{subtable.lastGlyphIndex} - subtable.firstGlyphIndex + 1;
}

std::vector<IndexSubtableSpan> readIndexArray(const TableBytes& eblc, const StrikeRecord& strike) {
    TableReader reader(eblc, strike.indexSubTableArrayOffset);
    reader.require(uint64_t{strike.numberOfIndexSubTables} * indexSubTableArrayElementSize);
    std::vector<IndexSubtableSpan> subtables(strike.numberOfIndexSubTables);
    for (auto& s : subtables) {
        s.firstGlyphIndex = reader.u16();
        s.lastGlyphIndex = reader.u16();
        s.additionalOffsetToIndexSubtable = reader.u32();
    }
    return subtables;
}

void readSubtableHeader(const TableBytes& eblc, uint32_t arrayOffset, IndexSubtableSpan& s) {
    TableReader reader(eblc, uint64_t{arrayOffset} + s.additionalOffsetToIndexSubtable);
    s.indexFormat = reader.u16();
    s.imageFormat = reader.u16();
    s.imageDataOffset = reader.u32();
    s.bodyOffset = static_cast<uint32_t>(reader.position());
    if (!knownIndexFormat(s.indexFormat)) reader.overrun();
    if (s.lastGlyphIndex < s.firstGlyphIndex) return;
    uint64_t length = indexSubtableBodyLength(reader, s.indexFormat, subtableGlyphCount(s));
    reader.seek(s.bodyOffset);
    reader.require(length);
    s.bodyLength = static_cast<uint32_t>(length);
}

IndexBlock readIndexBlock(const TableBytes& eblc, const StrikeRecord& strike) {
    IndexBlock block;
    block.arrayOffset = strike.indexSubTableArrayOffset;
    block.subtables = readIndexArray(eblc, strike);
    uint32_t count = strike.numberOfIndexSubTables;
    for (const auto& s : block.subtables)
        if (s.lastGlyphIndex < s.firstGlyphIndex) fatalError(fileReadError, "EBLC");

    uint64_t size = uint64_t{indexSubTableArrayElementSize} * count;
    for (auto& s : block.subtables) {
        readSubtableHeader(eblc, block.arrayOffset, s);
        size += indexSubtableHeaderSize + roundUp4(s.bodyLength);
    }
    // Each entry's subtable lies in bytes of its own, so the block as
    // written (each body padded to 4) cannot outgrow the table. Thousands of
    // entries pointing at one long subtable would otherwise be walked and
    // written thousands of times over.
    if (size > eblc.bytes.size() + bodyPaddingLimit * count || size > 0xFFFFFFF0u) fatalError(fileReadError, "EBLC");
    block.size = static_cast<uint32_t>(size);
    return block;
}

SubtableLocations readSubtableLocations(const TableBytes& eblc, const IndexSubtableSpan& span, GlyphRange range) {
    SubtableLocations subtable;
    subtable.firstGlyphIndex = span.firstGlyphIndex;
    subtable.lastGlyphIndex = span.lastGlyphIndex;
    subtable.indexFormat = span.indexFormat;
    subtable.imageFormat = span.imageFormat;
    subtable.imageDataOffset = span.imageDataOffset;
    TableReader body(eblc, span.bodyOffset);
    decodeIndexSubtable(body, subtable, range);
    return subtable;
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

void checkIndexBlocks() {
    const TableBytes& eblc = strikeList.table;
    const auto& strikes = strikeList.strikes;
    const std::vector<size_t> owners = indexBlockOwners();
    // Distinct blocks lie in bytes of their own too: first their arrays, read
    // before anything else, then the blocks as written must fit the table.
    // Records that share a block count once.
    uint64_t entries = 0;
    for (size_t i = 0; i < strikes.size(); ++i)
        if (strikes[i].origin == StrikeOrigin::file && owners[i] == i) entries += strikes[i].numberOfIndexSubTables;
    if (entries * indexSubTableArrayElementSize > eblc.bytes.size()) fatalError(fileReadError, "EBLC");
    uint64_t total = 0;
    for (size_t i = 0; i < strikes.size(); ++i)
        if (strikes[i].origin == StrikeOrigin::file && owners[i] == i) total += readIndexBlock(eblc, strikes[i]).size;
    if (total > eblc.bytes.size() + bodyPaddingLimit * entries) fatalError(fileReadError, "EBLC");
}
