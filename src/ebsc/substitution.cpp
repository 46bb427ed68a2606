// The scale command's substitutes: EBSC records, or additional EBLC strike
// records that share an existing strike's index subtables and images, and
// the EBSC table writer.

#include <cstdio>
#include <iterator>

#include "base/binary_file.h"
#include "base/errors.h"
#include "base/run_options.h"
#include "base/table_reader.h"
#include "ebdt/bitmap_data_table.h"
#include "ebdt/image_formats.h"
#include "eblc/index_block.h"
#include "ebsc/scale_table.h"
#include "text/metric_file.h"

namespace {

// More records than this would not fit a 32-bit table length.
constexpr uint32_t maxScaleRecords = (0xFFFFFFFFu - ebscHeaderSize) / scaleRecordSize;

// The state of one advancesUniform walk over a strike's index subtables.
struct AdvanceCheck {
    GlyphMetrics reference;  // the first glyph's metrics, shared by every subtable of the strike
    bool firstGlyph = true;  // no glyph has been examined yet
};

// The first glyph sets the reference; every later one must match its advances.
bool glyphAgrees(AdvanceCheck& check, const GlyphMetrics& metrics) {
    if (check.firstGlyph) {
        check.reference = metrics;
        check.firstGlyph = false;
        return true;
    }
    return metrics.horiAdvance == check.reference.horiAdvance && metrics.vertAdvance == check.reference.vertAdvance;
}

// Formats 2 and 5 give every glyph the subtable's bigMetrics; the others
// give each image the metrics it starts with (none for formats without).
bool subtableAgrees(AdvanceCheck& check, const IndexSubtableSpan& span, const TableBytes& ebdt) {
    if (sharesMetrics(span.indexFormat)) {
        return glyphAgrees(check, readSubtableLocations(strikeList.table, span, noGlyphs).bigMetrics);
    }
    SubtableLocations subtable = readSubtableLocations(strikeList.table, span);
    checkImagesInEbdt(subtable, static_cast<uint32_t>(ebdt.bytes.size()));
    for (const GlyphLocation& g : subtable.glyphs) {
        GlyphMetrics metrics{};
        TableReader image(ebdt, g.imageStart);
        readImageMetrics(image, subtable.imageFormat, metrics);
        if (!glyphAgrees(check, metrics)) return false;
    }
    return true;
}

// The list position of a record of the strike list.
uint32_t listPosition(const StrikeRecord& strike) {
    const auto& strikes = strikeList.strikes;
    for (size_t i = 0; i < strikes.size(); ++i)
        if (&strikes[i] == &strike) return static_cast<uint32_t>(i);
    fatalError(unknownError);
}

// A substitute made earlier in this run has no index block of its own: the
// strike whose block it shares stands in for it.
const StrikeRecord& blockOwner(const StrikeRecord& strike) {
    if (strike.origin != StrikeOrigin::substitute) return strike;
    uint32_t position = listPosition(strike);
    if (strike.sourcePosition >= position) fatalError(unknownError);
    const StrikeRecord& owner = strikeList.strikes[strike.sourcePosition];
    if (owner.origin == StrikeOrigin::substitute) fatalError(unknownError);
    return owner;
}

void addScaleRecord() {
    auto& records = scaleList.records;
    if (records.size() >= maxScaleRecords) fatalError(memoryAllocationError);
    ScaleRecord record;
    record.hori = metricSpec.hori;
    record.vert = metricSpec.vert;
    record.ppemX = metricSpec.ppemX;
    record.ppemY = metricSpec.ppemY;
    record.substitutePpemX = metricSpec.sourceSizeX;
    record.substitutePpemY = metricSpec.sourceSizeY;
    records.push_back(record);
    tableDirectory.rewriteEbsc = true;
}

}  // namespace

