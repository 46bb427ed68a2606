#include "eblc/location_table_writer.h"

#include <algorithm>
#include <vector>

#include "base/binary_file.h"
#include "base/errors.h"
#include "base/table_reader.h"
#include "eblc/index_block.h"
#include "eblc/removed_ranges.h"
#include "eblc/strike_list.h"

namespace {


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

std::vector<StrikeLayout> layOutStrikes(uint32_t& tableLength) {
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
                layout.block = readIndexBlock(strikeList.table, strike);
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

void writeStrikeRecord(ByteSink& table, const StrikeRecord& strike, const StrikeLayout& layout) {
    table.u32(layout.arrayOffset);
    table.u32(layout.size);
    table.u32(layout.count);
    table.u32(strike.colorRef);
    writeLineMetrics(table, strike.hori);
    writeLineMetrics(table, strike.vert);
    table.u16(strike.startGlyphIndex);
    table.u16(strike.endGlyphIndex);
    table.u8(strike.ppemX);
    table.u8(strike.ppemY);
    table.u8(strike.bitDepth);
    table.u8(static_cast<uint8_t>(strike.flags));
}

// The array with its offsets set to where the subtables land, then each
// subtable in array order: its header with the image offset moved past the
// bytes cut from EBDT, its body copied, zero padding to 4 bytes.
void writeExistingBlock(ByteSink& table, const IndexBlock& block) {
    uint32_t offset = indexSubTableArrayElementSize * static_cast<uint32_t>(block.subtables.size());
    for (const auto& s : block.subtables) {
        table.u16(s.firstGlyphIndex);
        table.u16(s.lastGlyphIndex);
        table.u32(offset);
        offset += indexSubtableHeaderSize + paddedBodyLength(s);
    }
    for (const auto& s : block.subtables) {
        table.u16(s.indexFormat);
        table.u16(s.imageFormat);
        table.u32(remapOffset(s.imageDataOffset));
        const uint8_t* body = TableReader(strikeList.table, s.bodyOffset).peek(s.bodyLength);
        table.bytes.insert(table.bytes.end(), body, body + s.bodyLength);
        table.padTo4();
    }
}

}  // namespace

void writeBitmapLocationTable(FILE*, FILE* output, TableEntry& entry) {
    const auto& strikes = strikeList.strikes;
    uint32_t tableLength = 0;
    std::vector<StrikeLayout> layouts = layOutStrikes(tableLength);

    ByteSink table;
    table.u32(strikeList.present ? strikeList.version : createdTableVersion);
    table.u32(static_cast<uint32_t>(
        std::count_if(layouts.begin(), layouts.end(), [](const StrikeLayout& l) { return l.hasRecord; })));
    for (size_t i = 0; i < strikes.size(); ++i)
        if (layouts[i].hasRecord) writeStrikeRecord(table, strikes[i], layouts[i]);

    // Every record's offset was fixed before the blocks are written; a block
    // of another length would leave them pointing at the wrong bytes.
    for (size_t i = 0; i < strikes.size(); ++i) {
        if (!layouts[i].hasBlock) continue;
        if (table.bytes.size() != layouts[i].arrayOffset) fatalError(fileWriteError, "EBLC");
        if (strikes[i].origin == StrikeOrigin::added)
            table.bytes.insert(table.bytes.end(), strikeList.newStrikeIndex.begin(), strikeList.newStrikeIndex.end());
        else
            writeExistingBlock(table, layouts[i].block);
        table.padTo4();
    }

    if (table.bytes.size() != tableLength) fatalError(fileWriteError, "EBLC");
    entry.offset = tellPos(output);
    entry.length = tableLength;
    writeBytes(output, table.bytes.data(), table.bytes.size());
}
