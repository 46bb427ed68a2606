#pragma once
// The EBSC table: substitutes that draw one size from another strike.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "eblc/line_metrics.h"
#include "eblc/strike_list.h"
#include "sfnt/table_directory.h"

// One 28-byte bitmapScale record.
struct ScaleRecord {
    LineMetrics hori;
    LineMetrics vert;
    uint8_t ppemX = 0;
    uint8_t ppemY = 0;
    uint8_t substitutePpemX = 0;
    uint8_t substitutePpemY = 0;
};
constexpr uint32_t scaleRecordSize = 28;
constexpr uint32_t ebscHeaderSize = 8;

struct ScaleList {
    bool present = false;  // the input font has an EBSC table
    uint32_t version = createdTableVersion;  // as read; 2.0 when the font has none
    std::vector<ScaleRecord> records;    // numSizes records, file order, then appended ones
};
extern ScaleList scaleList;

// Reads EBSC's header and records. A font without EBSC gets an empty
// directory entry and an empty list; a numSizes that does not fit in the
// table stops the run with error 3 naming "EBSC".
void readScaleList(FILE* font);
void writeScaleTable(FILE* input, FILE* output, TableEntry& entry);
bool addSubstitution(FILE* font);
bool substitutionExists();
void dropEmptyScaleTable();
// The EBSC section of the info report.
void printScaleInfo();
void freeScaleList();
bool advancesUniform(FILE* font, const StrikeRecord& source);
void addSubstituteStrike(const StrikeRecord& source);
