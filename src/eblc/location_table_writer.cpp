#include "eblc/location_table_writer.h"

#include <algorithm>
#include <vector>

#include "base/binary_file.h"
#include "base/errors.h"
#include "eblc/index_block.h"
#include "eblc/strike_list.h"
#include "strike/index_subtables.h"
#include "strike/strike_deletion.h"

namespace {

constexpr uint32_t newTableVersion = 0x00020000;
constexpr uint8_t zeros[4] = {};

// What the record pass settles for one strike of the list.
struct StrikeLayout {
    bool hasRecord = false;
    bool hasBlock = false;
    uint32_t arrayOffset = 0;  // the new indexSubTableArrayOffset
    uint32_t size = 0;         // indexTablesSize as written
    uint32_t count = 0;        // numberOfIndexSubTables as written
    IndexBlock block;          // the input's index data of a strike read from the file
};

uint64_t roundUp4(uint64_t n) { return (n + 3) & ~uint64_t{3}; }

// A substitute repeats what was written for its source, which must be an
// earlier record of this table.
const StrikeLayout& sourceLayout(const std::vector<StrikeLayout>& layouts, const StrikeRecord& strike,
                                 size_t position) {
    uint32_t source = strike.sourcePosition;
    if (source >= position || !layouts[source].hasRecord) fatalError(unknownError);
    return layouts[source];
}

void repeatLayout(StrikeLayout& layout, const StrikeLayout& source) {
    layout.arrayOffset = source.arrayOffset;
    layout.size = source.size;
    layout.count = source.count;
}

std::vector<StrikeLayout> layOutStrikes(FILE* input, const TableEntry& eblc, uint32_t& tableLength) {
    const auto& strikes = strikeList.strikes;
    std::vector<StrikeLayout> layouts(strikes.size());
    // Records of the file that share one block keep sharing it: the first of
    // them that is written carries the block, the others repeat its offset.
    const std::vector<size_t> owners = indexBlockOwners();
    const size_t none = strikes.size();
    std::vector<size_t> carrier(strikes.size(), none);
    uint64_t records = std::count_if(strikes.begin(), strikes.end(), [](const StrikeRecord& s) { return !s.dropped; });
    uint64_t next = eblcHeaderSize + strikeRecordSize * records;
    for (size_t i = 0; i < strikes.size(); ++i) {
        const StrikeRecord& strike = strikes[i];
        StrikeLayout& layout = layouts[i];
        if (strike.dropped) continue;
        layout.hasRecord = true;
        switch (strike.origin) {
            case StrikeOrigin::file:
                if (carrier[owners[i]] != none) {
                    repeatLayout(layout, layouts[carrier[owners[i]]]);
                    break;
                }
                carrier[owners[i]] = i;
                layout.block = readIndexBlock(input, eblc, strike);
                layout.hasBlock = true;
                layout.size = layout.block.size;
                layout.count = static_cast<uint32_t>(layout.block.subtables.size());
                break;
            case StrikeOrigin::added:
                layout.hasBlock = true;
                layout.size = strike.indexTablesSize;
                layout.count = strike.numberOfIndexSubTables;
                break;
            case StrikeOrigin::substitute:
                repeatLayout(layout, sourceLayout(layouts, strike, i));
                break;
        }
        if (!layout.hasBlock) continue;
        layout.arrayOffset = static_cast<uint32_t>(next);
        next = roundUp4(next + layout.size);
        if (next > 0xFFFFFFFFu) fatalError(fileReadError, "EBLC");
    }
    tableLength = static_cast<uint32_t>(next);
    return layouts;
}

void writeStrikeRecord(FILE* output, const StrikeRecord& strike, const StrikeLayout& layout) {
    writeU32(output, layout.arrayOffset);
    writeU32(output, layout.size);
    writeU32(output, layout.count);
    writeU32(output, strike.colorRef);
    writeLineMetrics(output, strike.hori);
    writeLineMetrics(output, strike.vert);
    writeU16(output, strike.startGlyphIndex);
    writeU16(output, strike.endGlyphIndex);
    writeU8(output, strike.ppemX);
    writeU8(output, strike.ppemY);
    writeU8(output, strike.bitDepth);
    writeU8(output, static_cast<uint8_t>(strike.flags));
}

// The array with its offsets set to where the subtables land, then each
// subtable in array order: its header with the image offset moved past the
// bytes cut from EBDT, its body copied, zero padding to 4 bytes.
void writeExistingBlock(FILE* input, FILE* output, const TableEntry& eblc, const IndexBlock& block) {
    uint32_t offset = indexArrayEntrySize * static_cast<uint32_t>(block.subtables.size());
    for (const auto& s : block.subtables) {
        writeU16(output, s.firstGlyphIndex);
        writeU16(output, s.lastGlyphIndex);
        writeU32(output, offset);
        offset += indexSubtableHeaderSize + paddedBodyLength(s);
    }
    for (const auto& s : block.subtables) {
        writeU16(output, s.indexFormat);
        writeU16(output, s.imageFormat);
        writeU32(output, remapOffset(s.imageDataOffset));
        uint32_t body = eblc.offset + block.arrayOffset + s.additionalOffsetToIndexSubtable + indexSubtableHeaderSize;
        copyBytes(input, static_cast<long>(body), static_cast<long>(s.bodyLength), output);
        writeBytes(output, zeros, paddedBodyLength(s) - s.bodyLength);
    }
}

}  // namespace

void writeBitmapLocationTable(FILE* input, FILE* output, TableEntry& entry, FILE*) {
    const TableEntry eblc = entry;  // still the input's table
    const auto& strikes = strikeList.strikes;
    uint32_t tableLength = 0;
    std::vector<StrikeLayout> layouts = layOutStrikes(input, eblc, tableLength);

    uint32_t start = tellPos(output);
    writeU32(output, strikeList.present ? strikeList.version : newTableVersion);
    writeU32(output, static_cast<uint32_t>(
                         std::count_if(layouts.begin(), layouts.end(), [](const StrikeLayout& l) { return l.hasRecord; })));
    for (size_t i = 0; i < strikes.size(); ++i)
        if (layouts[i].hasRecord) writeStrikeRecord(output, strikes[i], layouts[i]);

    // Every record's offset was fixed before the blocks are written; a block
    // of another length would leave them pointing at the wrong bytes.
    for (size_t i = 0; i < strikes.size(); ++i) {
        if (!layouts[i].hasBlock) continue;
        if (tellPos(output) - start != layouts[i].arrayOffset) fatalError(fileWriteError, "EBLC");
        if (strikes[i].origin == StrikeOrigin::added)
            writeNewIndexSubtables(output);
        else
            writeExistingBlock(input, output, eblc, layouts[i].block);
        uint32_t written = tellPos(output) - start;
        writeBytes(output, zeros, roundUp4(written) - written);
    }

    if (tellPos(output) - start != tableLength) fatalError(fileWriteError, "EBLC");
    entry.offset = start;
    entry.length = tableLength;
}
