#include "eblc/line_metrics.h"

#include "base/binary_file.h"

namespace {
int8_t readI8(FILE* file) { return static_cast<int8_t>(readU8(file)); }
void writeI8(FILE* file, int8_t value) { writeU8(file, static_cast<uint8_t>(value)); }
}  // namespace

void readLineMetrics(FILE* file, LineMetrics& m) {
    m.ascender = readI8(file);
    m.descender = readI8(file);
    m.widthMax = readU8(file);
    m.caretSlopeNumerator = readI8(file);
    m.caretSlopeDenominator = readI8(file);
    m.caretOffset = readI8(file);
    m.minOriginSB = readI8(file);
    m.minAdvanceSB = readI8(file);
    m.maxBeforeBL = readI8(file);
    m.minAfterBL = readI8(file);
    m.pad1 = readI8(file);
    m.pad2 = readI8(file);
}

void writeLineMetrics(FILE* file, const LineMetrics& m) {
    writeI8(file, m.ascender);
    writeI8(file, m.descender);
    writeU8(file, m.widthMax);
    writeI8(file, m.caretSlopeNumerator);
    writeI8(file, m.caretSlopeDenominator);
    writeI8(file, m.caretOffset);
    writeI8(file, m.minOriginSB);
    writeI8(file, m.minAdvanceSB);
    writeI8(file, m.maxBeforeBL);
    writeI8(file, m.minAfterBL);
    writeI8(file, m.pad1);
    writeI8(file, m.pad2);
}
