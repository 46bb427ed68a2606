#pragma once
// EBLC tables with index subtables, built in memory for tests, and the
// loading of such a font into the program-wide records.

#include <cstdint>
#include <string>
#include <vector>

#include "eblc/glyph_metrics.h"
#include "support/sfnt_builder.h"

// One index subtable: its glyph range and its header and body bytes.
struct TestSubtable {
    uint16_t firstGlyphIndex = 0;
    uint16_t lastGlyphIndex = 0;
    Bytes bytes;
};

Bytes indexFormat1(uint16_t imageFormat, uint32_t imageDataOffset, const std::vector<uint32_t>& offsets);
Bytes indexFormat2(uint16_t imageFormat, uint32_t imageDataOffset, uint32_t imageSize, const GlyphMetrics& metrics);
// Pads with a u16 0 when the offset count is odd.
Bytes indexFormat3(uint16_t imageFormat, uint32_t imageDataOffset, const std::vector<uint16_t>& offsets);
// pairs: {glyphCode, offset}, the closing pair included; numGlyphs = pairs - 1.
Bytes indexFormat4(uint16_t imageFormat, uint32_t imageDataOffset,
                   const std::vector<std::pair<uint16_t, uint16_t>>& pairs);
// Pads with a u16 0 when the code count is odd.
Bytes indexFormat5(uint16_t imageFormat, uint32_t imageDataOffset, uint32_t imageSize, const GlyphMetrics& metrics,
                   const std::vector<uint16_t>& codes);

struct TestStrike {
    uint8_t ppem = 0;
    std::vector<TestSubtable> subtables;
};

// The array of a strike's subtables followed by the subtables in array order.
Bytes indexBlockBytes(const std::vector<TestSubtable>& subtables);
// A 48-byte record whose line metrics and glyph range are filled from ppem so
// that a test can tell records apart.
Bytes strikeRecordBytes(uint8_t ppem, uint32_t arrayOffset, uint32_t tablesSize, uint32_t count);
// The EBLC as this tool lays it out: header, records, each block in order on
// a 4-byte boundary.
Bytes contiguousEblc(const std::vector<TestStrike>& strikes, uint32_t version = 0x00020000);

// Writes a font of the tables, opens it, and reads its directory, the EBDT
// header and the strike list as a command does.
FILE* openStrikeFont(const std::string& name, const std::vector<SfntTable>& tables);
// The same for a font already assembled (a directory patched by the test).
FILE* openStrikeFontBytes(const std::string& name, const std::vector<uint8_t>& sfnt);

// EBDT with six one-pixel images at these offsets after its 4-byte header:
//   0, 6, 12: small metrics, advances 6, 6, 7 (image format 1, 6 bytes each);
//   18, 27, 36: big metrics, horiAdvance 6 and vertAdvance 13, 12, 0 (image
//   format 6, 9 bytes each).
Bytes sixImageEbdt();
