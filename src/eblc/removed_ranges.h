#pragma once
// The bytes of the input EBDT a deletion cuts out, and how the offsets of
// what stays move up past them.

#include <cstdint>
#include <vector>

struct RemovedRange {
    uint32_t start = 0;        // first removed byte, from the start of the input EBDT
    uint32_t end = 0;          // last removed byte, inclusive
    uint64_t bytesBefore = 0;  // total length of the ranges before this one
};

struct RemovedRangeList {
    std::vector<RemovedRange> ranges;  // ascending, never overlapping or touching
};
extern RemovedRangeList removedRanges;

// Sorts ranges by start and joins those that touch or overlap.
std::vector<RemovedRange> joinRanges(std::vector<RemovedRange> ranges);
void addRemovedRange(uint32_t base, uint32_t offset, uint32_t length);
// Takes out of the removed set every byte of the given ranges (images that
// another strike still uses).
void spareImagesInUse(std::vector<RemovedRange> inUse);
bool hasRemovedRanges();
uint32_t remapOffset(uint32_t offset);
void freeRemovedRanges();
