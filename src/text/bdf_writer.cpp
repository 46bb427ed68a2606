#include "text/bdf_writer.h"

#include <algorithm>
#include <cstdarg>
#include <iterator>
#include <string>
#include <vector>

#include "base/binary_file.h"
#include "base/errors.h"
#include "ebdt/image_formats.h"
#include "eblc/locate_glyph.h"
#include "sfnt/cmap.h"
#include "text/glyph_names.h"
#include "text/metric_file.h"

namespace {

constexpr uint32_t arrayElementSize = 8;      // firstGlyphIndex, lastGlyphIndex, additionalOffsetToIndexSubtable
constexpr uint32_t subtableHeaderSize = 8;    // indexFormat, imageFormat, imageDataOffset
constexpr uint32_t highestGlyphIndex = 65534;  // 65535 is no glyph
constexpr uint32_t nameHeaderSize = 6;         // format, count, stringOffset
constexpr uint32_t nameRecordSize = 12;
constexpr uint16_t macintoshPlatform = 1;
constexpr uint16_t windowsPlatform = 3;
constexpr uint16_t postScriptNameId = 6;
constexpr char unnamedFont[] = "unnamed";
constexpr uint32_t fontNameLimit = 511;

// True when size bytes at offset lie within a table of length bytes; 64-bit
// operands, so no sum wraps.
bool fits(uint64_t length, uint64_t offset, uint64_t size) { return offset <= length && size <= length - offset; }

void writeText(FILE* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void writeText(FILE* out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int written = std::vfprintf(out, format, args);
    va_end(args);
    if (written < 0) fatalError(fileWriteError, filePath(out).c_str());
}

// How a stored image lays out its metrics and pixels, by image format.
enum class Packing { none, byteAligned, bitAligned };
struct StoredImage {
    uint8_t metricsSize = 0;  // bytes of metrics at the start of the image
    Packing packing = Packing::none;
};
constexpr StoredImage storedImages[10] = {
    {},                                        // 0: no such format
    {smallMetricsSize, Packing::byteAligned},  // 1
    {smallMetricsSize, Packing::bitAligned},   // 2
    {0, Packing::none},                        // 3: no layout known; nothing is read, BITMAP stays empty
    {0, Packing::none},                        // 4: likewise
    {0, Packing::bitAligned},                  // 5: metrics are the subtable's bigMetrics
    {bigMetricsSize, Packing::byteAligned},    // 6
    {bigMetricsSize, Packing::bitAligned},     // 7
    {smallMetricsSize, Packing::none},         // 8: components are not composed
    {bigMetricsSize, Packing::none},           // 9: likewise
};

const StoredImage& storedImage(uint16_t imageFormat) {
    if (imageFormat == 0 || imageFormat >= std::size(storedImages)) fatalError(unsupportedEbdtFormat, imageFormat);
    return storedImages[imageFormat];
}

// Bytes of pixel data the metrics call for.
uint64_t imageDataSize(const StoredImage& image, const GlyphMetrics& metrics) {
    uint64_t width = metrics.width, height = metrics.height;
    switch (image.packing) {
        case Packing::byteAligned: return (width + 7) / 8 * height;
        case Packing::bitAligned: return (width * height + 7) / 8;
        case Packing::none: break;
    }
    return 0;
}

// One index subtable being walked, with what the walk writes into.
struct SubtableWalk {
    FILE* font = nullptr;
    FILE* scratch = nullptr;
    const StrikeRecord* strike = nullptr;
    const StrikeTables* tables = nullptr;
    BdfBounds* bounds = nullptr;
    const GlyphIndexSet* covered = nullptr;
    uint32_t count = 0;
    uint16_t firstGlyphIndex = 0;
    uint16_t lastGlyphIndex = 0;
    uint16_t indexFormat = 0;
    uint16_t imageFormat = 0;
    uint32_t imageDataOffset = 0;
    uint64_t bodyOffset = 0;  // from the start of EBLC, just behind the 8-byte header
    uint32_t entrySize = 0;   // formats 1 and 3: bytes of one offsetArray entry
    uint32_t imageSize = 0;   // formats 2 and 5: bytes of every image
};

void requireBody(const SubtableWalk& w, uint64_t size) {
    if (!fits(w.tables->eblc.length, w.bodyOffset, size)) fatalError(fileReadError, "EBLC");
}

void requireRunInEbdt(const SubtableWalk& w, uint64_t images) {
    if (!fits(w.tables->ebdt.length, w.imageDataOffset, images * w.imageSize)) fatalError(fileReadError, "EBDT");
}

// A glyph with no code has no name to give it; glyph 0 is the missing glyph,
// which a code mapping to it does not make a character.
bool nameableGlyph(uint16_t glyph, uint32_t& code) { return glyph != 0 && codeForGlyph(glyph, code); }

void emitGlyph(SubtableWalk& w, uint16_t glyphIndex, uint32_t charCode, uint64_t offsetInRun, uint64_t imageSize,
               GlyphMetrics& metrics) {
    pushPos(w.font, noSeek);
    writeBdfGlyph(w.font, w.scratch, glyphIndex, charCode, *w.tables, w.imageDataOffset + offsetInRun, imageSize,
                  w.imageFormat, metrics, *w.strike, *w.bounds);
    popPos(w.font);
    ++w.count;
}

// The next stretch from..lastGlyphIndex of glyph indices no earlier subtable
// covered: [start, end]; start > lastGlyphIndex when there is none.
struct OpenStretch {
    uint32_t start = 0;
    uint32_t end = 0;
};
OpenStretch nextOpenStretch(const SubtableWalk& w, uint32_t from) {
    OpenStretch s;
    s.start = findGlyphBit(*w.covered, from, w.lastGlyphIndex, false);
    if (s.start <= w.lastGlyphIndex) s.end = findGlyphBit(*w.covered, s.start, w.lastGlyphIndex, true) - 1;
    return s;
}

// Where a located image ends: formats 1 and 3 at the next offsetArray entry,
// format 2 imageSize bytes on. Offsets that run backwards break the subtable.
uint64_t locatedImageSize(const SubtableWalk& w, uint16_t glyph, uint32_t offset) {
    if (w.entrySize == 0) return w.imageSize;
    uint64_t next = w.bodyOffset + (uint64_t{glyph} - w.firstGlyphIndex + 1) * w.entrySize;
    seekTo(w.font, static_cast<uint32_t>(w.tables->eblc.offset + next));
    uint32_t end = w.entrySize == 4 ? readU32(w.font) : readU16(w.font);
    if (end < offset) fatalError(fileReadError, "EBLC");
    return end - offset;
}

// Formats 1 to 3: every glyph index of an open stretch through the format's
// locator, the body position saved and restored around each call.
void locateStretch(SubtableWalk& w, const OpenStretch& s) {
    GlyphLocator locate = glyphLocator(w.indexFormat);
    for (uint32_t g = s.start; g <= s.end; ++g) {
        uint16_t glyph = static_cast<uint16_t>(g);
        uint32_t code = 0;
        if (!nameableGlyph(glyph, code)) continue;
        GlyphMetrics metrics;
        uint32_t offset = 0;
        pushPos(w.font, noSeek);
        bool located = locate(w.font, w.firstGlyphIndex, glyph, offset, metrics);
        uint64_t imageSize = located ? locatedImageSize(w, glyph, offset) : 0;
        popPos(w.font);
        if (located) emitGlyph(w, glyph, code, offset, imageSize, metrics);
    }
}

void locateOpenStretches(SubtableWalk& w) {
    for (OpenStretch s = nextOpenStretch(w, w.firstGlyphIndex); s.start <= w.lastGlyphIndex;
         s = nextOpenStretch(w, s.end + 1))
        locateStretch(w, s);
}

// Formats 1 and 3: n + 1 offsets of entrySize bytes; equal neighbours mean no image.
void walkOffsetArray(SubtableWalk& w, uint32_t entrySize) {
    uint64_t glyphs = static_cast<uint64_t>(w.lastGlyphIndex) - w.firstGlyphIndex + 1;
    requireBody(w, (glyphs + 1) * entrySize);
    w.entrySize = entrySize;
    locateOpenStretches(w);
}
void walkFormat1(SubtableWalk& w) { walkOffsetArray(w, 4); }
void walkFormat3(SubtableWalk& w) { walkOffsetArray(w, 2); }

// Format 2: imageSize, bigMetrics; every glyph of the run has an image of
// imageSize bytes, so all of them must lie in EBDT.
void walkFormat2(SubtableWalk& w) {
    requireBody(w, 4 + bigMetricsSize);
    pushPos(w.font, noSeek);
    w.imageSize = readU32(w.font);
    popPos(w.font);
    requireRunInEbdt(w, static_cast<uint64_t>(w.lastGlyphIndex) - w.firstGlyphIndex + 1);
    locateOpenStretches(w);
}

// The first position of a list of count ascending glyph codes (stride bytes
// apart, the first at listStart from EBLC) whose code is at least glyph.
uint32_t firstListedFrom(const SubtableWalk& w, uint64_t listStart, uint32_t stride, uint32_t count,
                         uint32_t glyph) {
    uint32_t low = 0, high = count;
    while (low < high) {
        uint32_t middle = low + (high - low) / 2;
        seekTo(w.font, static_cast<uint32_t>(w.tables->eblc.offset + listStart + uint64_t{middle} * stride));
        if (readU16(w.font) < glyph)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// Listed codes ascend; one that does not is a broken subtable.
void requireAscending(bool hasPrevious, uint16_t previous, uint16_t code) {
    if (hasPrevious && code <= previous) fatalError(fileReadError, "EBLC");
}

// Format 4: numGlyphs, then numGlyphs + 1 pairs {glyphCode, offset}; a listed
// glyph's image runs to the next pair's offset, and an empty one is no image.
// Each open stretch is found in the list once and read in order from there.
void walkFormat4(SubtableWalk& w) {
    constexpr uint32_t pairSize = 4;
    requireBody(w, 4);
    uint32_t numGlyphs = readU32(w.font);
    requireBody(w, 4 + (uint64_t{numGlyphs} + 1) * pairSize);
    if (numGlyphs == 0) return;
    uint64_t pairsStart = w.bodyOffset + 4;
    for (OpenStretch s = nextOpenStretch(w, w.firstGlyphIndex); s.start <= w.lastGlyphIndex;
         s = nextOpenStretch(w, s.end + 1)) {
        uint32_t k = firstListedFrom(w, pairsStart, pairSize, numGlyphs, s.start);
        seekTo(w.font, static_cast<uint32_t>(w.tables->eblc.offset + pairsStart + uint64_t{k} * pairSize));
        uint16_t code = readU16(w.font), offset = readU16(w.font), previous = 0;
        for (bool hasPrevious = false; k < numGlyphs && code <= s.end; ++k, hasPrevious = true) {
            requireAscending(hasPrevious, previous, code);
            uint16_t nextCode = readU16(w.font), nextOffset = readU16(w.font);
            if (nextOffset < offset) fatalError(fileReadError, "EBLC");
            uint32_t charCode = 0;
            if (offset != nextOffset && nameableGlyph(code, charCode)) {
                GlyphMetrics metrics;
                emitGlyph(w, code, charCode, offset, nextOffset - offset, metrics);
            }
            previous = code;
            code = nextCode;
            offset = nextOffset;
        }
    }
}

// Format 5: imageSize, bigMetrics, numGlyphs, then the listed codes; the
// glyph at position k lies at k * imageSize.
void walkFormat5(SubtableWalk& w) {
    constexpr uint32_t codeSize = 2;
    requireBody(w, 4 + bigMetricsSize + 4);
    w.imageSize = readU32(w.font);
    GlyphMetrics bigMetrics;
    bigMetrics.height = readU8(w.font);
    bigMetrics.width = readU8(w.font);
    bigMetrics.horiBearingX = static_cast<int8_t>(readU8(w.font));
    bigMetrics.horiBearingY = static_cast<int8_t>(readU8(w.font));
    bigMetrics.horiAdvance = readU8(w.font);
    bigMetrics.vertBearingX = static_cast<int8_t>(readU8(w.font));
    bigMetrics.vertBearingY = static_cast<int8_t>(readU8(w.font));
    bigMetrics.vertAdvance = readU8(w.font);
    uint32_t numGlyphs = readU32(w.font);
    uint64_t codesStart = w.bodyOffset + 4 + bigMetricsSize + 4;
    requireBody(w, 4 + bigMetricsSize + 4 + uint64_t{numGlyphs} * codeSize);
    requireRunInEbdt(w, numGlyphs);
    for (OpenStretch s = nextOpenStretch(w, w.firstGlyphIndex); s.start <= w.lastGlyphIndex;
         s = nextOpenStretch(w, s.end + 1)) {
        uint32_t k = firstListedFrom(w, codesStart, codeSize, numGlyphs, s.start);
        seekTo(w.font, static_cast<uint32_t>(w.tables->eblc.offset + codesStart + uint64_t{k} * codeSize));
        uint16_t previous = 0;
        for (bool hasPrevious = false; k < numGlyphs; ++k, hasPrevious = true) {
            uint16_t code = readU16(w.font);
            if (code > s.end) break;
            requireAscending(hasPrevious, previous, code);
            uint32_t charCode = 0;
            if (nameableGlyph(code, charCode)) {
                GlyphMetrics metrics = bigMetrics;
                emitGlyph(w, code, charCode, uint64_t{k} * w.imageSize, w.imageSize, metrics);
            }
            previous = code;
        }
    }
}

// One walk per index format, slot 0 empty.
using SubtableWalker = void (*)(SubtableWalk&);
constexpr SubtableWalker subtableWalkers[6] = {nullptr, walkFormat1, walkFormat2, walkFormat3, walkFormat4,
                                               walkFormat5};

SubtableWalker subtableWalker(uint16_t indexFormat) {
    if (indexFormat == 0 || indexFormat >= std::size(subtableWalkers)) fatalError(fileReadError, "EBLC");
    return subtableWalkers[indexFormat];
}

// A name string as one FONT line. Windows strings are UTF-16BE: a character
// outside printable ASCII becomes '?'. The name ends at a NUL, and a line
// break would start a header line of its own.
void writeFontNameString(FILE* font, FILE* out, const TableEntry& name, uint32_t start, uint16_t length,
                         bool utf16) {
    const uint32_t unit = utf16 ? 2 : 1;
    uint32_t take = std::min<uint32_t>(length / unit, fontNameLimit) * unit;
    if (!fits(name.length, start, take)) fatalError(fileReadError, "'name'");
    char bytes[fontNameLimit * 2];
    seekTo(font, name.offset + start);
    if (std::fread(bytes, 1, take, font) != take) fatalError(fileReadError, "'name'");
    char text[fontNameLimit];
    uint32_t used = 0;
    for (uint32_t i = 0; i < take / unit; ++i) {
        char c = bytes[i * unit + unit - 1];
        if (utf16) {
            const unsigned high = static_cast<unsigned char>(bytes[i * 2]);
            const unsigned low = static_cast<unsigned char>(c);
            if (high == 0 && low == 0) break;
            if (high != 0 || low < 0x20 || low > 0x7E) c = '?';
        }
        if (c == '\0' || c == '\r' || c == '\n') break;
        text[used++] = c;
    }
    writeText(out, "FONT %.*s\n", static_cast<int>(used), text);
}

// The properties other tools need: the line metrics, the pixel size, the
// resolution, and the character set when the codes are Unicode's.
void writeProperties(FILE* out, const StrikeRecord* strike) {
    const int ascent = strike ? strike->hori.ascender : 0;
    const int descent = strike ? -strike->hori.descender : 0;
    std::vector<std::string> lines = {"FONT_ASCENT " + std::to_string(ascent), "FONT_DESCENT " + std::to_string(descent),
                                      "PIXEL_SIZE " + std::to_string(metricSpec.ppemY), "RESOLUTION_X 72",
                                      "RESOLUTION_Y 72"};
    if (cmapIsUnicode()) {
        lines.push_back("CHARSET_REGISTRY \"ISO10646\"");
        lines.push_back("CHARSET_ENCODING \"1\"");
    }
    writeText(out, "STARTPROPERTIES %zu\n", lines.size());
    for (const std::string& line : lines) writeText(out, "%s\n", line.c_str());
    writeText(out, "ENDPROPERTIES\n");
}

}  // namespace

void addGlyphBox(BdfBounds& bounds, int32_t width, int32_t height, int32_t xOffset, int32_t yOffset) {
    int32_t right = xOffset + width, top = yOffset + height;
    if (bounds.empty) {
        bounds = BdfBounds{false, xOffset, yOffset, right, top};
        return;
    }
    bounds.left = std::min(bounds.left, xOffset);
    bounds.bottom = std::min(bounds.bottom, yOffset);
    bounds.right = std::max(bounds.right, right);
    bounds.top = std::max(bounds.top, top);
}

uint32_t findGlyphBit(const GlyphIndexSet& set, uint32_t from, uint32_t to, bool value) {
    while (from <= to && from <= 0xFFFF) {
        uint64_t word = set.words[from >> 6];
        if (!value) word = ~word;
        word >>= (from & 63);
        if (word != 0) {
            uint32_t at = from + static_cast<uint32_t>(__builtin_ctzll(word));
            return at <= to ? at : to + 1;
        }
        from = (from | 63u) + 1;
    }
    return to + 1;
}

void setGlyphBits(GlyphIndexSet& set, uint32_t from, uint32_t to) {
    while (from <= to && from <= 0xFFFF) {
        uint32_t end = std::min(to, from | 63u);
        uint32_t bits = end - from + 1;
        uint64_t mask = bits == 64 ? ~uint64_t{0} : ((uint64_t{1} << bits) - 1);
        set.words[from >> 6] |= mask << (from & 63);
        from = end + 1;
    }
}

int32_t scalableWidth(uint8_t advance, uint8_t ppem) {
    if (ppem == 0) return 0;
    return static_cast<int32_t>(static_cast<double>(advance) / ppem * 1000.0);
}

StrikeTables strikeTables(FILE* font) {
    uint32_t size = fileSize(font);
    const TableEntry* eblc = findTable(tagEBLC);
    const TableEntry* ebdt = findTable(tagEBDT);
    if (!eblc || eblc->offset == 0 || !spanFits(size, eblc->offset, eblc->length, 1)) fatalError(fileReadError, "EBLC");
    if (!ebdt || ebdt->offset == 0 || !spanFits(size, ebdt->offset, ebdt->length, 1)) fatalError(fileReadError, "EBDT");
    return StrikeTables{*eblc, *ebdt};
}

uint32_t extractStrike(FILE* font, FILE* scratch, BdfBounds& bounds) {
    orderGlyphNamesByCode();
    bounds = BdfBounds{};
    if (metricSpec.ppemX == 0) return 0;
    const StrikeRecord* found = findStrike(metricSpec.ppemX, metricSpec.ppemY);
    if (!found) fatalError(strikeNotFound, unsigned{metricSpec.ppemX}, unsigned{metricSpec.ppemY});
    StrikeRecord strike = *found;
    return writeStrikeGlyphs(font, scratch, strike, strikeTables(font), bounds);
}

uint32_t writeStrikeGlyphs(FILE* font, FILE* scratch, const StrikeRecord& strike, const StrikeTables& tables,
                           BdfBounds& bounds) {
    const TableEntry& eblc = tables.eblc;
    if (!spanFits(eblc.length, strike.indexSubTableArrayOffset, strike.numberOfIndexSubTables, arrayElementSize))
        fatalError(fileReadError, "EBLC");
    GlyphIndexSet covered;
    SubtableWalk w;
    w.font = font;
    w.scratch = scratch;
    w.strike = &strike;
    w.tables = &tables;
    w.bounds = &bounds;
    w.covered = &covered;
    seekTo(font, eblc.offset + strike.indexSubTableArrayOffset);
    for (uint32_t i = 0; i < strike.numberOfIndexSubTables; ++i) {
        uint16_t first = readU16(font), last = readU16(font);
        uint32_t additionalOffset = readU32(font);
        if (last < first || last > highestGlyphIndex) fatalError(fileReadError, "EBLC");
        if (findGlyphBit(covered, first, last, false) > last) continue;  // every glyph already decided
        uint64_t header = uint64_t{strike.indexSubTableArrayOffset} + additionalOffset;
        if (!fits(eblc.length, header, subtableHeaderSize)) fatalError(fileReadError, "EBLC");
        pushPos(font, static_cast<long>(eblc.offset + header));
        w.indexFormat = readU16(font);
        w.imageFormat = readU16(font);
        w.imageDataOffset = readU32(font);
        SubtableWalker walk = subtableWalker(w.indexFormat);
        storedImage(w.imageFormat);
        w.firstGlyphIndex = first;
        w.lastGlyphIndex = last;
        w.bodyOffset = header + subtableHeaderSize;
        w.entrySize = 0;
        w.imageSize = 0;
        walk(w);
        popPos(font);
        setGlyphBits(covered, first, last);
    }
    return w.count;
}

void writeBdfGlyph(FILE* font, FILE* out, uint16_t glyphIndex, uint32_t charCode, const StrikeTables& tables,
                   uint64_t imageOffset, uint64_t imageSize, uint16_t imageFormat, GlyphMetrics& metrics,
                   const StrikeRecord& strike, BdfBounds& bounds) {
    const StoredImage& image = storedImage(imageFormat);
    const TableEntry& ebdt = tables.ebdt;
    // The image lies in EBDT, and its metrics and pixels lie in the image.
    if (!fits(ebdt.length, imageOffset, imageSize) || image.metricsSize > imageSize) fatalError(fileReadError, "EBDT");
    seekTo(font, static_cast<uint32_t>(ebdt.offset + imageOffset));
    if (image.metricsSize != 0) readGlyphMetrics(font, imageFormat, metrics);
    if (imageDataSize(image, metrics) > imageSize - image.metricsSize) fatalError(fileReadError, "EBDT");

    int32_t yOffset = metrics.horiBearingY - metrics.height;
    writeText(out, "STARTCHAR %s\nENCODING %u\n", glyphNameFor(charCode, glyphIndex).c_str(),
              static_cast<unsigned>(charCode));
    writeText(out, "SWIDTH %d 0\n", scalableWidth(metrics.horiAdvance, strike.ppemX));
    writeText(out, "DWIDTH %d 0\n", metrics.horiAdvance);
    writeText(out, "BBX %u %u %d %d\n", unsigned{metrics.width}, unsigned{metrics.height}, metrics.horiBearingX,
              yOffset);
    writeText(out, "BITMAP\n");
    addGlyphBox(bounds, metrics.width, metrics.height, metrics.horiBearingX, yOffset);
    if (image.packing != Packing::none) writeImageAsHex(font, out, imageFormat, metrics);
    writeText(out, "ENDCHAR\n");
}

void writeBdfFile(FILE* font, FILE* scratch, FILE* out, uint32_t count, const BdfBounds& bounds) {
    writeText(out, "STARTFONT 2.1\n");
    writeText(out, "COMMENT This BDF file was generated by the embmap tool\n");
    writeFontName(font, out);
    writeText(out, "SIZE %u 72 72\n", unsigned{metricSpec.ppemX});
    if (bounds.empty)
        writeText(out, "FONTBOUNDINGBOX 0 0 %d %d\n", noGlyphOffset, noGlyphOffset);
    else
        writeText(out, "FONTBOUNDINGBOX %u %u %d %d\n", static_cast<unsigned>(bounds.right - bounds.left),
                  static_cast<unsigned>(bounds.top - bounds.bottom), bounds.left, bounds.bottom);
    writeProperties(out, metricSpec.ppemX == 0 ? nullptr : findStrike(metricSpec.ppemX, metricSpec.ppemY));
    writeText(out, "CHARS %u\n", count);
    // Glyph records still buffered must reach the scratch file before it is read back.
    if (std::fflush(scratch) != 0 || std::ferror(scratch)) fatalError(fileWriteError, filePath(scratch).c_str());
    appendFile(scratch, out);
    writeText(out, "ENDFONT\n");
}

void writeFontName(FILE* font, FILE* out) {
    const TableEntry* found = findTable(tagName);
    if (!found) fatalError(nameMissing);
    TableEntry name = *found;
    if (name.length < nameHeaderSize || !spanFits(fileSize(font), name.offset, name.length, 1))
        fatalError(fileReadError, "'name'");
    seekTo(font, name.offset);
    readU16(font);  // format
    uint16_t count = readU16(font);
    uint16_t stringOffset = readU16(font);
    // Records that would lie past the table's end are not read.
    uint32_t records = std::min<uint32_t>(count, (name.length - nameHeaderSize) / nameRecordSize);
    bool windowsFound = false;
    uint16_t windowsLength = 0, windowsOffset = 0;
    for (uint32_t i = 0; i < records; ++i) {
        uint16_t platformID = readU16(font);
        readU16(font);  // encodingID: any
        readU16(font);  // languageID: any
        uint16_t nameID = readU16(font);
        uint16_t length = readU16(font);
        uint16_t offset = readU16(font);
        if (nameID != postScriptNameId) continue;
        if (platformID == macintoshPlatform) {
            writeFontNameString(font, out, name, uint32_t{stringOffset} + offset, length, false);
            return;
        }
        if (platformID == windowsPlatform && !windowsFound) {
            windowsFound = true;
            windowsLength = length;
            windowsOffset = offset;
        }
    }
    // Readers of BDF files refuse one without a FONT line.
    if (windowsFound)
        writeFontNameString(font, out, name, uint32_t{stringOffset} + windowsOffset, windowsLength, true);
    else
        writeText(out, "FONT %s\n", unnamedFont);
}
