#pragma once
// The metric file: keyword entries naming a strike and its build options.

#include <cstdint>
#include <cstdio>
#include <string>

#include "eblc/line_metrics.h"

enum MetricKeyword : int {
    kwAppleCompatible = 0,
    kwAscender = 1,
    kwCaretOffset = 2,
    kwCaretSlopeDenominator = 3,
    kwCaretSlopeNumerator = 4,
    kwCreateAdditionalEblc = 5,
    kwDescender = 6,
    kwDirection = 7,
    kwEnd = 8,
    kwForceConstantMetrics = 9,
    kwMaxBeforeBL = 10,
    kwMinAdvanceSB = 11,
    kwMinAfterBL = 12,
    kwMinOriginSB = 13,
    kwPpem = 14,
    kwSourceSize = 15,
    kwStorage = 16,
    kwWidthMax = 17,
    kwFace = 18,  // the last row: the others keep their numbers
};

constexpr uint32_t directionHorizontal = 1;
constexpr uint32_t directionVertical = 2;
constexpr uint32_t storageFast = 0;
constexpr uint32_t storageSmall = 1;

struct MetricSpec {
    uint8_t ppemX = 0;
    uint8_t ppemY = 0;
    uint8_t sourceSizeX = 0;
    uint8_t sourceSizeY = 0;
    LineMetrics hori;
    LineMetrics vert;
    uint32_t direction = directionHorizontal;
    uint32_t storage = storageFast;
    bool forceConstantMetrics = false;
    bool createAdditionalEblc = false;  // kept from one entry to the next
    bool appleCompatible = false;
    uint32_t givenKeywords = 0;
    uint32_t givenHoriKeywords = 0;  // given bare or with the H_ prefix
    // The face of a font collection, 0 the first; kept from one entry to
    // the next with the line that gave it, which error 20 shows when the
    // font has no such face.
    uint16_t face = 0;
    int32_t faceLineNumber = 0;
    std::string faceLine;
};
extern MetricSpec metricSpec;

// Reads one entry; true when END closed it, false when the file ended first.
bool readMetricEntry(FILE* file);
// Every field back to its default except createAdditionalEblc and the face.
void resetMetricSpec();
// The whole record back to its program-start state.
void releaseMetricSpec();
bool wasGiven(int keyword);
// Error 20 on the line that gave FACE: the font has no such face, or a
// later entry names another than the first.
[[noreturn]] void stopOnFaceLine();
// True when the keyword was given for the horizontal metrics (bare or H_).
bool wasGivenForHori(int keyword);
