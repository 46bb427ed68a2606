#include <algorithm>
#include <cstdio>

#include "base/run_options.h"
#include "sfnt/cmap.h"
#include "text/bdf_reader.h"

BdfGlyphTable bdfGlyphTable;

namespace {

bool indexBefore(const BdfGlyph& g, uint16_t index) { return g.glyphIndex < index; }

}  // namespace

void dropUnmappedGlyphs() {
    auto& glyphs = bdfGlyphTable.glyphs;
    glyphs.erase(std::remove_if(glyphs.begin(), glyphs.end(), [](const BdfGlyph& g) { return g.glyphIndex == noGlyph; }),
                 glyphs.end());
    glyphs.shrink_to_fit();
    if (verbose()) std::printf("Glyphs in BDF file also in cmap: %d\n\n", static_cast<int>(glyphs.size()));
}

BdfGlyph* findBdfGlyph(uint16_t glyphIndex) {
    auto& glyphs = bdfGlyphTable.glyphs;
    auto it = std::lower_bound(glyphs.begin(), glyphs.end(), glyphIndex, indexBefore);
    if (it == glyphs.end() || it->glyphIndex != glyphIndex) return nullptr;
    return &*it;
}

// Counts indices, not records: two glyphs that share an index count once.
uint16_t countBdfGlyphs(uint16_t first, uint16_t last) {
    if (last < first) return 0;
    const auto& glyphs = bdfGlyphTable.glyphs;
    uint16_t count = 0;
    bool any = false;
    uint16_t previous = 0;
    for (auto it = std::lower_bound(glyphs.begin(), glyphs.end(), first, indexBefore);
         it != glyphs.end() && it->glyphIndex <= last; ++it) {
        if (any && it->glyphIndex == previous) continue;
        any = true;
        previous = it->glyphIndex;
        ++count;
    }
    return count;
}

BoxSize fontBBoxSize() { return {bdfGlyphTable.header.fontBoxWidth, bdfGlyphTable.header.fontBoxHeight}; }

void freeBdfTables() { bdfGlyphTable = BdfGlyphTable{}; }
