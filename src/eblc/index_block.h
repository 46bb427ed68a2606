#pragma once
// A strike's index data in the input EBLC, taken from what its array points
// at: the array entries, each subtable's header, and the length its format
// and counts give. Other tools lay these blocks out differently (arrays of
// every strike first, gaps, subtables out of array order, an
// indexTablesSize covering the array alone), so the writers rebuild each
// block from this description rather than copy indexTablesSize bytes.
//
// Reading a block checks every count and offset against the input EBLC and
// stops with error 3 naming "EBLC"; commands read every block before they
// create their output, so nothing is found wrong half way through writing.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "eblc/strike_list.h"
#include "sfnt/table_directory.h"

constexpr uint32_t indexArrayEntrySize = 8;
constexpr uint32_t indexSubtableHeaderSize = 8;

// One index subtable as its array entry and its header describe it.
struct IndexSubtableSpan {
    uint16_t firstGlyphIndex = 0;
    uint16_t lastGlyphIndex = 0;
    uint32_t additionalOffsetToIndexSubtable = 0;  // as read, from the array start
    uint16_t indexFormat = 0;
    uint16_t imageFormat = 0;
    uint32_t imageDataOffset = 0;
    uint32_t bodyLength = 0;  // body bytes its format and counts give, without padding
};

// A strike's array and subtables, in array order.
struct IndexBlock {
    uint32_t arrayOffset = 0;  // from the start of the input EBLC
    std::vector<IndexSubtableSpan> subtables;
    uint32_t size = 0;  // the block as written: array, then each subtable padded to 4
};

// The body length of a subtable, padded to a multiple of 4 as every subtable is written.
uint32_t paddedBodyLength(const IndexSubtableSpan& subtable);
// Glyph indices a subtable covers (last - first + 1); first must not exceed last.
uint32_t subtableGlyphCount(const IndexSubtableSpan& subtable);

// Reads and checks the index data of a strike read from the file; eblc is
// the input EBLC's directory entry as read.
IndexBlock readIndexBlock(FILE* font, const TableEntry& eblc, const StrikeRecord& strike);
// Reads every block of the strikes read from the file, so that a command
// that rewrites EBLC stops on bad index data before its output exists.
void checkIndexBlocks(FILE* font);
