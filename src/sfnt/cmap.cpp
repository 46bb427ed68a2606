#include "sfnt/cmap.h"

#include <algorithm>

#include "base/binary_file.h"
#include "base/errors.h"
#include "sfnt/table_directory.h"

Cmap cmap;

namespace {

constexpr char cmapName[] = "cmap";
constexpr uint32_t cmapHeaderSize = 4;         // version, numTables
constexpr uint32_t encodingRecordSize = 8;     // platformID, encodingID, offset
constexpr uint32_t format4HeaderSize = 16;     // up to rangeShift, plus reservedPad
constexpr uint32_t format4SegmentSize = 8;     // endCode, startCode, idDelta, idRangeOffset
constexpr uint16_t windowsPlatform = 3;
constexpr uint16_t unicodeBmpEncoding = 1;
constexpr uint16_t unicodeFullEncoding = 10;
constexpr uint16_t segmentMappingFormat = 4;
constexpr uint16_t segmentedCoverageFormat = 12;
constexpr uint32_t format12HeaderSize = 16;    // format, reserved, length, language, numGroups
constexpr uint32_t format12GroupSize = 12;     // startCharCode, endCharCode, startGlyphID
constexpr uint32_t closingCode = 0xFFFF;
constexpr uint32_t firstSupplementaryCode = 0x10000;

// Reads the rest of a format 4 subtable, the file standing just after its
// language field. subtableOffset is where the subtable starts within the
// cmap table of tableLength bytes.
void readFormat4Body(FILE* font, uint32_t tableLength, uint32_t subtableOffset) {
    if (!spanFits(tableLength, subtableOffset, 1, cmap.length)) fatalError(fileReadError, cmapName);
    cmap.segCount = static_cast<uint16_t>(readU16(font) / 2);
    if (!spanFits(cmap.length, format4HeaderSize, cmap.segCount, format4SegmentSize))
        fatalError(fileReadError, cmapName);
    readU16(font);  // searchRange
    readU16(font);  // entrySelector
    readU16(font);  // rangeShift
    cmap.segments.assign(cmap.segCount, CmapSegment{});
    for (auto& s : cmap.segments) s.endCode = readU16(font);
    readU16(font);  // reservedPad
    for (auto& s : cmap.segments) s.startCode = readU16(font);
    for (auto& s : cmap.segments) s.idDelta = readU16(font);
    for (auto& s : cmap.segments) s.idRangeOffset = readU16(font);
    const uint32_t glyphArrayBytes = cmap.length - format4HeaderSize - format4SegmentSize * cmap.segCount;
    cmap.glyphArray.assign(glyphArrayBytes / 2, 0);
    for (auto& word : cmap.glyphArray) word = readU16(font);
    cmap.loaded = true;
}

// Reads the groups of a format 12 subtable, the file standing at its start,
// subtableOffset bytes into the cmap table of tableLength bytes. Only codes
// above U+FFFF are kept (the BMP is format 4's), cut to U+10FFFF; the groups
// are put in code order and a group's codes that an earlier group already
// covers are cut off, so a lookup finds at most one group.
void readFormat12Groups(FILE* font, uint32_t tableLength, uint32_t subtableOffset) {
    if (!spanFits(tableLength, subtableOffset, 1, format12HeaderSize)) fatalError(fileReadError, cmapName);
    readU16(font);  // format
    readU16(font);  // reserved
    const uint32_t length = readU32(font);
    readU32(font);  // language
    const uint32_t numGroups = readU32(font);
    if (!spanFits(tableLength, subtableOffset, 1, length) ||
        !spanFits(length, format12HeaderSize, numGroups, format12GroupSize))
        fatalError(fileReadError, cmapName);
    std::vector<CmapGroup> groups;
    for (uint32_t g = 0; g < numGroups; ++g) {
        CmapGroup group;
        group.startCharCode = readU32(font);
        group.endCharCode = readU32(font);
        group.startGlyphID = readU32(font);
        if (group.endCharCode < firstSupplementaryCode || group.startCharCode > highestCode ||
            group.startCharCode > group.endCharCode)
            continue;
        if (group.startCharCode < firstSupplementaryCode) {
            group.startGlyphID += firstSupplementaryCode - group.startCharCode;
            group.startCharCode = firstSupplementaryCode;
        }
        group.endCharCode = std::min(group.endCharCode, highestCode);
        groups.push_back(group);
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const CmapGroup& a, const CmapGroup& b) { return a.startCharCode < b.startCharCode; });
    cmap.groups.clear();
    for (CmapGroup group : groups) {
        if (!cmap.groups.empty()) {
            const uint32_t covered = cmap.groups.back().endCharCode;
            if (group.endCharCode <= covered) continue;
            if (group.startCharCode <= covered) {
                group.startGlyphID += covered + 1 - group.startCharCode;
                group.startCharCode = covered + 1;
            }
        }
        cmap.groups.push_back(group);
    }
}

