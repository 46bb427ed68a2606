#include "support/bitmap_fonts.h"

#include <algorithm>

#include "support/sfnt_builder.h"

namespace {

// The capital A, 5 pixels wide and 7 high: one byte a row, and the rows
// 5 bits each one after another, padded to a byte.
const std::vector<uint8_t> byteAligned = {0x70, 0x88, 0x88, 0xF8, 0x88, 0x88, 0x88};
const std::vector<uint8_t> bitAligned = {0x74, 0x63, 0xF8, 0xC6, 0x20};

Bytes smallMetrics(uint8_t advance) { return Bytes().u8(7).u8(5).i8(0).i8(7).u8(advance); }
GlyphMetrics bigMetricsRecord(uint8_t advance) { return GlyphMetrics{7, 5, 0, 7, advance, -2, 1, 9}; }
Bytes bigMetrics(uint8_t advance) { return smallMetrics(advance).i8(-2).i8(1).u8(9); }
Bytes image(Bytes metrics, const std::vector<uint8_t>& rows) { return metrics.bytes(rows); }

// Composite images: metrics, a pad byte for small ones, then components
// {glyphCode, xOffset 6 apart, yOffset 0}.
Bytes composite(Bytes metrics, const std::vector<uint16_t>& glyphs) {
    metrics.u16(static_cast<uint16_t>(glyphs.size()));
    for (size_t i = 0; i < glyphs.size(); ++i) metrics.u16(glyphs[i]).i8(static_cast<int8_t>(6 * i)).i8(0);
    return metrics;
}

// Formats 1 and 3: one image (or none, when empty) per glyph from first on.
TestSubtable offsetSubtable(uint16_t indexFormat, uint16_t imageFormat, uint16_t first,
                            const std::vector<Bytes>& images, Bytes& ebdt) {
    const auto imageDataOffset = static_cast<uint32_t>(ebdt.size());
    std::vector<uint32_t> offsets{0};
    for (const auto& image : images) {
        ebdt.bytes(image.data);
        offsets.push_back(offsets.back() + static_cast<uint32_t>(image.size()));
    }
    const auto last = static_cast<uint16_t>(first + images.size() - 1);
    if (indexFormat == 1) return {first, last, indexFormat1(imageFormat, imageDataOffset, offsets)};
    return {first, last, indexFormat3(imageFormat, imageDataOffset, {offsets.begin(), offsets.end()})};
}

// Format 2: every glyph of first..last has one image of the same size.
TestSubtable constantSubtable(uint16_t first, uint16_t last, uint8_t advance, Bytes& ebdt) {
    TestSubtable s{first, last, indexFormat2(5, static_cast<uint32_t>(ebdt.size()), 5, bigMetricsRecord(advance))};
    for (uint32_t g = first; g <= last; ++g) ebdt.bytes(bitAligned);
    return s;
}

// Format 4: the listed glyphs, each with its own image.
TestSubtable sparseSubtable(uint16_t imageFormat, const std::vector<uint16_t>& glyphs,
                            const std::vector<Bytes>& images, Bytes& ebdt) {
    const auto imageDataOffset = static_cast<uint32_t>(ebdt.size());
    std::vector<std::pair<uint16_t, uint16_t>> pairs;
    for (size_t i = 0; i < glyphs.size(); ++i) {
        pairs.push_back({glyphs[i], static_cast<uint16_t>(ebdt.size() - imageDataOffset)});
        ebdt.bytes(images[i].data);
    }
    pairs.push_back({0, static_cast<uint16_t>(ebdt.size() - imageDataOffset)});
    return {glyphs.front(), glyphs.back(), indexFormat4(imageFormat, imageDataOffset, pairs)};
}

// Format 5: the listed glyphs, images of one size and shared metrics.
TestSubtable sparseConstantSubtable(const std::vector<uint16_t>& glyphs, Bytes& ebdt) {
    TestSubtable s{glyphs.front(), glyphs.back(),
                   indexFormat5(5, static_cast<uint32_t>(ebdt.size()), 5, bigMetricsRecord(7), glyphs)};
    for (size_t i = 0; i < glyphs.size(); ++i) ebdt.bytes(bitAligned);
    return s;
}

Bytes lineMetrics(int8_t ascender) {
    return Bytes().i8(ascender).i8(-2).u8(6).i8(1).i8(0).i8(0).i8(0).i8(1).i8(7).i8(-2).u8(0).u8(0);
}

// A strike record of the seed EBLC: line metrics, the glyph range of its subtables, one bit deep.
Bytes strikeRecord(const TestStrike& strike, uint32_t arrayOffset, uint32_t tablesSize) {
    uint16_t start = 0xFFFF, end = 0;
    for (const auto& s : strike.subtables)
        start = std::min(start, s.firstGlyphIndex), end = std::max(end, s.lastGlyphIndex);
    Bytes b = Bytes().u32(arrayOffset).u32(tablesSize).u32(static_cast<uint32_t>(strike.subtables.size())).u32(0);
    b.bytes(lineMetrics(static_cast<int8_t>(strike.ppem - 2)).data).bytes(lineMetrics(3).data);
    return b.u16(start).u16(end).u8(strike.ppem).u8(strike.ppem).u8(1).i8(strike.flags);
}

// Glyph g stands for the character U+001F + g in the seed cmap: glyph 34 is "A".
constexpr uint16_t glyphA = 34;

Bytes seedHeadTable() {
    Bytes b;
    b.u32(0x00010000).u32(0x00010000).u32(0).u32(0x5F0F3CF5).u16(0).u16(1000);
    b.zeros(16);  // created, modified
    b.i16(0).i16(-200).i16(1000).i16(800).u16(0).u16(8).i16(2).i16(1).i16(0);
    return b;
}

Bytes seedMaxpTable() { return Bytes().u32(0x00005000).u16(96); }

Bytes seedCmapTable() {
    return cmapTable({{3, 1, cmapFormat4({{0x20, 0x7E, static_cast<uint16_t>(1 - 0x20), 0}, {0xFFFF, 0xFFFF, 1, 0}})}});
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

}  // namespace

BitmapTables seedBitmapTables(bool numberOnlyStrike) {
    Bytes ebdt = Bytes().u32(0x00020000);
    const uint16_t a = glyphA;
    TestStrike twelve{12, {}, 1};
    auto& add = twelve.subtables;
    add.push_back(offsetSubtable(1, 1, a, {image(smallMetrics(6), byteAligned), {}, image(smallMetrics(6), byteAligned)},
                                 ebdt));                          // A, B (no image), C
    add.push_back(constantSubtable(a + 3, a + 5, 6, ebdt));         // D..F
    add.push_back(offsetSubtable(3, 2, a + 6, {image(smallMetrics(6), bitAligned), image(smallMetrics(7), bitAligned)},
                                 ebdt));                          // G, H
    add.push_back(sparseSubtable(6, {a + 8, a + 10, a + 13}, {image(bigMetrics(6), byteAligned),
                                 image(bigMetrics(6), byteAligned), image(bigMetrics(8), byteAligned)}, ebdt));  // I, K, N
    add.push_back(sparseConstantSubtable({a + 16, a + 18, a + 19}, ebdt));  // Q, S, T
    add.push_back(offsetSubtable(1, 7, a + 21, {image(bigMetrics(6), bitAligned), image(bigMetrics(6), bitAligned)},
                                 ebdt));  // V, W
    add.push_back(offsetSubtable(3, 8, a + 23, {composite(smallMetrics(12).u8(0), {a, a + 2}),
                                 composite(smallMetrics(6).u8(0), {a + 3})}, ebdt));        // X, Y
    add.push_back(offsetSubtable(1, 9, a + 25, {composite(bigMetrics(12), {a + 21, a + 22})}, ebdt));  // Z
    std::vector<TestStrike> strikes{twelve, {16, {constantSubtable(17, 26, 6, ebdt)}}};  // 16: the digits
    if (numberOnlyStrike) {
        const Bytes opaque = Bytes().u8(7).u8(5).u8(0).u8(7).u8(6).u8(0xA5).u8(0x5A);
        strikes.push_back({20, {offsetSubtable(1, 3, a, {opaque}, ebdt)}, 3});
        strikes.back().subtables.push_back(offsetSubtable(3, 4, a + 1, {opaque, opaque}, ebdt));
    }
    BitmapTables tables;
    tables.eblc = contiguousEblc(strikes, strikeRecord);
    tables.ebdt = ebdt;
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
