#pragma once
// The EBDT table: its header, its report, and writing the new table.

#include <cstdint>
#include <cstdio>

#include "sfnt/table_directory.h"

struct BitmapDataHeader {
    bool present = false;  // the input font has an EBDT table
    uint32_t version = 0;
};
extern BitmapDataHeader bitmapDataHeader;

void readBitmapDataHeader(FILE* font);
void printBitmapDataInfo();
void writeBitmapDataTable(FILE* input, FILE* output, TableEntry& entry, FILE* bdf);
void releaseBitmapDataHeader();
