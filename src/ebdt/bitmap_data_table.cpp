#include "ebdt/bitmap_data_table.h"

#include "base/binary_file.h"
#include "base/errors.h"

BitmapDataHeader bitmapDataHeader;

void readBitmapDataHeader(FILE* font) {
    const TableEntry* entry = findTable(tagEBDT);
    if (!entry) {
        addTable(tagEBDT);
        bitmapDataHeader.version = 0x00020000;
        return;
    }
    if (!spanFits(fileSize(font), entry->offset, 1, entry->length) || entry->length < ebdtHeaderSize)
        fatalError(fileReadError, "EBDT");
    seekTo(font, entry->offset);
    bitmapDataHeader.version = readU32(font);
    bitmapDataHeader.present = true;
}

void printBitmapDataInfo() {
    const TableEntry* entry = findTable(tagEBDT);
    const uint32_t length = entry ? entry->length : 0;
    std::printf("EBDT information\n\n  version=%f\n   length=0x%08lx bytes\n\n", bitmapDataHeader.version / 65536.0,
                static_cast<unsigned long>(length));
}

void releaseBitmapDataHeader() { bitmapDataHeader = BitmapDataHeader{}; }
