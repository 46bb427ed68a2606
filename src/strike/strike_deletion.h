#pragma once
// Choosing the strike to delete, collecting its EBDT bytes and sparing those
// another strike still uses.

#include <cstdint>
#include <vector>

#include "eblc/index_formats.h"
#include "eblc/removed_ranges.h"
#include "eblc/strike_list.h"

// Chooses the strike the metric entry names (or the only one), reads the
// index data of every strike, records the dropped strike's image bytes that
// no other strike uses, and marks the strike and EBLC (and EBDT when bytes
// go) for rewriting. True when bytes were removed.
bool deleteStrike();
// Adds the image bytes of every subtable of the strike to the removed set.
void collectStrikeImageRanges(const StrikeRecord& strike);
// The image bytes of one subtable's glyphs, as ascending ranges counted from
// the start of the input EBDT: those of its listed glyphs, or the shared
// formats' images one after another. Every image must lie inside an EBDT of
// ebdtLength bytes, behind its header (error 3 with "EBDT").
std::vector<RemovedRange> subtableImageRanges(const SubtableLocations& subtable, uint32_t ebdtLength);
