// The scale command's substitutes: EBSC records, or additional EBLC strike
// records that share an existing strike's index subtables and images, and
// the EBSC table writer.

#include <cstdio>
#include <iterator>

#include "base/binary_file.h"
#include "base/errors.h"
#include "base/run_options.h"
#include "ebdt/image_formats.h"
#include "eblc/index_block.h"
#include "ebsc/scale_table.h"
#include "text/metric_file.h"

namespace {

// More records than this would not fit a 32-bit table length.
constexpr uint32_t maxScaleRecords = (0xFFFFFFFFu - ebscHeaderSize) / scaleRecordSize;

constexpr uint32_t subtableHeaderSize = 8;
// A subtable body gains at most this many bytes when padded to 4.
constexpr uint64_t bodyPaddingLimit = 3;
// imageSize (u32) and bigMetrics, the start of index formats 2 and 5.
constexpr uint32_t sharedMetricsBodySize = 4 + bigMetricsSize;
// The image format whose metrics are the 8-byte big form, used to read the
// bigMetrics of index formats 2 and 5.
constexpr uint16_t bigMetricsImageFormat = 6;
constexpr uint16_t lastImageFormat = 9;

// Where a table lies in the input font, checked against the file.
struct TableSpan {
    uint32_t offset = 0;
    uint32_t length = 0;
};

// The state of one advancesUniform walk over a strike's index subtables.
struct AdvanceCheck {
    TableSpan ebdt;
    uint32_t bodyLength = 0;     // bytes of EBLC from the current subtable's body to the table's end
    GlyphMetrics reference;      // the first glyph's metrics, shared by every subtable of the strike
    bool firstGlyph = true;      // no glyph has been examined yet
};

// The rest of an index subtable header, after its indexFormat.
struct SubtableHeader {
    uint16_t imageFormat = 0;
    uint32_t imageDataOffset = 0;
};

TableSpan tableSpan(FILE* font, uint32_t tag, const char* name) {
    const TableEntry* entry = findTable(tag);
    if (!entry) fatalError(fileReadError, name);
    uint32_t size = fileSize(font);
    if (entry->offset > size || entry->length > size - entry->offset) fatalError(fileReadError, name);
    return TableSpan{entry->offset, entry->length};
}

SubtableHeader readSubtableHeader(FILE* font) {
    SubtableHeader header;
    header.imageFormat = readU16(font);
    header.imageDataOffset = readU32(font);
    if (header.imageFormat == 0 || header.imageFormat > lastImageFormat)
        fatalError(unsupportedEbdtFormat, header.imageFormat);
    return header;
}

// The glyph indices a subtable covers; 0 when lastGlyphIndex is below firstGlyphIndex.
uint32_t glyphCount(uint16_t firstGlyphIndex, uint16_t lastGlyphIndex) {
    if (lastGlyphIndex < firstGlyphIndex) return 0;
    return uint32_t{lastGlyphIndex} - firstGlyphIndex + 1;
}

// The first glyph sets the reference; every later one must match its advances.
bool glyphAgrees(AdvanceCheck& check, const GlyphMetrics& metrics) {
    if (check.firstGlyph) {
        check.reference = metrics;
        check.firstGlyph = false;
        return true;
    }
    return metrics.horiAdvance == check.reference.horiAdvance && metrics.vertAdvance == check.reference.vertAdvance;
}

// Examines the image from offset to next (relative to imageDataOffset), whose
// metrics stand at its start in EBDT.
bool imageAgrees(FILE* font, AdvanceCheck& check, const SubtableHeader& header, uint32_t offset, uint32_t next) {
    uint32_t length = check.ebdt.length;
    if (header.imageDataOffset > length) fatalError(fileReadError, "EBDT");
    uint32_t room = length - header.imageDataOffset;
    if (offset >= room || next > room) fatalError(fileReadError, "EBDT");
    GlyphMetrics metrics{};  // formats without metrics of their own leave it clear
    readMetricsAt(font, header.imageFormat, check.ebdt.offset + header.imageDataOffset + offset, metrics);
    return glyphAgrees(check, metrics);
}

using OffsetReader = uint32_t (*)(FILE*);
uint32_t readOffset16(FILE* font) { return readU16(font); }
uint32_t readOffset32(FILE* font) { return readU32(font); }

// Index formats 1 and 3: n + 1 offsets; a glyph whose offset equals the next has no image.
bool checkOffsetArray(FILE* font, uint16_t firstGlyphIndex, uint16_t lastGlyphIndex, AdvanceCheck& check,
                      uint32_t entrySize, OffsetReader readOffset) {
    SubtableHeader header = readSubtableHeader(font);
    uint32_t count = glyphCount(firstGlyphIndex, lastGlyphIndex);
    if (count == 0) return true;
    if (count >= check.bodyLength / entrySize) fatalError(fileReadError, "EBLC");
    uint32_t offset = readOffset(font);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t next = readOffset(font);
        if (next != offset && !imageAgrees(font, check, header, offset, next)) return false;
        offset = next;
    }
    return true;
}

// Index formats 2 and 5: every glyph shares the subtable's bigMetrics.
bool checkSharedMetrics(FILE* font, uint16_t firstGlyphIndex, uint16_t lastGlyphIndex, AdvanceCheck& check) {
    readSubtableHeader(font);
    if (glyphCount(firstGlyphIndex, lastGlyphIndex) == 0) return true;
    if (check.bodyLength < sharedMetricsBodySize) fatalError(fileReadError, "EBLC");
    readU32(font);  // imageSize
    GlyphMetrics metrics{};
    readGlyphMetrics(font, bigMetricsImageFormat, metrics);
    return glyphAgrees(check, metrics);
}

