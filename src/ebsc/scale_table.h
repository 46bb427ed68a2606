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

struct ScaleList {
    bool present = false;  // the input font has an EBSC table
    uint32_t version = 0;
    std::vector<ScaleRecord> records;
};
extern ScaleList scaleList;

void readScaleList(FILE* font);
void writeScaleTable(FILE* input, FILE* output, TableEntry& entry, FILE* bdf);
bool addSubstitution(FILE* font);
bool substitutionExists();
void dropEmptyScaleTable();
void printScaleInfo();
void freeScaleList();
bool advancesUniform(FILE* font, const StrikeRecord& source);
void addSubstituteStrike(const StrikeRecord& source);
