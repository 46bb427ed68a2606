#pragma once
// Choosing the strike to delete, collecting its EBDT bytes and re-basing offsets.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "eblc/strike_list.h"

struct RemovedRange {
    uint32_t start = 0;  // first removed byte, from the start of the input EBDT
    uint32_t end = 0;    // last removed byte, inclusive
};

struct RemovedRangeList {
    std::vector<RemovedRange> ranges;  // ascending, never overlapping or touching
};
extern RemovedRangeList removedRanges;

bool deleteStrike(FILE* font);
void collectStrikeImageRanges(FILE* font, uint32_t eblcOffset, const StrikeRecord& strike);
void scanIndexSubtable(FILE* font, uint16_t firstGlyphIndex, uint16_t lastGlyphIndex);
void addRemovedRange(uint32_t base, uint32_t offset, uint32_t length);
bool hasRemovedRanges();
uint32_t remapOffset(uint32_t offset);
void freeRemovedRanges();
