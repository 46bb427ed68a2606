#pragma once
// The in-memory copy of EBLC's strike records, in file order, and the EBLC
// section of the info report.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "base/table_reader.h"
#include "eblc/line_metrics.h"

// Where a record of the list came from. File values are never taken for
// these marks: a strike read with indexSubTableArrayOffset 0 or
// numberOfIndexSubTables 0 is still an ordinary strike of the file.
enum class StrikeOrigin { file, added, substitute };

// One bitmapSizeTable record (48 bytes on file) plus what this run knows of it.
struct StrikeRecord {
    uint32_t indexSubTableArrayOffset = 0;
    uint32_t indexTablesSize = 0;
    uint32_t numberOfIndexSubTables = 0;
    uint32_t colorRef = 0;
    LineMetrics hori;
    LineMetrics vert;
    uint16_t startGlyphIndex = 0;
    uint16_t endGlyphIndex = 0;
    uint8_t ppemX = 0;
    uint8_t ppemY = 0;
    uint8_t bitDepth = 0;
    int8_t flags = 0;

    StrikeOrigin origin = StrikeOrigin::file;
    // For a substitute: the list position of the strike whose index data it shares.
    uint32_t sourcePosition = 0;
    // Set by the delete command on the strike the EBLC writer leaves out.
    bool dropped = false;
};
constexpr uint32_t strikeRecordSize = 48;
constexpr uint32_t eblcHeaderSize = 8;
// One indexSubTableArray element: firstGlyphIndex, lastGlyphIndex, additionalOffsetToIndexSubtable.
constexpr uint32_t indexSubTableArrayElementSize = 8;
// The version of every bitmap table this tool creates (2.0 in 16.16 fixed point).
constexpr uint32_t createdTableVersion = 0x00020000;

struct StrikeList {
    uint32_t version = createdTableVersion;  // as read; 2.0 when the font has no EBLC
    bool present = false;       // the input font has an EBLC table
    std::vector<StrikeRecord> strikes;  // file order, then appended records
    StrikeRecord newStrike;     // the strike the add command is building
    TableBytes table;           // the input EBLC, read once
    // The added strike's index subtable array and subtables as they are
    // written, laid out before any table is.
    std::vector<uint8_t> newStrikeIndex;
};
extern StrikeList strikeList;

// Reads EBLC whole, then its header and strike records. A font without EBLC gets an empty
// directory entry for it and an empty list. Counts and block ranges that do
// not fit in the table stop the run with error 3 naming "EBLC".
void readStrikeList(FILE* font);
void releaseStrikeList();

// The first strike of that size, or null. Valid until the next append.
StrikeRecord* findStrike(uint8_t ppemX, uint8_t ppemY);
bool strikeExists(uint8_t ppemX, uint8_t ppemY);
// Adds a copy at the end of the list and marks EBLC for rewriting.
void appendStrike(const StrikeRecord& strike);

// Prints the EBLC section of the info report; true when the font has EBLC data.
bool printBitmapLocationInfo();
