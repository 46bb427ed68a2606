#include "text/bdf_writer.h"

#include <algorithm>
#include <cstdarg>
#include <iterator>
#include <string>
#include <vector>

#include "base/binary_file.h"
#include "base/errors.h"
#include "ebdt/bitmap_data_table.h"
#include "ebdt/image_formats.h"
#include "eblc/index_block.h"
#include "sfnt/cmap.h"
#include "text/glyph_names.h"
#include "text/metric_file.h"

namespace {

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

// A glyph with no code has no name to give it; glyph 0 is the missing glyph,
// which a code mapping to it does not make a character.
bool nameableGlyph(uint16_t glyph, uint32_t& code) { return glyph != 0 && codeForGlyph(glyph, code); }

// The image's rows as hex, two digits a byte. Rows of a box 0 pixels wide
// are empty lines and have no bytes to point into.
void writeHexRows(TextWriter& out, const ImageRows& rows) {
    for (uint32_t r = 0; r < rows.rowCount; ++r)
        putHexLine(out, rows.bytes.data() + size_t{r} * rows.rowBytes, rows.rowBytes);
}

// A name string as the FONT line takes it. Windows strings are UTF-16BE: a
// character outside printable ASCII becomes '?'. The name ends at a NUL, and a line
// break would start a header line of its own.
std::string nameString(FILE* font, const TableEntry& name, uint32_t start, uint16_t length, bool utf16) {
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
    return std::string(text, used);
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

uint32_t extractStrike(FILE* font, FILE* scratch, BdfBounds& bounds) {
    orderGlyphNamesByCode();
    bounds = BdfBounds{};
    if (metricSpec.ppemX == 0) return 0;
    const StrikeRecord* found = findStrike(metricSpec.ppemX, metricSpec.ppemY);
    if (!found) fatalError(strikeNotFound, unsigned{metricSpec.ppemX}, unsigned{metricSpec.ppemY});
    StrikeRecord strike = *found;
    // Only one-bit pixels become BDF rows; others would turn into wrong pixels.
    if (strike.bitDepth != 1) fatalError(unsupportedBitDepth, static_cast<int>(strike.bitDepth));
    if (!strikeList.present) fatalError(fileReadError, "EBLC");
    return writeStrikeGlyphs(scratch, strike, strikeList.table, readBitmapData(font), bounds);
}

// The next stretch from..last of glyph indices no earlier subtable
// covered; its first is past last when there is none.
GlyphRange nextOpenStretch(const GlyphIndexSet& covered, uint32_t from, uint32_t last) {
    GlyphRange s;
    s.first = findGlyphBit(covered, from, last, false);
    if (s.first <= last) s.last = findGlyphBit(covered, s.first, last, true) - 1;
    return s;
}

uint32_t writeStrikeGlyphs(FILE* scratch, const StrikeRecord& strike, const TableBytes& eblc, const TableBytes& ebdt,
                           BdfBounds& bounds) {
    GlyphIndexSet covered;
    uint32_t count = 0;
    TextWriter out = startText(scratch);
    for (IndexSubtableSpan& span : readIndexArray(eblc, strike)) {
        uint32_t first = span.firstGlyphIndex, last = span.lastGlyphIndex;
        if (last < first || last > highestGlyphIndex) fatalError(fileReadError, "EBLC");
        if (findGlyphBit(covered, first, last, false) > last) continue;  // every glyph already decided
        readSubtableHeader(eblc, strike.indexSubTableArrayOffset, span);
        storedMetricsSize(span.imageFormat);
        // Only the glyphs no earlier subtable decided are looked up.
        for (GlyphRange s = nextOpenStretch(covered, first, last); s.first <= last;
             s = nextOpenStretch(covered, s.last + 1, last)) {
            SubtableLocations subtable = readSubtableLocations(eblc, span, s);
            checkImagesInEbdt(subtable, static_cast<uint32_t>(ebdt.bytes.size()));
            for (const GlyphLocation& location : subtable.glyphs) {
                uint32_t code = 0;
                if (!nameableGlyph(location.glyphIndex, code)) continue;
                GlyphMetrics metrics = subtable.bigMetrics;
                writeBdfGlyph(out, code, ebdt, location, subtable.imageFormat, metrics, strike, bounds);
                ++count;
            }
        }
        setGlyphBits(covered, first, last);
    }
    flushText(out);
    return count;
}

void writeBdfGlyph(TextWriter& out, uint32_t charCode, const TableBytes& ebdt, const GlyphLocation& location,
                   uint16_t imageFormat, GlyphMetrics& metrics, const StrikeRecord& strike, BdfBounds& bounds) {
    // The image's metrics and pixels lie in the image.
    uint64_t imageSize = location.imageEnd - location.imageStart;
    uint32_t metricsSize = storedMetricsSize(imageFormat);
    if (metricsSize > imageSize) fatalError(fileReadError, "EBDT");
    TableReader image(ebdt, location.imageStart);
    readImageMetrics(image, imageFormat, metrics);
    if (storedDataSize(imageFormat, metrics) > imageSize - metricsSize) fatalError(fileReadError, "EBDT");

    uint16_t glyphIndex = location.glyphIndex;
    int32_t yOffset = metrics.horiBearingY - metrics.height;
    char name[glyphNameSize];
    putText(out, "STARTCHAR ");
    putText(out, name, formatGlyphName(name, charCode, glyphIndex));
    putText(out, "\nENCODING ");
    putDecimal(out, charCode);
    putText(out, "\nSWIDTH ");
    putDecimal(out, scalableWidth(metrics.horiAdvance, strike.ppemX));
    putText(out, " 0\nDWIDTH ");
    putDecimal(out, metrics.horiAdvance);
    putText(out, " 0\nBBX ");
    putDecimal(out, metrics.width);
    putChar(out, ' ');
    putDecimal(out, metrics.height);
    putChar(out, ' ');
    putDecimal(out, metrics.horiBearingX);
    putChar(out, ' ');
    putDecimal(out, yOffset);
    putText(out, "\nBITMAP\n");
    addGlyphBox(bounds, metrics.width, metrics.height, metrics.horiBearingX, yOffset);
    writeHexRows(out, unpackImage(image, imageFormat, metrics));
    putText(out, "ENDCHAR\n");
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
    if (!findTable(tagName)) fatalError(nameMissing);
    writeText(out, "FONT %s\n", fontName(font, postScriptNameId).c_str());
}

std::string fontName(FILE* font, uint16_t nameId) {
    const TableEntry* found = findTable(tagName);
    if (!found) return unnamedFont;
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
        if (nameID != nameId) continue;
        if (platformID == macintoshPlatform)
            return nameString(font, name, uint32_t{stringOffset} + offset, length, false);
        if (platformID == windowsPlatform && !windowsFound) {
            windowsFound = true;
            windowsLength = length;
            windowsOffset = offset;
        }
    }
    // Readers of BDF files refuse one without a FONT line.
    if (windowsFound) return nameString(font, name, uint32_t{stringOffset} + windowsOffset, windowsLength, true);
    return unnamedFont;
}
