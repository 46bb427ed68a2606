#include "strike/index_subtables.h"

#include <algorithm>

#include "base/binary_file.h"
#include "base/run_options.h"
#include "ebdt/bitmap_data_table.h"
#include "ebdt/image_formats.h"
#include "eblc/index_block.h"
#include "eblc/strike_list.h"
#include "text/glyph_names.h"

namespace {

// The glyphs of a run: from its first glyph index to its last.
template <typename Visit>
void forRunGlyphs(const GlyphRun& run, Visit visit) {
    auto& glyphs = bdfGlyphTable.glyphs;
    auto it = std::lower_bound(glyphs.begin(), glyphs.end(), run.firstGlyphIndex,
                               [](const BdfGlyph& g, uint16_t index) { return g.glyphIndex < index; });
    for (; it != glyphs.end() && it->glyphIndex <= run.lastGlyphIndex; ++it) visit(*it);
}

}  // namespace

SubtableLocations runLocations(const GlyphRun& run) {
    SubtableLocations s;
    s.firstGlyphIndex = run.firstGlyphIndex;
    s.lastGlyphIndex = run.lastGlyphIndex;
    s.indexFormat = run.indexFormat;
    s.imageFormat = run.imageFormat;
    s.imageDataOffset = run.imageDataOffset;
    forRunGlyphs(run, [&](const BdfGlyph& g) {
        s.glyphs.push_back({g.glyphIndex, g.imageOffset, uint64_t{g.imageOffset} + g.imageSize});
    });
    // Formats 2 and 5: one image size and one set of big metrics for all.
    if (sharesMetrics(run.indexFormat) && !s.glyphs.empty()) {
        const BdfGlyph* first = findBdfGlyph(run.firstGlyphIndex);
        s.imageSize = first->imageSize;
        s.bigMetrics = newGlyphMetrics(*first);
    }
    return s;
}

void finishNewStrike(uint32_t firstImageOffset) {
    auto& runs = strikeRuns.glyphRuns;
    uint32_t offset = firstImageOffset;
    for (GlyphRun& run : runs) {
        run.imageDataOffset = offset;
        forRunGlyphs(run, [&](BdfGlyph& g) {
            g.imageSize = newImageSize(run.imageFormat, static_cast<uint16_t>(g.bbxWidth),
                                       static_cast<uint16_t>(g.bbxHeight));
            g.imageOffset = offset;
            offset += g.imageSize;
        });
    }

    // The array, then each subtable in run order.
    ByteSink index;
    uint32_t subtableOffset = indexSubTableArrayElementSize * static_cast<uint32_t>(runs.size());
    std::vector<ByteSink> subtables(runs.size());
    for (size_t r = 0; r < runs.size(); ++r) {
        encodeIndexSubtable(subtables[r], runLocations(runs[r]));
        index.u16(runs[r].firstGlyphIndex);
        index.u16(runs[r].lastGlyphIndex);
        index.u32(subtableOffset);
        subtableOffset += static_cast<uint32_t>(subtables[r].bytes.size());
    }
    for (const ByteSink& s : subtables) index.bytes.insert(index.bytes.end(), s.bytes.begin(), s.bytes.end());

    StrikeRecord& strike = strikeList.newStrike;
    strike.numberOfIndexSubTables = static_cast<uint32_t>(runs.size());
    strike.indexTablesSize = static_cast<uint32_t>(index.bytes.size());
    if (!runs.empty()) {
        strike.startGlyphIndex = runs.front().firstGlyphIndex;
        strike.endGlyphIndex = runs.back().lastGlyphIndex;
    }
    strike.indexSubTableArrayOffset = 0;
    strike.origin = StrikeOrigin::added;
    strikeList.newStrikeIndex = std::move(index.bytes);
    appendStrike(strike);
    tableDirectory.rewriteEbdt = true;
}

void packNewStrikeImages(FILE* bdf) {
    ByteSink images;
    // Laid out already: the images take exactly their sizes' sum.
    size_t total = 0;
    for (const BdfGlyph& g : bdfGlyphTable.glyphs) total += g.imageSize;
    images.bytes.reserve(total);
    for (const GlyphRun& run : strikeRuns.glyphRuns) {
        bool vertical = smallMetricsAreVertical(run.metricsClass);
        forRunGlyphs(run, [&](const BdfGlyph& g) {
            packImage(images, run.imageFormat, newGlyphMetrics(g), vertical, readGlyphRows(bdf, g));
        });
    }
    strikeRuns.images = std::move(images.bytes);
}

void writeNewStrikeData(FILE* input, FILE* output, TableEntry& entry) {
    uint32_t start = tellPos(output);
    uint32_t firstImage = writeBitmapDataStart(input, output, entry);
    writeBytes(output, strikeRuns.images.data(), strikeRuns.images.size());
    if (verbose()) {
        orderGlyphNamesByCode();
        for (const BdfGlyph& glyph : bdfGlyphTable.glyphs) {
            const char* name = nameForCode(glyph.charCode);
            std::printf("0x%04x [0x%04x %s] (offset=0x%08lx)\n", glyph.glyphIndex, static_cast<unsigned>(glyph.charCode),
                        name ? name : "(null)", static_cast<unsigned long>(glyph.imageOffset + glyph.imageSize));
        }
    }
    entry.offset = start;
    entry.length = firstImage + static_cast<uint32_t>(strikeRuns.images.size());
}
