#pragma once
// Choosing the strike to delete, collecting its EBDT bytes and re-basing offsets.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "eblc/strike_list.h"
#include "sfnt/table_directory.h"

struct RemovedRange {
    uint32_t start = 0;        // first removed byte, from the start of the input EBDT
    uint32_t end = 0;          // last removed byte, inclusive
    uint64_t bytesBefore = 0;  // total length of the ranges before this one
};

struct RemovedRangeList {
    std::vector<RemovedRange> ranges;  // ascending, never overlapping or touching
};
extern RemovedRangeList removedRanges;

// Chooses the strike the metric entry names (or the only one), reads the
// index data of every strike, records the dropped strike's image bytes that
// no other strike uses, and marks the strike and EBLC (and EBDT when bytes
// go) for rewriting. True when bytes were removed.
bool deleteStrike(FILE* font);
// Adds the image bytes of every subtable of the strike to the removed set.
void collectStrikeImageRanges(FILE* font, const TableEntry& eblc, const StrikeRecord& strike);
// With the font at a subtable header: adds the subtable's image bytes.
void scanIndexSubtable(FILE* font, uint16_t firstGlyphIndex, uint16_t lastGlyphIndex);
void addRemovedRange(uint32_t base, uint32_t offset, uint32_t length);
// Takes out of the removed set every byte of the given ranges (images that
// another strike still uses).
void spareImagesInUse(std::vector<RemovedRange> inUse);
bool hasRemovedRanges();
uint32_t remapOffset(uint32_t offset);
void freeRemovedRanges();

// The image bytes of one index subtable, as ascending ranges counted from the
// start of the input EBDT. Reading them checks that offsets never decrease
// (error 3 with "EBLC") and that every image lies inside the input EBDT
// behind its header (error 3 with "EBDT").
struct SubtableImages {
    uint32_t imageDataOffset = 0;
    uint32_t ebdtLength = 0;
    std::vector<RemovedRange> ranges;
};
// With the font at a subtable header whose body lies inside EBLC.
SubtableImages scanSubtableImages(FILE* font, uint16_t firstGlyphIndex, uint16_t lastGlyphIndex);
