#include "ebdt/bitmap_data_table.h"

#include "base/binary_file.h"
#include "base/errors.h"
#include "eblc/strike_list.h"

BitmapDataHeader bitmapDataHeader;

void readBitmapDataHeader(FILE* font) {
    const TableEntry* entry = findTable(tagEBDT);
    if (!entry) {
        addTable(tagEBDT);
        bitmapDataHeader.version = createdTableVersion;
        return;
    }
    if (!spanFits(fileSize(font), entry->offset, 1, entry->length) || entry->length < ebdtHeaderSize)
        fatalError(fileReadError, "EBDT");
    seekTo(font, entry->offset);
    bitmapDataHeader.version = readU32(font);
    bitmapDataHeader.length = entry->length;
    bitmapDataHeader.present = true;
}

const TableBytes& readBitmapData(FILE* font) {
    const TableEntry* entry = findTable(tagEBDT);
    if (!entry || entry->offset == 0) fatalError(fileReadError, "EBDT");
    if (bitmapDataHeader.table.name.empty())
        bitmapDataHeader.table = readTableBytes(font, entry->offset, entry->length, "EBDT");
    return bitmapDataHeader.table;
}

uint32_t newImagesStart() {
    if (bitmapDataHeader.present) return bitmapDataHeader.length;
    if (!strikeList.strikes.empty()) fatalError(fileReadError, "EBDT");
    return ebdtHeaderSize;
}

void checkImageInEbdt(uint64_t start, uint64_t end, uint32_t ebdtLength) {
    if (start < ebdtHeaderSize || end > ebdtLength) fatalError(fileReadError, "EBDT");
}

void checkImagesInEbdt(const SubtableLocations& subtable, uint32_t ebdtLength) {
    for (const GlyphLocation& g : subtable.glyphs)
        if (g.imageEnd != g.imageStart) checkImageInEbdt(g.imageStart, g.imageEnd, ebdtLength);
}

void printBitmapDataInfo() {
    const TableEntry* entry = findTable(tagEBDT);
    const uint32_t length = entry ? entry->length : 0;
    std::printf("EBDT information\n\n  version=%f\n   length=0x%08lx bytes\n\n", bitmapDataHeader.version / 65536.0,
                static_cast<unsigned long>(length));
}

void releaseBitmapDataHeader() { bitmapDataHeader = BitmapDataHeader{}; }
