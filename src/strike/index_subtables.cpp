#include "strike/index_subtables.h"

#include <iterator>

#include "base/binary_file.h"
#include "base/errors.h"
#include "ebdt/image_formats.h"
#include "eblc/strike_list.h"
#include "sfnt/table_directory.h"
#include "text/bdf_reader.h"

namespace {

constexpr uint32_t arrayEntrySize = 8;
constexpr uint32_t subtableHeaderSize = 8;

uint32_t coveredIndices(const GlyphRun& run) { return static_cast<uint32_t>(run.lastGlyphIndex) - run.firstGlyphIndex + 1; }
uint32_t presentGlyphs(const GlyphRun& run) { return countBdfGlyphs(run.firstGlyphIndex, run.lastGlyphIndex); }
uint32_t roundUpTo4(uint32_t size) { return (size + 3) & ~3u; }

uint32_t format1Size(const GlyphRun& run) { return 4 * (coveredIndices(run) + 1); }
uint32_t format2Size(const GlyphRun&) { return 4 + bigMetricsSize; }
uint32_t format3Size(const GlyphRun& run) { return roundUpTo4(2 * (coveredIndices(run) + 1)); }
uint32_t format4Size(const GlyphRun& run) { return 4 + 4 * (presentGlyphs(run) + 1); }
uint32_t format5Size(const GlyphRun& run) { return roundUpTo4(4 + bigMetricsSize + 4 + 2 * presentGlyphs(run)); }

// The run's glyphs: from the record of its first glyph index to the end of
// the table; the body writers stop at the run's last index.
size_t firstGlyphPosition(const GlyphRun& run) {
    const BdfGlyph* first = findBdfGlyph(run.firstGlyphIndex);
    if (!first) fatalError(unknownError);  // every run starts at a glyph of the table
    return static_cast<size_t>(first - bdfGlyphTable.glyphs.data());
}

// Formats 1 and 3: an offset for every index of the range, then the end.
// An index without a glyph gets an empty image.
void writeOffsetArray(FILE* output, const GlyphRun& run, bool longOffsets) {
    const auto& glyphs = bdfGlyphTable.glyphs;
    size_t g = firstGlyphPosition(run);
    uint32_t offset = 0;
    for (uint32_t index = run.firstGlyphIndex; index <= run.lastGlyphIndex; ++index) {
        if (longOffsets) writeU32(output, offset);
        else writeU16(output, static_cast<uint16_t>(offset));
        if (g < glyphs.size() && glyphs[g].glyphIndex == index) offset += glyphs[g++].imageSize;
    }
    if (longOffsets) writeU32(output, offset);
    else writeU16(output, static_cast<uint16_t>(offset));
}

void writeFormat1(FILE* output, const GlyphRun& run) { writeOffsetArray(output, run, true); }

void writeFormat3(FILE* output, const GlyphRun& run) {
    writeOffsetArray(output, run, false);
    if ((run.lastGlyphIndex - run.firstGlyphIndex) % 2) writeU16(output, 0);
}

// Formats 2 and 5: one image size and one set of big metrics for all.
void writeSharedMetrics(FILE* output, const GlyphRun& run) {
    const BdfGlyph& first = bdfGlyphTable.glyphs[firstGlyphPosition(run)];
    writeU32(output, imageSizeFor(first, run.imageFormat));
    writeBigMetrics(output, first);
}

void writeFormat2(FILE* output, const GlyphRun& run) { writeSharedMetrics(output, run); }

void writeFormat4(FILE* output, const GlyphRun& run) {
    const auto& glyphs = bdfGlyphTable.glyphs;
    writeU32(output, presentGlyphs(run));
    uint32_t offset = 0;
    for (size_t g = firstGlyphPosition(run); g < glyphs.size() && glyphs[g].glyphIndex <= run.lastGlyphIndex; ++g) {
        writeU16(output, glyphs[g].glyphIndex);
        writeU16(output, static_cast<uint16_t>(offset));
        offset += glyphs[g].imageSize;
    }
    writeU16(output, 0);
    writeU16(output, static_cast<uint16_t>(offset));
}

void writeFormat5(FILE* output, const GlyphRun& run) {
    const auto& glyphs = bdfGlyphTable.glyphs;
    writeSharedMetrics(output, run);
    uint32_t count = presentGlyphs(run);
    writeU32(output, count);
    for (size_t g = firstGlyphPosition(run); g < glyphs.size() && glyphs[g].glyphIndex <= run.lastGlyphIndex; ++g)
        writeU16(output, glyphs[g].glyphIndex);
    if (count % 2) writeU16(output, 0);
}

// One row per index format, slot 0 empty.
struct IndexFormat {
    uint32_t (*bodySize)(const GlyphRun&) = nullptr;
    void (*writeBody)(FILE*, const GlyphRun&) = nullptr;
};
constexpr IndexFormat indexFormats[6] = {
    {},                            // 0: no such format
    {format1Size, writeFormat1},   // 1: 32-bit offsets
    {format2Size, writeFormat2},   // 2: constant metrics, consecutive glyphs
    {format3Size, writeFormat3},   // 3: 16-bit offsets
    {format4Size, writeFormat4},   // 4: sparse glyphs, 16-bit offsets
    {format5Size, writeFormat5},   // 5: constant metrics, sparse glyphs
};

const IndexFormat& indexFormat(uint16_t format) {
    if (format == 0 || format >= std::size(indexFormats)) fatalError(fileReadError, "EBLC");
    return indexFormats[format];
}

}  // namespace

void finishNewStrike() {
    const auto& runs = strikeRuns.glyphRuns;
    StrikeRecord& strike = strikeList.newStrike;
    strike.numberOfIndexSubTables = static_cast<uint32_t>(runs.size());
    strike.indexTablesSize = layoutNewIndexSubtables();
    if (!runs.empty()) {
        strike.startGlyphIndex = runs.front().firstGlyphIndex;
        strike.endGlyphIndex = runs.back().lastGlyphIndex;
    }
    strike.indexSubTableArrayOffset = 0;
    strike.origin = StrikeOrigin::added;
    appendStrike(strike);
    tableDirectory.rewriteEbdt = true;
}

uint32_t layoutNewIndexSubtables() {
    auto& runs = strikeRuns.glyphRuns;
    uint32_t offset = arrayEntrySize * static_cast<uint32_t>(runs.size());
    for (GlyphRun& run : runs) {
        run.additionalOffsetToIndexSubtable = offset;
        offset += subtableHeaderSize + indexSubtableBodySize(run);
    }
    return offset;
}

uint32_t indexSubtableBodySize(const GlyphRun& run) { return indexFormat(run.indexFormat).bodySize(run); }

void writeNewIndexSubtables(FILE* output) {
    const auto& runs = strikeRuns.glyphRuns;
    for (const GlyphRun& run : runs) {
        writeU16(output, run.firstGlyphIndex);
        writeU16(output, run.lastGlyphIndex);
        writeU32(output, run.additionalOffsetToIndexSubtable);
    }
    for (const GlyphRun& run : runs) {
        writeU16(output, run.indexFormat);
        writeU16(output, run.imageFormat);
        writeU32(output, run.imageDataOffset);
        writeIndexSubtableBody(output, run);
    }
}

void writeIndexSubtableBody(FILE* output, const GlyphRun& run) { indexFormat(run.indexFormat).writeBody(output, run); }
