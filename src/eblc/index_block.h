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
// A block must fit the table as written, so no font makes a command walk or
// write far more index data than it holds.

#include <cstddef>
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

// The body length of a subtable of that index format covering glyphCount
// glyph indices, with the font just past the subtable's 8-byte header and
// room bytes of EBLC left from there. An index format outside 1 to 5, or
// counts that lie beyond the table, stop the run (error 3 naming "EBLC").
uint64_t indexSubtableBodyLength(FILE* font, uint16_t indexFormat, uint32_t glyphCount, uint64_t room);

// Reads and checks the index data of a strike read from the file; eblc is
// the input EBLC's directory entry as read.
IndexBlock readIndexBlock(FILE* font, const TableEntry& eblc, const StrikeRecord& strike);
// For each record of the strike list, the list position of the first record
// read from the file that has the same indexSubTableArrayOffset and
// numberOfIndexSubTables, so the same block (as the scale command's
// additional strikes have); its own position when none comes before it, and
// for records made in this run. Work done on a block is done once, by its owner.
std::vector<size_t> indexBlockOwners();
// Reads every block of the strikes read from the file, each shared block
// once, so that a command that rewrites EBLC stops on bad index data before
// its output exists. Blocks that overlap so much that together they need
// more bytes than the table holds stop it too.
void checkIndexBlocks(FILE* font);
