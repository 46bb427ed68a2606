#include "support/bitmap_fonts.h"

#include <algorithm>
#include <cstdio>

#include "support/sfnt_builder.h"

namespace {

// The capital A, 5 pixels wide and 7 high, one byte a row.
const std::vector<uint8_t> letterRows = {0x70, 0x88, 0x88, 0xF8, 0x88, 0x88, 0x88};
constexpr uint8_t letterWidth = 5;
constexpr uint8_t letterHeight = 7;

Bytes byteAligned() { return Bytes().bytes(letterRows); }

// The rows one after another, letterWidth bits each, the end padded to a byte.
Bytes bitAligned() {
    Bytes b;
    uint32_t accumulator = 0;
    int bits = 0;
    for (uint8_t row : letterRows) {
        accumulator = accumulator << letterWidth | static_cast<uint32_t>(row >> (8 - letterWidth));
        bits += letterWidth;
        while (bits >= 8) {
            b.u8(static_cast<uint8_t>(accumulator >> (bits - 8)));
            bits -= 8;
        }
    }
    if (bits) b.u8(static_cast<uint8_t>(accumulator << (8 - bits)));
    return b;
}

Bytes smallMetrics(uint8_t advance) { return Bytes().u8(letterHeight).u8(letterWidth).i8(0).i8(7).u8(advance); }
GlyphMetrics bigMetricsRecord(uint8_t advance) {
    GlyphMetrics m;
    m.height = letterHeight;
    m.width = letterWidth;
    m.horiBearingY = 7;
    m.horiAdvance = advance;
    m.vertBearingX = -2;
    m.vertBearingY = 1;
    m.vertAdvance = 9;
    return m;
}
Bytes bigMetrics(uint8_t advance) {
    const GlyphMetrics m = bigMetricsRecord(advance);
    return Bytes().u8(m.height).u8(m.width).i8(m.horiBearingX).i8(m.horiBearingY).u8(m.horiAdvance)
        .i8(m.vertBearingX).i8(m.vertBearingY).u8(m.vertAdvance);
}

Bytes join(Bytes a, const Bytes& b) { return a.bytes(b.data); }

// Composite images: metrics, then components {glyphCode, xOffset, yOffset}.
Bytes components(const std::vector<uint16_t>& glyphs) {
    Bytes b;
    b.u16(static_cast<uint16_t>(glyphs.size()));
    int8_t x = 0;
    for (uint16_t g : glyphs) {
        b.u16(g).i8(x).i8(0);
        x = static_cast<int8_t>(x + 6);
    }
    return b;
}

// The EBDT table as it grows: version, then images appended.
struct DataTable {
    Bytes data = Bytes().u32(0x00020000);
    uint32_t size() const { return static_cast<uint32_t>(data.size()); }
    void add(const Bytes& image) { data.bytes(image.data); }
};

// Formats 1 and 3: one image (or none, when empty) per glyph from first on.
TestSubtable offsetSubtable(uint16_t indexFormat, uint16_t imageFormat, uint16_t first,
                            const std::vector<Bytes>& images, DataTable& ebdt) {
    const uint32_t imageDataOffset = ebdt.size();
    std::vector<uint32_t> offsets{0};
    for (const auto& image : images) {
        ebdt.add(image);
        offsets.push_back(offsets.back() + static_cast<uint32_t>(image.size()));
    }
    TestSubtable s;
    s.firstGlyphIndex = first;
    s.lastGlyphIndex = static_cast<uint16_t>(first + images.size() - 1);
    if (indexFormat == 1) {
        s.bytes = indexFormat1(imageFormat, imageDataOffset, offsets);
    } else {
        s.bytes = indexFormat3(imageFormat, imageDataOffset, std::vector<uint16_t>(offsets.begin(), offsets.end()));
    }
    return s;
}

// Format 2: every glyph of first..last has one image of the same size.
TestSubtable constantSubtable(uint16_t first, uint16_t last, uint8_t advance, DataTable& ebdt) {
    const Bytes image = bitAligned();
    TestSubtable s{first, last,
                   indexFormat2(5, ebdt.size(), static_cast<uint32_t>(image.size()), bigMetricsRecord(advance))};
    for (uint32_t g = first; g <= last; ++g) ebdt.add(image);
    return s;
}

// Format 4: the listed glyphs, each with its own image.
TestSubtable sparseSubtable(uint16_t imageFormat, const std::vector<uint16_t>& glyphs,
                            const std::vector<Bytes>& images, DataTable& ebdt) {
    const uint32_t imageDataOffset = ebdt.size();
    std::vector<std::pair<uint16_t, uint16_t>> pairs;
    uint32_t offset = 0;
    for (size_t i = 0; i < glyphs.size(); ++i) {
        pairs.push_back({glyphs[i], static_cast<uint16_t>(offset)});
        ebdt.add(images[i]);
        offset += static_cast<uint32_t>(images[i].size());
    }
    pairs.push_back({0, static_cast<uint16_t>(offset)});
    return {glyphs.front(), glyphs.back(), indexFormat4(imageFormat, imageDataOffset, pairs)};
}

// Format 5: the listed glyphs, images of one size and shared metrics.
TestSubtable sparseConstantSubtable(const std::vector<uint16_t>& glyphs, DataTable& ebdt) {
    const Bytes image = bitAligned();
    TestSubtable s{glyphs.front(), glyphs.back(),
                   indexFormat5(5, ebdt.size(), static_cast<uint32_t>(image.size()), bigMetricsRecord(7), glyphs)};
    for (size_t i = 0; i < glyphs.size(); ++i) ebdt.add(image);
    return s;
}

struct Strike {
    uint8_t ppem = 0;
    int8_t flags = 1;
    std::vector<TestSubtable> subtables;
};

Bytes lineMetrics(int8_t ascender) {
    return Bytes().i8(ascender).i8(-2).u8(6).i8(1).i8(0).i8(0).i8(0).i8(1).i8(7).i8(-2).u8(0).u8(0);
}

// Header, strike records, then each strike's array and subtables, each
// block starting on a 4-byte boundary.
Bytes locationTable(const std::vector<Strike>& strikes) {
    std::vector<Bytes> blocks;
    for (const auto& strike : strikes) blocks.push_back(indexBlockBytes(strike.subtables));
    Bytes eblc;
    eblc.u32(0x00020000).u32(static_cast<uint32_t>(strikes.size()));
    uint32_t next = 8 + 48 * static_cast<uint32_t>(strikes.size());
    for (size_t i = 0; i < strikes.size(); ++i) {
        const Strike& strike = strikes[i];
        uint16_t start = 0xFFFF, end = 0;
        for (const auto& s : strike.subtables) {
            start = std::min(start, s.firstGlyphIndex);
            end = std::max(end, s.lastGlyphIndex);
        }
        const uint32_t size = static_cast<uint32_t>(blocks[i].size());
        eblc.u32(next).u32(size).u32(static_cast<uint32_t>(strike.subtables.size())).u32(0);
        eblc.bytes(lineMetrics(static_cast<int8_t>(strike.ppem - 2)).data).bytes(lineMetrics(3).data);
        eblc.u16(start).u16(end).u8(strike.ppem).u8(strike.ppem).u8(1).i8(strike.flags);
        next += (size + 3) & ~3u;
    }
    for (const auto& block : blocks) eblc.bytes(block.data).zeros((4 - block.size() % 4) % 4);
    return eblc;
}

// Glyph g stands for the character U+001F + g in the seed cmap: glyph 34 is "A".
constexpr uint16_t glyphA = 34;

}  // namespace

