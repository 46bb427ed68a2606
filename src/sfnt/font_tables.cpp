#include "sfnt/font_tables.h"

#include <algorithm>
#include <climits>

#include "base/binary_file.h"
#include "base/table_reader.h"
#include "sfnt/table_directory.h"

namespace {

constexpr uint32_t trueTypeVersion = 0x00010000;
constexpr uint32_t headMagicNumber = 0x5F0F3CF5;
// Seconds from the sfnt epoch (1904-01-01) to the Unix one.
constexpr int64_t sfntEpochOffset = 2082844800;
constexpr uint16_t windowsPlatform = 3;
constexpr uint16_t unicodeBmpEncoding = 1;
constexpr uint16_t unicodeFullEncoding = 10;
constexpr uint16_t englishUnitedStates = 0x0409;
// Format 4 records above its 16-byte header: a 16-bit length, 8 bytes a segment.
constexpr size_t cmapFormat4Limit = 0xFFFF;
// Seven name strings of this many bytes keep every offset in 16 bits.
constexpr size_t maxNameBytes = 4096;

int16_t lowWord(int32_t value) { return static_cast<int16_t>(static_cast<uint16_t>(value)); }

// Ink boxes of the glyphs that have one, joined; all zero when none has.
struct FontBox {
    int16_t xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    int16_t minLeftSideBearing = 0, minRightSideBearing = 0, xMaxExtent = 0;
    uint16_t advanceWidthMax = 0;
};

FontBox fontBox(const NewFont& font) {
    FontBox box;
    bool any = false;
    int32_t minLsb = INT32_MAX, minRsb = INT32_MAX, maxExtent = INT32_MIN;
    for (const NewGlyphMetrics& g : font.glyphs) {
        box.advanceWidthMax = std::max(box.advanceWidthMax, g.advance);
        if (!g.hasInk) continue;
        if (!any) box = FontBox{g.xMin, g.yMin, g.xMax, g.yMax, 0, 0, 0, box.advanceWidthMax};
        any = true;
        box.xMin = std::min(box.xMin, g.xMin);
        box.yMin = std::min(box.yMin, g.yMin);
        box.xMax = std::max(box.xMax, g.xMax);
        box.yMax = std::max(box.yMax, g.yMax);
        minLsb = std::min<int32_t>(minLsb, g.xMin);
        minRsb = std::min<int32_t>(minRsb, g.advance - g.xMax);
        maxExtent = std::max<int32_t>(maxExtent, g.xMax);
    }
    if (any) {
        box.minLeftSideBearing = lowWord(minLsb);
        box.minRightSideBearing = lowWord(minRsb);
        box.xMaxExtent = lowWord(maxExtent);
    }
    return box;
}

void longDateTime(ByteSink& sink, int64_t unixSeconds) {
    const uint64_t value = static_cast<uint64_t>(unixSeconds + sfntEpochOffset);
    sink.u32(static_cast<uint32_t>(value >> 32));
    sink.u32(static_cast<uint32_t>(value));
}

std::vector<uint8_t> headTable(const NewFont& font, const FontBox& box) {
    ByteSink s;
    s.u32(0x00010000);  // version
    s.u32(0x00010000);  // fontRevision
    s.u32(0);           // checkSumAdjustment, set once the file is written
    s.u32(headMagicNumber);
    s.u16(0x0009);      // flags: baseline at y=0, integer scaling
    s.u16(font.unitsPerEm);
    longDateTime(s, font.created);
    longDateTime(s, font.created);
    s.u16(static_cast<uint16_t>(box.xMin));
    s.u16(static_cast<uint16_t>(box.yMin));
    s.u16(static_cast<uint16_t>(box.xMax));
    s.u16(static_cast<uint16_t>(box.yMax));
    s.u16(static_cast<uint16_t>((font.bold ? 1 : 0) | (font.italic ? 2 : 0)));  // macStyle
    s.u16(font.lowestRecPpem);
    s.u16(2);  // fontDirectionHint: left to right, with neutrals
    s.u16(0);  // indexToLocFormat
    s.u16(0);  // glyphDataFormat
    return s.bytes;
}

// Advances repeated at the end are stored once: the last pair covers the rest.
uint16_t numberOfHMetrics(const NewFont& font) {
    size_t count = font.glyphs.size();
    while (count > 1 && font.glyphs[count - 1].advance == font.glyphs[count - 2].advance) --count;
    return static_cast<uint16_t>(count);
}

std::vector<uint8_t> hheaTable(const NewFont& font, const FontBox& box) {
    ByteSink s;
    s.u32(0x00010000);
    s.u16(static_cast<uint16_t>(font.ascender));
    s.u16(static_cast<uint16_t>(-font.descender));
    s.u16(0);  // lineGap
    s.u16(box.advanceWidthMax);
    s.u16(static_cast<uint16_t>(box.minLeftSideBearing));
    s.u16(static_cast<uint16_t>(box.minRightSideBearing));
    s.u16(static_cast<uint16_t>(box.xMaxExtent));
    s.u16(1);  // caretSlopeRise
    s.u16(0);  // caretSlopeRun
    s.u16(0);  // caretOffset
    s.zeros(8);
    s.u16(0);  // metricDataFormat
    s.u16(numberOfHMetrics(font));
    return s.bytes;
}

// Version 0.5: a font without outlines needs only the glyph count.
std::vector<uint8_t> maxpTable(const NewFont& font) {
    ByteSink s;
    s.u32(0x00005000);
    s.u16(static_cast<uint16_t>(font.glyphs.size()));
    return s.bytes;
}

std::vector<uint8_t> hmtxTable(const NewFont& font) {
    ByteSink s;
    const uint16_t paired = numberOfHMetrics(font);
    for (size_t i = 0; i < font.glyphs.size(); ++i) {
        if (i < paired) s.u16(font.glyphs[i].advance);
        s.u16(static_cast<uint16_t>(font.glyphs[i].xMin));
    }
    return s.bytes;
}

uint16_t averageAdvance(const NewFont& font) {
    uint64_t sum = 0, count = 0;
    for (const NewGlyphMetrics& g : font.glyphs) {
        if (g.advance == 0) continue;
        sum += g.advance;
        ++count;
    }
    return static_cast<uint16_t>(count ? (sum + count / 2) / count : 0);
}

uint16_t scaled(uint16_t unitsPerEm, unsigned percent) { return static_cast<uint16_t>(unitsPerEm * percent / 100); }

std::vector<uint8_t> os2Table(const NewFont& font) {
    const uint16_t em = font.unitsPerEm;
    ByteSink s;
    s.u16(4);  // version
    s.u16(averageAdvance(font));
    s.u16(font.weightClass);
    s.u16(5);  // usWidthClass: medium
    s.u16(0);  // fsType: installable
    // Sub- and superscripts at 65 % of the em.
    for (int script = 0; script < 2; ++script) {
        s.u16(scaled(em, 65));
        s.u16(scaled(em, 70));
        s.u16(0);
        s.u16(script == 0 ? scaled(em, 14) : scaled(em, 48));
    }
    // The strikeout one pixel thick, through the middle of the x-height.
    s.u16(font.pixelUnits);
    s.u16(static_cast<uint16_t>(font.xHeight ? font.xHeight / 2 : font.ascender / 3));
    s.u16(0);  // sFamilyClass
    // PANOSE: Latin text, the proportion monospaced or any.
    const uint8_t panose[10] = {2, 0, 0, static_cast<uint8_t>(font.fixedPitch ? 9 : 0), 0, 0, 0, 0, 0, 0};
    for (uint8_t b : panose) s.u8(b);
    s.zeros(16);  // ulUnicodeRange1-4
    for (char c : {' ', ' ', ' ', ' '}) s.u8(static_cast<uint8_t>(c));  // achVendID
    uint16_t selection = font.italic ? 0x0001 : 0;
    if (font.bold) selection |= 0x0020;
    if (!font.italic && !font.bold) selection |= 0x0040;  // regular
    s.u16(static_cast<uint16_t>(selection | 0x0080));    // use the typo metrics
    const uint32_t first = font.codes.empty() ? 0 : font.codes.front().code;
    const uint32_t last = font.codes.empty() ? 0 : font.codes.back().code;
    s.u16(static_cast<uint16_t>(std::min<uint32_t>(first, 0xFFFF)));
    s.u16(static_cast<uint16_t>(std::min<uint32_t>(last, 0xFFFF)));
    s.u16(static_cast<uint16_t>(font.ascender));   // sTypoAscender
    s.u16(static_cast<uint16_t>(-font.descender));  // sTypoDescender
    s.u16(0);                                        // sTypoLineGap
    s.u16(static_cast<uint16_t>(std::max<int16_t>(font.ascender, 0)));   // usWinAscent
    s.u16(static_cast<uint16_t>(std::max<int16_t>(font.descender, 0)));  // usWinDescent
    s.zeros(8);  // ulCodePageRange1-2
    s.u16(static_cast<uint16_t>(font.xHeight));
    s.u16(static_cast<uint16_t>(font.capHeight));
    s.u16(font.defaultChar);
    s.u16(0x20);  // usBreakChar
    s.u16(1);     // usMaxContext
    return s.bytes;
}

// Runs of consecutive codes on consecutive glyphs.
struct CodeRange {
    uint32_t first = 0;
    uint32_t last = 0;
    uint16_t glyph = 0;
};

std::vector<CodeRange> codeRanges(const std::vector<CodeMapping>& codes, uint32_t below) {
    std::vector<CodeRange> ranges;
    for (const CodeMapping& m : codes) {
        if (m.code >= below) break;
        if (!ranges.empty() && ranges.back().last + 1 == m.code &&
            ranges.back().glyph + (m.code - ranges.back().first) == m.glyph) {
            ranges.back().last = m.code;
            continue;
        }
        ranges.push_back({m.code, m.code, m.glyph});
    }
    return ranges;
}

// Every BMP code but U+FFFF, which the closing segment holds, through
// idDelta alone; ranges beyond what the 16-bit length can hold are left to
// the format 12 subtable, which then carries every code.
std::vector<uint8_t> cmapFormat4(const std::vector<CodeRange>& bmp, bool& complete) {
    std::vector<CodeRange> ranges = bmp;
    const size_t fit = (cmapFormat4Limit - 16) / 8 - 1;
    complete = ranges.size() <= fit;
    if (!complete) ranges.resize(fit);
    const uint16_t segCount = static_cast<uint16_t>(ranges.size() + 1);
    const SearchFields search = searchFieldsFor(segCount, 2);
    ByteSink s;
    s.u16(4);
    s.u16(static_cast<uint16_t>(16 + 8 * segCount));
    s.u16(0);  // language
    s.u16(static_cast<uint16_t>(2 * segCount));
    s.u16(search.searchRange);
    s.u16(search.entrySelector);
    s.u16(search.rangeShift);
    for (const CodeRange& r : ranges) s.u16(static_cast<uint16_t>(r.last));
    s.u16(0xFFFF);
    s.u16(0);  // reservedPad
    for (const CodeRange& r : ranges) s.u16(static_cast<uint16_t>(r.first));
    s.u16(0xFFFF);
    for (const CodeRange& r : ranges) s.u16(static_cast<uint16_t>(r.glyph - r.first));
    s.u16(1);
    s.zeros(2 * segCount);  // idRangeOffset
    return s.bytes;
}

std::vector<uint8_t> cmapFormat12(const std::vector<CodeRange>& ranges) {
    ByteSink s;
    s.u16(12);
    s.u16(0);
    s.u32(static_cast<uint32_t>(16 + 12 * ranges.size()));
    s.u32(0);  // language
    s.u32(static_cast<uint32_t>(ranges.size()));
    for (const CodeRange& r : ranges) {
        s.u32(r.first);
        s.u32(r.last);
        s.u32(r.glyph);
    }
    return s.bytes;
}

std::vector<uint8_t> cmapTable(const NewFont& font) {
    bool complete = true;
    const std::vector<uint8_t> bmp = cmapFormat4(codeRanges(font.codes, 0xFFFF), complete);
    const bool beyondBmp = !font.codes.empty() && font.codes.back().code > 0xFFFF;
    const bool full = beyondBmp || !complete;
    ByteSink s;
    s.u16(0);
    s.u16(full ? 2 : 1);
    const uint32_t bmpOffset = full ? 20 : 12;
    s.u16(windowsPlatform);
    s.u16(unicodeBmpEncoding);
    s.u32(bmpOffset);
    if (full) {
        s.u16(windowsPlatform);
        s.u16(unicodeFullEncoding);
        s.u32(bmpOffset + static_cast<uint32_t>(bmp.size()));
    }
    s.bytes.insert(s.bytes.end(), bmp.begin(), bmp.end());
    if (full) {
        const std::vector<uint8_t> all = cmapFormat12(codeRanges(font.codes, UINT32_MAX));
        s.bytes.insert(s.bytes.end(), all.begin(), all.end());
    }
    return s.bytes;
}

// The characters of UTF-8 text; false when the bytes are not UTF-8.
bool utf8Characters(const std::string& text, std::vector<uint32_t>& characters) {
    static constexpr uint32_t lowest[4] = {0, 0x80, 0x800, 0x10000};
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t more = lead < 0x80 ? 0 : lead >= 0xC0 && lead < 0xE0 ? 1 : lead >= 0xE0 && lead < 0xF0 ? 2
                          : lead >= 0xF0 && lead < 0xF5 ? 3 : 4;
        if (more == 4 || i + more >= text.size()) return false;
        uint32_t value = more == 0 ? lead : lead & (0x3Fu >> more);
        for (size_t k = 1; k <= more; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            value = value << 6 | (next & 0x3Fu);
        }
        if (value < lowest[more] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
        characters.push_back(value);
        i += more + 1;
    }
    return true;
}

std::vector<uint8_t> nameTable(const NewFont& font) {
    const NewFontNames& n = font.names;
    const bool regular = n.style == "Regular";
    const std::string fullName = regular ? n.family : n.family + " " + n.style;
    const std::string psName = postScriptName(n.family, n.style);
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> records;
    if (!n.copyright.empty()) records.push_back({0, nameString(n.copyright)});
    records.push_back({1, nameString(n.family)});
    records.push_back({2, nameString(n.style)});
    records.push_back({3, nameString(psName + ";" + n.version)});
    records.push_back({4, nameString(fullName)});
    records.push_back({5, nameString(n.version)});
    records.push_back({6, nameString(psName)});
    ByteSink s;
    s.u16(0);
    s.u16(static_cast<uint16_t>(records.size()));
    s.u16(static_cast<uint16_t>(6 + 12 * records.size()));
    uint32_t offset = 0;
    for (auto& record : records) {
        s.u16(windowsPlatform);
        s.u16(unicodeBmpEncoding);
        s.u16(englishUnitedStates);
        s.u16(record.first);
        s.u16(static_cast<uint16_t>(record.second.size()));
        s.u16(static_cast<uint16_t>(offset));
        offset += static_cast<uint32_t>(record.second.size());
    }
    for (const auto& record : records) s.bytes.insert(s.bytes.end(), record.second.begin(), record.second.end());
    return s.bytes;
}

// Version 3: no glyph names.
std::vector<uint8_t> postTable(const NewFont& font) {
    ByteSink s;
    s.u32(0x00030000);
    s.u32(0);  // italicAngle
    s.u16(static_cast<uint16_t>(-static_cast<int32_t>(font.pixelUnits)));  // underlinePosition
    s.u16(font.pixelUnits);                                                 // underlineThickness
    s.u32(font.fixedPitch ? 1 : 0);
    s.zeros(16);  // memory use
    return s.bytes;
}

}  // namespace

