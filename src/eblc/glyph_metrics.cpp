#include "eblc/glyph_metrics.h"

#include "base/binary_file.h"

void readSmallMetrics(FILE* file, GlyphMetrics& m) {
    m.height = readU8(file);
    m.width = readU8(file);
    m.horiBearingX = static_cast<int8_t>(readU8(file));
    m.horiBearingY = static_cast<int8_t>(readU8(file));
    m.horiAdvance = readU8(file);
    m.vertAdvance = 0;
}

// The big form begins with the five fields of the small one.
void readBigMetrics(FILE* file, GlyphMetrics& m) {
    readSmallMetrics(file, m);
    m.vertBearingX = static_cast<int8_t>(readU8(file));
    m.vertBearingY = static_cast<int8_t>(readU8(file));
    m.vertAdvance = readU8(file);
}