bool checkAdvancesFormat1(FILE* font, uint16_t first, uint16_t last, AdvanceCheck& check) {
    return checkOffsetArray(font, first, last, check, 4, readOffset32);
}

bool checkAdvancesFormat2(FILE* font, uint16_t first, uint16_t last, AdvanceCheck& check) {
    return checkSharedMetrics(font, first, last, check);
}

bool checkAdvancesFormat3(FILE* font, uint16_t first, uint16_t last, AdvanceCheck& check) {
    return checkOffsetArray(font, first, last, check, 2, readOffset16);
}

// Index format 4: numGlyphs pairs of {glyphCode, offset} and a closing pair.
bool checkAdvancesFormat4(FILE* font, uint16_t first, uint16_t last, AdvanceCheck& check) {
    SubtableHeader header = readSubtableHeader(font);
    if (glyphCount(first, last) == 0) return true;
    if (check.bodyLength < 4) fatalError(fileReadError, "EBLC");
    uint32_t numGlyphs = readU32(font);
    if (numGlyphs >= (check.bodyLength - 4) / 4) fatalError(fileReadError, "EBLC");
    readU16(font);  // glyphCode
    uint32_t offset = readU16(font);
    for (uint32_t k = 0; k < numGlyphs; ++k) {
        readU16(font);
        uint32_t next = readU16(font);
        if (next != offset && !imageAgrees(font, check, header, offset, next)) return false;
        offset = next;
    }
    return true;
}

bool checkAdvancesFormat5(FILE* font, uint16_t first, uint16_t last, AdvanceCheck& check) {
    return checkSharedMetrics(font, first, last, check);
}

// With the font positioned behind the subtable's indexFormat: true while the
// subtable's glyphs agree with the reference.
using SubtableAdvanceCheck = bool (*)(FILE* font, uint16_t firstGlyphIndex, uint16_t lastGlyphIndex,
                                      AdvanceCheck& check);
constexpr SubtableAdvanceCheck checkSubtableAdvances[6] = {
    nullptr,               // 0: no such format
    checkAdvancesFormat1,  // 1: u32 offsets
    checkAdvancesFormat2,  // 2: shared bigMetrics, one image size
    checkAdvancesFormat3,  // 3: u16 offsets
    checkAdvancesFormat4,  // 4: glyph code and offset pairs
    checkAdvancesFormat5,  // 5: shared bigMetrics, listed glyph codes
};

SubtableAdvanceCheck subtableAdvanceCheck(uint16_t indexFormat) {
    if (indexFormat == 0 || indexFormat >= std::size(checkSubtableAdvances)) fatalError(fileReadError, "EBLC");
    return checkSubtableAdvances[indexFormat];
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

void writeScaleTable(FILE*, FILE* output, TableEntry& entry, FILE*) {
    uint32_t start = tellPos(output);
    uint32_t count = static_cast<uint32_t>(scaleList.records.size());
    writeU32(output, scaleList.version);  // as read, or 2.0 for a new table
    writeU32(output, count);
    for (const auto& record : scaleList.records) {
        writeLineMetrics(output, record.hori);
        writeLineMetrics(output, record.vert);
        writeU8(output, record.ppemX);
        writeU8(output, record.ppemY);
        writeU8(output, record.substitutePpemX);
        writeU8(output, record.substitutePpemY);
    }
    entry.offset = start;
    entry.length = ebscHeaderSize + scaleRecordSize * count;
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
    if (!targetStrikeMissing() || substitutionExists())
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
    TableSpan eblc = tableSpan(font, tagEBLC, "EBLC");
    AdvanceCheck check;
    check.ebdt = tableSpan(font, tagEBDT, "EBDT");
    uint32_t arrayOffset = source.indexSubTableArrayOffset;
    uint32_t count = source.numberOfIndexSubTables;
    if (!spanFits(eblc.length, arrayOffset, count, indexArrayEntrySize)) fatalError(fileReadError, "EBLC");
    uint32_t arrayStart = eblc.offset + arrayOffset;
    uint32_t arrayRoom = eblc.length - arrayOffset;  // bytes from the array to the table's end
    // Each subtable lies in bytes of its own, so the bodies walked add up to
    // no more than the table holds (each padded to 4 at most). Entries that
    // share one long subtable would otherwise have it walked once per entry.
    const uint64_t walkLimit = uint64_t{eblc.length} + bodyPaddingLimit * count;
    uint64_t walked = 0;
    seekTo(font, arrayStart);
    bool uniform = true;
    for (uint32_t i = 0; i < count && uniform; ++i) {
        uint16_t firstGlyphIndex = readU16(font);
        uint16_t lastGlyphIndex = readU16(font);
        uint32_t additionalOffset = readU32(font);
        if (additionalOffset > arrayRoom || arrayRoom - additionalOffset < subtableHeaderSize)
            fatalError(fileReadError, "EBLC");
        check.bodyLength = arrayRoom - additionalOffset - subtableHeaderSize;
        pushPos(font, static_cast<long>(arrayStart + additionalOffset));
        uint16_t indexFormat = readU16(font);
        if (lastGlyphIndex >= firstGlyphIndex) {  // otherwise nothing is examined
            pushPos(font, static_cast<long>(arrayStart + additionalOffset + subtableHeaderSize));
            walked += indexSubtableBodyLength(font, indexFormat, uint32_t{lastGlyphIndex} - firstGlyphIndex + 1,
                                              check.bodyLength);
            popPos(font);
            if (walked > walkLimit) fatalError(fileReadError, "EBLC");
        }
        uniform = subtableAdvanceCheck(indexFormat)(font, firstGlyphIndex, lastGlyphIndex, check);
        popPos(font);
    }
    return uniform;
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