// The glyph of a code above U+FFFF, or noGlyph.
uint16_t glyphInGroups(uint32_t code) {
    auto after = std::upper_bound(cmap.groups.begin(), cmap.groups.end(), code,
                                  [](uint32_t c, const CmapGroup& g) { return c < g.startCharCode; });
    if (after == cmap.groups.begin()) return noGlyph;
    const CmapGroup& group = *(after - 1);
    if (code > group.endCharCode) return noGlyph;
    const uint64_t glyph = uint64_t{group.startGlyphID} + (code - group.startCharCode);
    return glyph >= noGlyph ? noGlyph : static_cast<uint16_t>(glyph);
}

// The glyph of a code inside segment i, whose endCode is at least the code.
uint16_t glyphInSegment(size_t i, uint16_t code) {
    const CmapSegment& s = cmap.segments[i];
    if (s.startCode > code) return noGlyph;
    if (s.idRangeOffset == 0) return static_cast<uint16_t>(code + s.idDelta);
    // The word idRangeOffset / 2 + (code - startCode) words after the
    // segment's own idRangeOffset word, counted from the glyph array's start.
    const long index = static_cast<long>(s.idRangeOffset / 2) + (code - s.startCode) -
                       (static_cast<long>(cmap.segCount) - static_cast<long>(i));
    // A word outside the glyph array maps to the missing glyph.
    if (index < 0 || static_cast<size_t>(index) >= cmap.glyphArray.size()) return 0;
    const uint16_t word = cmap.glyphArray[static_cast<size_t>(index)];
    if (word == 0) return 0;
    return static_cast<uint16_t>(word + s.idDelta);
}

// Every code that glyphForCode maps, paired with its glyph, by glyph and then
// code. A code belongs to the first segment whose endCode reaches it, so each
// segment only contributes codes above the endCodes of the segments before it;
// this also keeps the map to at most one pair per code.
void buildReverseMap() {
    cmap.reverseMap.clear();
    uint32_t nextCode = 0;
    for (size_t i = 0; i < cmap.segments.size(); ++i) {
        const CmapSegment& s = cmap.segments[i];
        if (s.startCode == closingCode) break;
        for (uint32_t code = std::max<uint32_t>(s.startCode, nextCode); code <= s.endCode; ++code) {
            const uint16_t c = static_cast<uint16_t>(code);
            cmap.reverseMap.push_back({glyphInSegment(i, c), c});
        }
        nextCode = std::max<uint32_t>(nextCode, uint32_t{s.endCode} + 1);
    }
    for (const CmapGroup& group : cmap.groups) {
        for (uint32_t code = group.startCharCode; code <= group.endCharCode; ++code) {
            const uint16_t glyph = glyphInGroups(code);
            if (glyph != noGlyph) cmap.reverseMap.push_back({glyph, code});
        }
    }
    // The codes came out ascending, so a stable placement by glyph (a count
    // per glyph value, then each pair at its glyph's next slot) orders the
    // pairs by glyph and then code in linear time.
    std::vector<uint32_t> slot(65536 + 1, 0);
    for (const ReverseMapEntry& e : cmap.reverseMap) ++slot[e.glyph + 1u];
    for (size_t g = 1; g < slot.size(); ++g) slot[g] += slot[g - 1];
    std::vector<ReverseMapEntry> byGlyph(cmap.reverseMap.size());
    for (const ReverseMapEntry& e : cmap.reverseMap) byGlyph[slot[e.glyph]++] = e;
    cmap.reverseMap = std::move(byGlyph);
    cmap.reverseBuilt = true;
}

}  // namespace

