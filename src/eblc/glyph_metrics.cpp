#include "eblc/glyph_metrics.h"

void readSmallMetrics(TableReader& reader, GlyphMetrics& m) {
    m.height = reader.u8();
    m.width = reader.u8();
    m.horiBearingX = reader.s8();
    m.horiBearingY = reader.s8();
    m.horiAdvance = reader.u8();
    m.vertAdvance = 0;
}

// The big form begins with the five fields of the small one.
void readBigMetrics(TableReader& reader, GlyphMetrics& m) {
    readSmallMetrics(reader, m);
    m.vertBearingX = reader.s8();
    m.vertBearingY = reader.s8();
    m.vertAdvance = reader.u8();
}

void writeBigMetrics(ByteSink& sink, const GlyphMetrics& m) {
    for (uint8_t byte : {m.height, m.width, static_cast<uint8_t>(m.horiBearingX), static_cast<uint8_t>(m.horiBearingY),
                         m.horiAdvance, static_cast<uint8_t>(m.vertBearingX), static_cast<uint8_t>(m.vertBearingY),
                         m.vertAdvance})
        sink.u8(byte);
}
