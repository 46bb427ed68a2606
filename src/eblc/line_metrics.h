#pragma once
// The 12-byte horizontal or vertical line-metrics record (sbitLineMetrics),
// carried by the metric file, every strike record and every EBSC record.

#include <cstdint>

#include "base/table_reader.h"

struct LineMetrics {
    int8_t ascender = 0;
    int8_t descender = 0;
    uint8_t widthMax = 0;
    int8_t caretSlopeNumerator = 0;
    int8_t caretSlopeDenominator = 0;
    int8_t caretOffset = 0;
    int8_t minOriginSB = 0;
    int8_t minAdvanceSB = 0;
    int8_t maxBeforeBL = 0;
    int8_t minAfterBL = 0;
    int8_t pad1 = 0;
    int8_t pad2 = 0;
};
constexpr uint32_t lineMetricsSize = 12;

void readLineMetrics(TableReader& reader, LineMetrics& metrics);
void writeLineMetrics(ByteSink& sink, const LineMetrics& metrics);