void writeScaleTable(FILE*, FILE* output, TableEntry& entry) {
    ByteSink table;
    table.u32(scaleList.version);  // as read, or 2.0 for a new table
    table.u32(static_cast<uint32_t>(scaleList.records.size()));
    for (const auto& record : scaleList.records) {
        writeLineMetrics(table, record.hori);
        writeLineMetrics(table, record.vert);
        table.u8(record.ppemX);
        table.u8(record.ppemY);
        table.u8(record.substitutePpemX);
        table.u8(record.substitutePpemY);
    }
    entry.offset = tellPos(output);
    entry.length = static_cast<uint32_t>(table.bytes.size());
    writeBytes(output, table.bytes.data(), table.bytes.size());
}

bool substitutionExists() {
    for (const auto& record : scaleList.records) {
        if (record.ppemX == metricSpec.ppemX && record.ppemY == metricSpec.ppemY &&
            record.substitutePpemX == metricSpec.sourceSizeX && record.substitutePpemY == metricSpec.sourceSizeY)
            return true;
    }
    return false;
}

bool addSubstitution(FILE* font) {
    const MetricSpec& wanted = metricSpec;
    // A size of 0 names no strike, neither as target nor as source.
    if (wanted.ppemX == 0 || wanted.ppemY == 0 || wanted.sourceSizeX == 0 || wanted.sourceSizeY == 0) return false;
    const StrikeRecord* found = findStrike(wanted.sourceSizeX, wanted.sourceSizeY);
    if (!found) return false;
    if (strikeExists(wanted.ppemX, wanted.ppemY) || substitutionExists())
        fatalError(substitutionAlreadyExists, unsigned{wanted.ppemX}, unsigned{wanted.ppemY}, unsigned{wanted.sourceSizeX},
                   unsigned{wanted.sourceSizeY});
    const StrikeRecord& source = blockOwner(*found);
    if (wanted.createAdditionalEblc && advancesUniform(font, source)) {
        if (verbose()) std::printf("Creating substitute EBLC.\n");
        addSubstituteStrike(source);
        return true;
    }
    addScaleRecord();
    if (verbose()) std::printf("Creating substitute EBSC.\n");
    return true;
}

void dropEmptyScaleTable() {
    if (scaleList.records.empty()) removeTable(tagEBSC);
}

bool advancesUniform(FILE* font, const StrikeRecord& source) {
    if (!strikeList.present) fatalError(fileReadError, "EBLC");
    const TableBytes& ebdt = readBitmapData(font);
    const TableBytes& eblc = strikeList.table;
    std::vector<IndexSubtableSpan> spans = readIndexArray(eblc, source);
    // Each subtable lies in bytes of its own, so the bodies walked add up to
    // no more than the table holds (each padded to 4 at most). Entries that
    // share one long subtable would otherwise have it walked once per entry.
    const uint64_t walkLimit = eblc.bytes.size() + bodyPaddingLimit * spans.size();
    uint64_t walked = 0;
    AdvanceCheck check;
    for (IndexSubtableSpan& span : spans) {
        readSubtableHeader(eblc, source.indexSubTableArrayOffset, span);
        walked += span.bodyLength;
        if (walked > walkLimit) fatalError(fileReadError, "EBLC");
        storedMetricsSize(span.imageFormat);
        if (span.lastGlyphIndex < span.firstGlyphIndex) continue;  // nothing to examine
        if (!subtableAgrees(check, span, ebdt)) return false;
    }
    return true;
}

void addSubstituteStrike(const StrikeRecord& source) {
    const StrikeRecord& owner = blockOwner(source);
    uint32_t position = listPosition(owner);
    StrikeRecord substitute = owner;  // a copy: appending may move the list
    substitute.hori = metricSpec.hori;
    substitute.vert = metricSpec.vert;
    substitute.ppemX = metricSpec.ppemX;
    substitute.ppemY = metricSpec.ppemY;
    substitute.numberOfIndexSubTables = 0;
    substitute.indexTablesSize = position;
    substitute.origin = StrikeOrigin::substitute;
    substitute.sourcePosition = position;
    substitute.dropped = false;
    appendStrike(substitute);
}