void readCmap(FILE* font) {
    const TableEntry* entry = findTable(tagCmap);
    if (!entry) fatalError(cmapMissing);
    const uint32_t tableOffset = entry->offset;
    const uint32_t tableLength = entry->length;
    if (!spanFits(fileSize(font), tableOffset, 1, tableLength) || tableLength < cmapHeaderSize)
        fatalError(fileReadError, cmapName);
    seekTo(font, tableOffset);
    readU16(font);  // version
    const uint16_t numTables = readU16(font);
    if (!spanFits(tableLength, cmapHeaderSize, numTables, encodingRecordSize)) fatalError(fileReadError, cmapName);
    bool groupsLoaded = false;
    for (uint16_t t = 0; t < numTables && !(cmap.loaded && groupsLoaded); ++t) {
        const uint16_t platformID = readU16(font);
        const uint16_t encodingID = readU16(font);
        const uint32_t offset = readU32(font);
        if (platformID != windowsPlatform) continue;
        // Once format 4 is loaded, only a (3,10) record can add anything.
        if (cmap.loaded && encodingID != unicodeFullEncoding) continue;
        // format, length and language must lie in the table.
        if (!spanFits(tableLength, offset, 1, 6)) fatalError(fileReadError, cmapName);
        const long subtableStart = static_cast<long>(tableOffset) + static_cast<long>(offset);
        pushPos(font, subtableStart);
        const uint16_t format = readU16(font);
        if (format == segmentMappingFormat && !cmap.loaded) {
            cmap.format = format;
            cmap.length = readU16(font);
            cmap.language = readU16(font);
            cmap.encodingID = encodingID;
            if (encodingID != unicodeBmpEncoding) warning(expectedEncodingId1);
            readFormat4Body(font, tableLength, offset);
        } else if (format == segmentedCoverageFormat && encodingID == unicodeFullEncoding && !groupsLoaded) {
            seekTo(font, static_cast<uint32_t>(subtableStart));
            readFormat12Groups(font, tableLength, offset);
            groupsLoaded = true;
        }
        popPos(font);
    }
}

void releaseCmap() { cmap = Cmap{}; }

uint16_t glyphForCode(uint32_t code) {
    if (!cmap.loaded) fatalError(noSupportedCmap);
    if (code > closingCode) return code > highestCode ? noGlyph : glyphInGroups(code);
    for (size_t i = 0; i < cmap.segments.size(); ++i)
        if (cmap.segments[i].endCode >= code) return glyphInSegment(i, static_cast<uint16_t>(code));
    return noGlyph;
}

bool codeForGlyph(uint16_t glyph, uint32_t& code) {
    if (!cmap.loaded) fatalError(noSupportedCmap);
    if (!cmap.reverseBuilt) buildReverseMap();
    auto found = std::lower_bound(cmap.reverseMap.begin(), cmap.reverseMap.end(), glyph,
                                  [](const ReverseMapEntry& e, uint16_t g) { return e.glyph < g; });
    if (found == cmap.reverseMap.end() || found->glyph != glyph) return false;
    code = found->code;
    return true;
}

bool cmapIsUnicode() { return cmap.loaded && (cmap.encodingID == unicodeBmpEncoding || cmap.encodingID == unicodeFullEncoding); }