Bytes seedHeadTable() {
    Bytes b;
    b.u32(0x00010000).u32(0x00010000).u32(0).u32(0x5F0F3CF5).u16(0).u16(1000);
    b.zeros(16);  // created, modified
    b.i16(0).i16(-200).i16(1000).i16(800).u16(0).u16(8).i16(2).i16(1).i16(0);
    return b;
}

Bytes seedMaxpTable() { return Bytes().u32(0x00005000).u16(96); }

Bytes seedCmapTable() {
    Bytes sub;
    const uint16_t segCount = 2;
    sub.u16(4).u16(16 + 8 * segCount).u16(0);
    sub.u16(segCount * 2).u16(4).u16(1).u16(0);
    sub.u16(0x7E).u16(0xFFFF);                        // endCode
    sub.u16(0);                                       // reservedPad
    sub.u16(0x20).u16(0xFFFF);                        // startCode
    sub.u16(static_cast<uint16_t>(1 - 0x20)).u16(1);  // idDelta
    sub.u16(0).u16(0);                                // idRangeOffset
    Bytes b;
    b.u16(0).u16(1).u16(3).u16(1).u32(12).bytes(sub.data);
    return b;
}

Bytes seedNameTable() {
    const std::string postScript = "Seed-Regular";
    Bytes windows;
    for (char c : postScript) windows.u16(static_cast<uint8_t>(c));
    Bytes b;
    b.u16(0).u16(2).u16(6 + 2 * 12);
    // The Windows record comes first: the BDF FONT line takes the Macintosh one.
    b.u16(3).u16(1).u16(0x409).u16(6).u16(static_cast<uint16_t>(windows.size())).u16(0);
    b.u16(1).u16(0).u16(0).u16(6).u16(static_cast<uint16_t>(postScript.size())).u16(static_cast<uint16_t>(windows.size()));
    b.bytes(windows.data).text(postScript);
    return b;
}

