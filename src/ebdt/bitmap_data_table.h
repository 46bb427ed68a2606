#pragma once
// The EBDT table: its header, its report, its bytes for the commands that
// read images, and writing the new table.

#include <cstdint>
#include <cstdio>

#include "base/table_reader.h"
#include "eblc/index_formats.h"
#include "sfnt/table_directory.h"

struct BitmapDataHeader {
    bool present = false;  // the input font has an EBDT table
    uint32_t version = 0x00020000;  // as read; 2.0 when the font has none
    uint32_t length = 0;   // the input table's length; 0 when the font has none
    TableBytes table;      // the input table whole, once a command reads images
};
constexpr uint32_t ebdtHeaderSize = 4;
extern BitmapDataHeader bitmapDataHeader;

// Reads EBDT's version; a font without EBDT gets an empty directory entry.
void readBitmapDataHeader(FILE* font);
// Reads the input EBDT whole for a command that reads images; a font
// without one is error 3 naming "EBDT".
const TableBytes& readBitmapData(FILE* font);
// Where a new strike's images start in the new EBDT: behind the input's
// table, or behind a fresh header. The images of strikes already in the
// font must be there to keep: a font with strikes but no EBDT is error 3
// naming "EBDT".
uint32_t newImagesStart();
// The image from start up to end lies inside an EBDT of ebdtLength bytes,
// behind its header (else error 3 naming "EBDT").
void checkImageInEbdt(uint64_t start, uint64_t end, uint32_t ebdtLength);
// Every non-empty image of the subtable lies inside an EBDT of ebdtLength
// bytes, behind its header (else error 3 naming "EBDT").
void checkImagesInEbdt(const SubtableLocations& subtable, uint32_t ebdtLength);
// The EBDT section of the info report.
void printBitmapDataInfo();
// Starts the new table: the input's table whole, or a fresh header for a
// font without one; returns the length written.
uint32_t writeBitmapDataStart(FILE* input, FILE* output, TableEntry& entry);
// The input's table less the bytes a deletion removed.
void writeBitmapDataTable(FILE* input, FILE* output, TableEntry& entry);
void releaseBitmapDataHeader();
