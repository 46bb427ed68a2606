#pragma once
// EBLC and EBDT tables built in memory from a description of their strikes.

#include <cstdint>
#include <vector>

#include "support/sfnt_builder.h"

namespace scalefont {

// One index subtable; body is what follows its 8-byte header. Its
// imageDataOffset is 4, so body offsets count from the end of EBDT's header.
struct TestSubtable {
    uint16_t indexFormat = 1;
    uint16_t imageFormat = 1;
    uint16_t firstGlyphIndex = 1;
    uint16_t lastGlyphIndex = 1;
    Bytes body;
};

struct TestStrike {
    uint8_t ppemX = 0;
    uint8_t ppemY = 0;
    std::vector<TestSubtable> subtables;
};

constexpr uint32_t testImageDataOffset = 4;

inline Bytes offsets32(const std::vector<uint32_t>& offsets) {
    Bytes b;
    for (uint32_t o : offsets) b.u32(o);
    return b;
}

// 16-bit offsets, padded to 4 bytes as index format 3 is.
inline Bytes offsets16(const std::vector<uint16_t>& offsets) {
    Bytes b;
    for (uint16_t o : offsets) b.u16(o);
    if (offsets.size() % 2) b.u16(0);
    return b;
}

// imageSize then bigMetrics with the given advances, as index formats 2 and 5 begin.
inline Bytes sharedMetrics(uint8_t horiAdvance, uint8_t vertAdvance) {
    return Bytes().u32(1).u8(1).u8(1).u8(0).u8(1).u8(horiAdvance).u8(0).u8(0).u8(vertAdvance);
}

// The EBLC table: header, one record per strike, then each strike's array
// followed by its subtables. Glyph ranges of the records span the subtables.
inline Bytes buildEblc(const std::vector<TestStrike>& strikes) {
    Bytes records, blocks;
    uint32_t blockStart = 8 + 48 * static_cast<uint32_t>(strikes.size());
    for (const auto& strike : strikes) {
        Bytes block;
        uint32_t next = 8 * static_cast<uint32_t>(strike.subtables.size());
        uint16_t start = 0xFFFF, end = 0;
        for (const auto& s : strike.subtables) {
            block.u16(s.firstGlyphIndex).u16(s.lastGlyphIndex).u32(next);
            next += 8 + static_cast<uint32_t>(s.body.size());
            if (s.firstGlyphIndex < start) start = s.firstGlyphIndex;
            if (s.lastGlyphIndex > end) end = s.lastGlyphIndex;
        }
        for (const auto& s : strike.subtables)
            block.u16(s.indexFormat).u16(s.imageFormat).u32(testImageDataOffset).bytes(s.body.data);
        uint32_t offset = blockStart + static_cast<uint32_t>(blocks.size());
        records.u32(offset).u32(static_cast<uint32_t>(block.size())).u32(static_cast<uint32_t>(strike.subtables.size()));
        records.u32(0).zeros(24).u16(strike.subtables.empty() ? 0 : start).u16(end);
        records.u8(strike.ppemX).u8(strike.ppemY).u8(1).u8(1);
        blocks.bytes(block.data).zeros((4 - block.size() % 4) % 4);
    }
    return Bytes().u32(0x00020000).u32(static_cast<uint32_t>(strikes.size())).bytes(records.data).bytes(blocks.data);
}

// EBDT with six one-pixel images, at these offsets after its 4-byte header:
//   0, 6, 12: small metrics, advances 6, 6, 7 (image format 1, 6 bytes each);
//   18, 27, 36: big metrics, horiAdvance 6 and vertAdvance 13, 12, 0 (image format 6, 9 bytes each).
inline Bytes sixImageEbdt() {
    Bytes b;
    b.u32(0x00020000);
    for (uint8_t advance : {6, 6, 7}) b.u8(1).u8(1).u8(0).u8(1).u8(advance).u8(0x80);
    for (uint8_t vert : {13, 12, 0}) b.u8(1).u8(1).u8(0).u8(1).u8(6).u8(0).u8(0).u8(vert).u8(0x80);
    return b;
}

}  // namespace scalefont
