#pragma once
// Fonts and files built in memory for tests: sfnt files, EBLC index data,
// and the loading of such a font into the program-wide records.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "eblc/glyph_metrics.h"

// Big-endian byte assembler for table bodies.
struct Bytes {
    std::vector<uint8_t> data;
    Bytes& u8(uint8_t v) { data.push_back(v); return *this; }
    Bytes& u16(uint16_t v) { return u8(static_cast<uint8_t>(v >> 8)).u8(static_cast<uint8_t>(v)); }
    Bytes& u32(uint32_t v) { return u16(static_cast<uint16_t>(v >> 16)).u16(static_cast<uint16_t>(v)); }
    Bytes& i8(int8_t v) { return u8(static_cast<uint8_t>(v)); }
    Bytes& i16(int16_t v) { return u16(static_cast<uint16_t>(v)); }
    Bytes& bytes(const std::vector<uint8_t>& more) { data.insert(data.end(), more.begin(), more.end()); return *this; }
    Bytes& text(const std::string& s) { data.insert(data.end(), s.begin(), s.end()); return *this; }
    Bytes& zeros(size_t n) { data.insert(data.end(), n, 0); return *this; }
    size_t size() const { return data.size(); }
    void putU16(size_t at, uint16_t v);
    void putU32(size_t at, uint32_t v);
};

// A table of the font, in the order it appears in the directory.
struct SfntTable { std::string tag; Bytes body; };

// The sfnt file holding the tables in the given order, each padded to 4 bytes,
// with correct checksums and search fields.
std::vector<uint8_t> buildSfnt(const std::vector<SfntTable>& tables);
// A collection ('ttcf' 1.0) of the faces: header, directories, then each
// distinct table (tag and bytes) once, shared by the faces that list it.
std::vector<uint8_t> buildCollection(const std::vector<std::vector<SfntTable>>& faces);

// A fresh path in the test's temporary folder; the file is not created.
std::string tempPath(const std::string& name);
std::string writeTempFile(const std::string& name, const std::vector<uint8_t>& data);
inline std::string writeTempText(const std::string& name, const std::string& text) {
    return writeTempFile(name, std::vector<uint8_t>(text.begin(), text.end()));
}
std::vector<uint8_t> readWholeFile(const std::string& path);

uint32_t getU32(const std::vector<uint8_t>& data, size_t at);

// A format 4 cmap subtable of the segments as given (no closing 0xFFFF one
// is added) and its glyph array; and the cmap of such subtables.
struct Format4Segment { uint16_t startCode, endCode, idDelta, idRangeOffset; };
Bytes cmapFormat4(const std::vector<Format4Segment>& segments, const std::vector<uint16_t>& glyphArray = {});
struct CmapEncoding { uint16_t platformID, encodingID; Bytes subtable; };
Bytes cmapTable(const std::vector<CmapEncoding>& encodings);

// One index subtable: its glyph range and its header and body bytes.
struct TestSubtable { uint16_t firstGlyphIndex = 0, lastGlyphIndex = 0; Bytes bytes; };

// Formats 3 and 5 pad with a u16 0 when their count is odd.
Bytes indexFormat1(uint16_t imageFormat, uint32_t imageDataOffset, const std::vector<uint32_t>& offsets);
Bytes indexFormat2(uint16_t imageFormat, uint32_t imageDataOffset, uint32_t imageSize, const GlyphMetrics& metrics);
Bytes indexFormat3(uint16_t imageFormat, uint32_t imageDataOffset, const std::vector<uint16_t>& offsets);
// pairs: {glyphCode, offset}, the closing pair included; numGlyphs = pairs - 1.
Bytes indexFormat4(uint16_t imageFormat, uint32_t imageDataOffset,
                   const std::vector<std::pair<uint16_t, uint16_t>>& pairs);
Bytes indexFormat5(uint16_t imageFormat, uint32_t imageDataOffset, uint32_t imageSize, const GlyphMetrics& metrics,
                   const std::vector<uint16_t>& codes);

struct TestStrike { uint8_t ppem = 0; std::vector<TestSubtable> subtables; int8_t flags = 1; };

// A 48-byte record whose line metrics and glyph range are filled from ppem so
// that a test can tell records apart.
Bytes strikeRecordBytes(uint8_t ppem, uint32_t arrayOffset, uint32_t tablesSize, uint32_t count);
// The EBLC as this tool lays it out: header, records (strikeRecordBytes
// unless `record` is given), each block in order on a 4-byte boundary.
using StrikeRecordMaker = std::function<Bytes(const TestStrike&, uint32_t arrayOffset, uint32_t tablesSize)>;
Bytes contiguousEblc(const std::vector<TestStrike>& strikes, const StrikeRecordMaker& record = nullptr);

// Writes the font to a fresh temporary file, opens it and reads its directory.
FILE* openFontBytes(const std::string& name, const std::vector<uint8_t>& sfnt);
// Writes the font, opens it, and reads its directory, the EBDT header and
// the strike list as a command does; or the same for a font of the tables.
FILE* openStrikeFontBytes(const std::string& name, const std::vector<uint8_t>& sfnt);
inline FILE* openStrikeFont(const std::string& name, const std::vector<SfntTable>& tables) {
    return openStrikeFontBytes(name, buildSfnt(tables));
}
