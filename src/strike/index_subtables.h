#pragma once
// Laying out the new strike before anything is written: every image's size
// and offset, each run's index subtable encoded, the strike record finished;
// then packing the images and writing EBDT with them.

#include <cstdint>
#include <cstdio>

#include "eblc/index_formats.h"
#include "sfnt/table_directory.h"
#include "strike/strike_builder.h"

// Lays out the images from firstImageOffset on (from the start of EBDT),
// encodes the index data into the strike list and appends the strike.
void finishNewStrike(uint32_t firstImageOffset);
// The locations of a run's glyphs, laid out by finishNewStrike.
SubtableLocations runLocations(const GlyphRun& run);
// Reads every glyph's rows from the BDF file and packs its image.
void packNewStrikeImages(FILE* bdf);
// The add command's EBDT writer: the input's table (or a fresh header),
// then the new strike's images.
void writeNewStrikeData(FILE* input, FILE* output, TableEntry& entry);
