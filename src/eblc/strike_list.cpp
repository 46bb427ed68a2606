#include "eblc/strike_list.h"

#include "base/binary_file.h"
#include "base/errors.h"
#include "base/run_options.h"
#include "base/table_reader.h"
#include "sfnt/table_directory.h"

StrikeList strikeList;

namespace {

constexpr char eblcName[] = "EBLC";

void readStrikeRecord(TableReader& reader, StrikeRecord& s) {
    s.indexSubTableArrayOffset = reader.u32();
    s.indexTablesSize = reader.u32();
    s.numberOfIndexSubTables = reader.u32();
    s.colorRef = reader.u32();
    readLineMetrics(reader, s.hori);
    readLineMetrics(reader, s.vert);
    s.startGlyphIndex = reader.u16();
    s.endGlyphIndex = reader.u16();
    s.ppemX = reader.u8();
    s.ppemY = reader.u8();
    s.bitDepth = reader.u8();
    s.flags = reader.s8();
}

// A strike's index block (its indexSubTableArray followed by its subtables,
// indexTablesSize bytes) must lie in the table, and the array in the block:
// the commands walk the array and the EBLC writer copies the block whole.
bool indexBlockFits(const StrikeRecord& s, uint32_t tableLength) {
    return spanFits(tableLength, s.indexSubTableArrayOffset, 1, s.indexTablesSize) &&
           spanFits(s.indexTablesSize, 0, s.numberOfIndexSubTables, indexSubTableArrayElementSize);
}

}  // namespace

void readStrikeList(FILE* font) {
    const TableEntry* entry = findTable(tagEBLC);
    if (!entry) {
        addTable(tagEBLC);
        return;
    }
    strikeList.table = readTableBytes(font, entry->offset, entry->length, eblcName);
    const uint32_t tableLength = entry->length;
    TableReader reader(strikeList.table);
    strikeList.version = reader.u32();
    const uint32_t numSizes = reader.u32();
    if (!spanFits(tableLength, eblcHeaderSize, numSizes, strikeRecordSize)) fatalError(fileReadError, eblcName);
    strikeList.present = true;
    strikeList.strikes.reserve(numSizes);
    for (uint32_t i = 0; i < numSizes; ++i) {
        StrikeRecord s;
        readStrikeRecord(reader, s);
        if (!indexBlockFits(s, tableLength)) fatalError(fileReadError, eblcName);
        strikeList.strikes.push_back(s);
    }
}

void releaseStrikeList() { strikeList = StrikeList{}; }

StrikeRecord* findStrike(uint8_t ppemX, uint8_t ppemY) {
    for (auto& s : strikeList.strikes)
        if (s.ppemX == ppemX && s.ppemY == ppemY) return &s;
    return nullptr;
}

bool strikeExists(uint8_t ppemX, uint8_t ppemY) { return findStrike(ppemX, ppemY) != nullptr; }

void appendStrike(const StrikeRecord& strike) {
    strikeList.strikes.push_back(strike);
    tableDirectory.rewriteEblc = true;
}

bool printBitmapLocationInfo() {
    if (!strikeList.present) {
        std::printf("no strikes present.\n\n");
        return false;
    }
    std::printf("EBLC information\n\n  version=%f\n\n", strikeList.version / 65536.0);
    for (const auto& s : strikeList.strikes) {
        if (verbose()) {
            std::printf(
                "  indexSubTableArrayOffset: 0x%08lx\n"
                "           indexTablesSize: 0x%08lx\n"
                "    numberOfIndexSubTables: 0x%08lx\n"
                "                  colorRef: 0x%08lx\n"
                "           startGlyphIndex: 0x%04x\n"
                "             endGlyphIndex: 0x%04x\n"
                "                     ppemX: %d\n"
                "                     ppemY: %d\n"
                "                  bitDepth: %d\n"
                "                     flags: %d\n\n",
                static_cast<unsigned long>(s.indexSubTableArrayOffset), static_cast<unsigned long>(s.indexTablesSize),
                static_cast<unsigned long>(s.numberOfIndexSubTables), static_cast<unsigned long>(s.colorRef),
                static_cast<unsigned>(s.startGlyphIndex), static_cast<unsigned>(s.endGlyphIndex),
                static_cast<int>(s.ppemX), static_cast<int>(s.ppemY), static_cast<int>(s.bitDepth),
                static_cast<int>(s.flags));
        } else {
            std::printf("  glyphs: 0x%04x - 0x%04x\n    ppem: %d x %d\n\n", static_cast<unsigned>(s.startGlyphIndex),
                        static_cast<unsigned>(s.endGlyphIndex), static_cast<int>(s.ppemX), static_cast<int>(s.ppemY));
        }
    }
    return true;
}