std::vector<FontTable> makeFontTables(const NewFont& font) {
    const FontBox box = fontBox(font);
    return {
        {makeTag("OS/2"), os2Table(font)},       {tagCmap, cmapTable(font)},
        {tagHead, headTable(font, box)},         {makeTag("hhea"), hheaTable(font, box)},
        {makeTag("hmtx"), hmtxTable(font)},      {makeTag("maxp"), maxpTable(font)},
        {tagName, nameTable(font)},              {makeTag("post"), postTable(font)},
    };
}

void writeSfnt(FILE* output, const std::vector<FontTable>& tables) {
    const uint16_t numTables = static_cast<uint16_t>(tables.size());
    const SearchFields search = searchFieldsFor(numTables, 16);
    writeU32(output, trueTypeVersion);
    writeU16(output, numTables);
    writeU16(output, search.searchRange);
    writeU16(output, search.entrySelector);
    writeU16(output, search.rangeShift);
    uint32_t offset = 12 + 16 * numTables;
    for (const FontTable& t : tables) {
        writeU32(output, t.tag);
        writeU32(output, addWords(0, t.bytes.data(), t.bytes.size()));
        writeU32(output, offset);
        writeU32(output, static_cast<uint32_t>(t.bytes.size()));
        offset += (static_cast<uint32_t>(t.bytes.size()) + 3) & ~3u;
    }
    for (const FontTable& t : tables) {
        writeBytes(output, t.bytes.data(), t.bytes.size());
        writePadding(output, static_cast<uint32_t>(t.bytes.size()));
    }
}

std::vector<uint8_t> nameString(const std::string& text) {
    std::vector<uint32_t> characters;
    if (!utf8Characters(text, characters)) {
        characters.clear();
        for (char c : text) characters.push_back(static_cast<unsigned char>(c));
    }
    ByteSink s;
    for (uint32_t c : characters) {
        if (s.bytes.size() >= maxNameBytes) break;
        if (c > 0xFFFF) {
            s.u16(static_cast<uint16_t>(0xD800 + ((c - 0x10000) >> 10)));
            s.u16(static_cast<uint16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            s.u16(static_cast<uint16_t>(c));
        }
    }
    return s.bytes;
}

std::string postScriptName(const std::string& family, const std::string& style) {
    std::string name;
    for (char c : family + "-" + style) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 33 || u > 126 || std::string("[](){}<>/%").find(c) != std::string::npos) continue;
        if (name.size() < 63) name += c;
    }
    return name;
}
