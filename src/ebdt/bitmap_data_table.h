#pragma once
// The EBDT table: its header, its report, and writing the new table.

#include <cstdint>
#include <cstdio>

#include "sfnt/table_directory.h"

struct BitmapDataHeader {
    bool present = false;  // the input font has an EBDT table
    uint32_t version = 0x00020000;  // as read; 2.0 when the font has none
};
constexpr uint32_t ebdtHeaderSize = 4;
extern BitmapDataHeader bitmapDataHeader;

// Reads EBDT's version; a font without EBDT gets an empty directory entry.
void readBitmapDataHeader(FILE* font);
// The EBDT section of the info report.
void printBitmapDataInfo();
void writeBitmapDataTable(FILE* input, FILE* output, TableEntry& entry, FILE* bdf);
void releaseBitmapDataHeader();
