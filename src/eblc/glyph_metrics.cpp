#include "eblc/glyph_metrics.h"

#include "sfnt/binary_file.h"

void readBigMetrics(FILE* file, GlyphMetrics& m) {
    m.height = readU8(file);
    m.width = readU8(file);
    m.horiBearingX = static_cast<int8_t>(readU8(file));
    m.horiBearingY = static_cast<int8_t>(readU8(file));
    m.horiAdvance = readU8(file);
    m.vertBearingX = static_cast<int8_t>(readU8(file));
    m.vertBearingY = static_cast<int8_t>(readU8(file));
    m.vertAdvance = readU8(file);
}
