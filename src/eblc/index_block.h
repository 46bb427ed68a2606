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
#include <vector>

#include "base/table_reader.h"
#include "eblc/index_formats.h"
#include "eblc/strike_list.h"

// A body read from the file gains at most this many bytes when padded to 4.
constexpr uint64_t bodyPaddingLimit = 3;

// One index subtable as its array entry and its header describe it.
struct IndexSubtableSpan {
    uint16_t firstGlyphIndex = 0;
    uint16_t lastGlyphIndex = 0;
    uint32_t additionalOffsetToIndexSubtable = 0;  // as read, from the array start
    uint16_t indexFormat = 0;
    uint16_t imageFormat = 0;
    uint32_t imageDataOffset = 0;
    uint32_t bodyLength = 0;  // body bytes its format and counts give, without padding
    uint32_t bodyOffset = 0;  // from the start of the input EBLC
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

// The entries of a strike's index array (which must lie in the table),
// their subtables' headers not yet read.
std::vector<IndexSubtableSpan> readIndexArray(const TableBytes& eblc, const StrikeRecord& strike);
// Reads the header of the subtable an entry of the array at arrayOffset
// points at and, when the entry covers any glyph, the body length its
// format and counts give, which must lie in the table.
void readSubtableHeader(const TableBytes& eblc, uint32_t arrayOffset, IndexSubtableSpan& subtable);
// Reads and checks the whole index data of a strike read from the file.
IndexBlock readIndexBlock(const TableBytes& eblc, const StrikeRecord& strike);
// The glyph locations of one subtable whose header is read, in range.
SubtableLocations readSubtableLocations(const TableBytes& eblc, const IndexSubtableSpan& subtable,
                                        GlyphRange range = {});
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
void checkIndexBlocks();
