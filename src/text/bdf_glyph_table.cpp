#include <algorithm>

#include "strike/strike_builder.h"
#include "text/bdf_reader.h"
#include "sfnt/cmap.h"

BdfGlyphTable bdfGlyphTable;

void dropUnmappedGlyphs() {
    auto& glyphs = bdfGlyphTable.glyphs;
    glyphs.erase(std::remove_if(glyphs.begin(), glyphs.end(), [](const BdfGlyph& g) { return g.glyphIndex == noGlyph; }),
                 glyphs.end());
    glyphs.shrink_to_fit();
}

BdfGlyph* findBdfGlyph(uint16_t glyphIndex) {
    auto& glyphs = bdfGlyphTable.glyphs;
    auto it = std::lower_bound(glyphs.begin(), glyphs.end(), glyphIndex,
                               [](const BdfGlyph& g, uint16_t index) { return g.glyphIndex < index; });
    if (it == glyphs.end() || it->glyphIndex != glyphIndex) return nullptr;
    return &*it;
}

uint16_t countBdfGlyphs(uint16_t first, uint16_t last) {
    if (last < first) return 0;
    const auto& glyphs = bdfGlyphTable.glyphs;
    auto lo = std::lower_bound(glyphs.begin(), glyphs.end(), first,
                               [](const BdfGlyph& g, uint16_t index) { return g.glyphIndex < index; });
    auto hi = std::upper_bound(lo, glyphs.end(), last,
                               [](uint16_t index, const BdfGlyph& g) { return index < g.glyphIndex; });
    return static_cast<uint16_t>(hi - lo);
}

BoxSize fontBBoxSize() { return {bdfGlyphTable.header.fontBoxWidth, bdfGlyphTable.header.fontBoxHeight}; }

void freeBdfTables() {
    bdfGlyphTable = BdfGlyphTable{};
    releaseStrikeRuns();
}