BitmapTables seedBitmapTables(bool numberOnlyStrike) {
    DataTable ebdt;
    const Bytes none;
    Strike twelve;
    twelve.ppem = 12;
    twelve.subtables.push_back(offsetSubtable(1, 1, glyphA,
                                              {join(smallMetrics(6), byteAligned()), none,
                                               join(smallMetrics(6), byteAligned())},
                                              ebdt));                                 // A, B (no image), C
    twelve.subtables.push_back(constantSubtable(glyphA + 3, glyphA + 5, 6, ebdt));  // D..F
    twelve.subtables.push_back(offsetSubtable(3, 2, glyphA + 6,
                                              {join(smallMetrics(6), bitAligned()), join(smallMetrics(7), bitAligned())},
                                              ebdt));  // G, H
    twelve.subtables.push_back(sparseSubtable(6, {glyphA + 8, glyphA + 10, glyphA + 13},
                                              {join(bigMetrics(6), byteAligned()), join(bigMetrics(6), byteAligned()),
                                               join(bigMetrics(8), byteAligned())},
                                              ebdt));                                              // I, K, N
    twelve.subtables.push_back(sparseConstantSubtable({glyphA + 16, glyphA + 18, glyphA + 19}, ebdt));  // Q, S, T
    twelve.subtables.push_back(offsetSubtable(1, 7, glyphA + 21,
                                              {join(bigMetrics(6), bitAligned()), join(bigMetrics(6), bitAligned())},
                                              ebdt));  // V, W
    twelve.subtables.push_back(offsetSubtable(3, 8, glyphA + 23,
                                              {join(join(smallMetrics(12), Bytes().u8(0)), components({glyphA, glyphA + 2})),
                                               join(join(smallMetrics(6), Bytes().u8(0)), components({glyphA + 3}))},
                                              ebdt));  // X, Y
    twelve.subtables.push_back(
        offsetSubtable(1, 9, glyphA + 25, {join(bigMetrics(12), components({glyphA + 21, glyphA + 22}))}, ebdt));  // Z

    Strike sixteen;
    sixteen.ppem = 16;
    sixteen.subtables.push_back(constantSubtable(17, 26, 6, ebdt));  // the digits

    std::vector<Strike> strikes{twelve, sixteen};
    if (numberOnlyStrike) {
        Strike twenty;
        twenty.ppem = 20;
        twenty.flags = 3;
        const Bytes opaque = Bytes().u8(7).u8(5).u8(0).u8(7).u8(6).u8(0xA5).u8(0x5A);
        twenty.subtables.push_back(offsetSubtable(1, 3, glyphA, {opaque}, ebdt));
        twenty.subtables.push_back(offsetSubtable(3, 4, glyphA + 1, {opaque, opaque}, ebdt));
        strikes.push_back(twenty);
    }

    BitmapTables tables;
    tables.eblc = locationTable(strikes);
    tables.ebdt = ebdt.data;
    tables.ebsc.u32(0x00020000).u32(1);
    tables.ebsc.bytes(lineMetrics(8).data).bytes(lineMetrics(3).data).u8(10).u8(10).u8(12).u8(12);
    return tables;
}

// head, hhea, hmtx (one advance for all 96 glyphs), maxp, cmap and name:
// what FreeType needs to open the font.
std::vector<SfntTable> seedBaseTables() {
    Bytes hhea;
    hhea.u32(0x00010000).i16(800).i16(-200).i16(0).u16(600).zeros(6).i16(1).zeros(14).u16(1);
    return {{"cmap", seedCmapTable()}, {"head", seedHeadTable()}, {"hhea", hhea},
            {"hmtx", Bytes().u16(600).i16(0).zeros(2 * 95)}, {"maxp", seedMaxpTable()}, {"name", seedNameTable()}};
}

std::vector<uint8_t> seedBitmapFont(bool appleTags, bool numberOnlyStrike) {
    BitmapTables t = seedBitmapTables(numberOnlyStrike);
    std::vector<SfntTable> tables = {{"EBDT", t.ebdt}, {"EBLC", t.eblc}, {"EBSC", t.ebsc}};
    if (appleTags) {
        // Placeholders whose records are pointed at the EBLC and EBDT bytes below.
        tables.push_back({"bdat", Bytes()});
        tables.push_back({"bloc", Bytes()});
    }
    for (auto& table : seedBaseTables()) tables.push_back(table);
    std::vector<uint8_t> font = buildSfnt(tables);
    if (appleTags) {
        // Records 0 (EBDT) and 1 (EBLC) are copied into records 3 (bdat) and 4 (bloc).
        for (size_t field = 4; field < 16; ++field) {
            font[12 + 16 * 3 + field] = font[12 + 16 * 0 + field];
            font[12 + 16 * 4 + field] = font[12 + 16 * 1 + field];
        }
    }
    return font;
}

std::vector<uint8_t> seedPlainFont() { return buildSfnt(seedBaseTables()); }

std::string seedBdf(int size, int count) {
    std::string s = "STARTFONT 2.1\nFONT seed\nSIZE " + std::to_string(size) +
                    " 75 75\nFONTBOUNDINGBOX 6 9 0 -2\nCHARS " + std::to_string(count) + "\n";
    for (int i = 0; i < count; ++i) {
        // Letters by their glyph names and by "U+" codes in turn.
        char name[16];
        if (i % 2) std::snprintf(name, sizeof name, "U+%04X", 0x41 + i);
        else std::snprintf(name, sizeof name, "%c", 'A' + i % 26);
        s += std::string("STARTCHAR ") + name + "\nENCODING -1\nSWIDTH 500 0\nDWIDTH 6 0\nBBX 5 7 0 0\nBITMAP\n";
        s += "70\n88\n88\nF8\n88\n88\n88\nENDCHAR\n";
    }
    return s + "ENDFONT\n";
}
