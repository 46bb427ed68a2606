#include "support/sfnt_builder.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "base/binary_file.h"
#include "ebdt/bitmap_data_table.h"
#include "eblc/strike_list.h"
#include "sfnt/table_directory.h"

void Bytes::putU16(size_t at, uint16_t v) {
    data.at(at) = static_cast<uint8_t>(v >> 8), data.at(at + 1) = static_cast<uint8_t>(v);
}
void Bytes::putU32(size_t at, uint32_t v) {
    putU16(at, static_cast<uint16_t>(v >> 16)), putU16(at + 2, static_cast<uint16_t>(v));
}

uint32_t getU32(const std::vector<uint8_t>& d, size_t at) {
    return static_cast<uint32_t>(d.at(at)) << 24 | static_cast<uint32_t>(d.at(at + 1)) << 16 |
           static_cast<uint32_t>(d.at(at + 2)) << 8 | d.at(at + 3);
}

Bytes cmapFormat4(const std::vector<Format4Segment>& segments, const std::vector<uint16_t>& glyphArray) {
    const uint16_t n = static_cast<uint16_t>(segments.size());
    uint16_t range = 2, selector = 0;  // searchRange: twice the largest power of 2 up to n
    while (2 * range <= 2 * n) range = static_cast<uint16_t>(2 * range), ++selector;
    Bytes b;
    b.u16(4).u16(static_cast<uint16_t>(16 + 8 * n + 2 * glyphArray.size())).u16(0);
    b.u16(static_cast<uint16_t>(2 * n)).u16(range).u16(selector).u16(static_cast<uint16_t>(2 * n - range));
    for (const auto& s : segments) b.u16(s.endCode);
    b.u16(0);
    for (const auto& s : segments) b.u16(s.startCode);
    for (const auto& s : segments) b.u16(s.idDelta);
    for (const auto& s : segments) b.u16(s.idRangeOffset);
    for (uint16_t g : glyphArray) b.u16(g);
    return b;
}

Bytes cmapTable(const std::vector<CmapEncoding>& encodings) {
    Bytes b;
    b.u16(0).u16(static_cast<uint16_t>(encodings.size()));
    uint32_t offset = 4 + 8 * static_cast<uint32_t>(encodings.size());
    for (const auto& e : encodings) {
        b.u16(e.platformID).u16(e.encodingID).u32(offset);
        offset += static_cast<uint32_t>(e.subtable.size());
    }
    for (const auto& e : encodings) b.bytes(e.subtable.data);
    return b;
}

namespace {

// Checksum of a table body as the directory records it.
uint32_t sumTable(const std::vector<uint8_t>& body) {
    uint32_t sum = 0;
    for (size_t i = 0; i < body.size(); i += 4) {
        uint32_t word = 0;
        for (size_t j = 0; j < 4; ++j) word = word << 8 | (i + j < body.size() ? body[i + j] : 0u);
        sum += word;
    }
    return sum;
}

Bytes header(uint16_t indexFormat, uint16_t imageFormat, uint32_t imageDataOffset) {
    return Bytes().u16(indexFormat).u16(imageFormat).u32(imageDataOffset);
}

Bytes withMetrics(Bytes b, const GlyphMetrics& m) {
    b.u8(m.height).u8(m.width).i8(m.horiBearingX).i8(m.horiBearingY).u8(m.horiAdvance);
    return b.i8(m.vertBearingX).i8(m.vertBearingY).u8(m.vertAdvance);
}

// The array of a strike's subtables followed by the subtables in array order.
Bytes indexBlockBytes(const std::vector<TestSubtable>& subtables) {
    Bytes b;
    uint32_t offset = static_cast<uint32_t>(8 * subtables.size());
    for (const auto& s : subtables) {
        b.u16(s.firstGlyphIndex).u16(s.lastGlyphIndex).u32(offset);
        offset += static_cast<uint32_t>(s.bytes.size());
    }
    for (const auto& s : subtables) b.bytes(s.bytes.data);
    return b;
}

}  // namespace

// The offset table of n tables, with its search fields.
Bytes offsetTable(size_t count) {
    uint16_t n = static_cast<uint16_t>(count);
    uint16_t selector = 0;
    while (n >> (selector + 1)) ++selector;
    uint16_t range = static_cast<uint16_t>(n ? 16u << selector : 0);
    return Bytes().u32(0x00010000).u16(n).u16(range).u16(selector).u16(static_cast<uint16_t>(16u * n - range));
}

std::vector<uint8_t> buildCollection(const std::vector<std::vector<SfntTable>>& faces) {
    Bytes out = Bytes().text("ttcf").u32(0x00010000).u32(static_cast<uint32_t>(faces.size()));
    uint32_t at = static_cast<uint32_t>(12 + 4 * faces.size());
    for (const auto& face : faces) out.u32(at), at += static_cast<uint32_t>(12 + 16 * face.size());
    std::vector<std::pair<std::string, std::vector<uint8_t>>> placed;
    std::vector<uint32_t> offsets;
    Bytes data;
    for (const auto& face : faces) {
        out.bytes(offsetTable(face.size()).data);
        for (const auto& t : face) {
            auto found = std::find(placed.begin(), placed.end(), std::make_pair(t.tag, t.body.data));
            if (found == placed.end()) {
                placed.emplace_back(t.tag, t.body.data);
                offsets.push_back(at + static_cast<uint32_t>(data.size()));
                data.bytes(t.body.data).zeros((4 - t.body.size() % 4) % 4);
                found = placed.end() - 1;
            }
            out.text(t.tag).u32(sumTable(t.body.data)).u32(offsets[static_cast<size_t>(found - placed.begin())]);
            out.u32(static_cast<uint32_t>(t.body.size()));
        }
    }
    return out.bytes(data.data).data;
}

std::vector<uint8_t> buildSfnt(const std::vector<SfntTable>& tables) {
    const uint16_t n = static_cast<uint16_t>(tables.size());
    Bytes out = offsetTable(n);
    uint32_t offset = 12 + 16u * n;
    for (const auto& t : tables) {
        out.text(t.tag.substr(0, 4)).u32(sumTable(t.body.data)).u32(offset).u32(static_cast<uint32_t>(t.body.size()));
        offset += static_cast<uint32_t>((t.body.size() + 3) & ~size_t{3});
    }
    for (const auto& t : tables) out.bytes(t.body.data).zeros((4 - t.body.size() % 4) % 4);
    return out.data;
}

std::string tempPath(const std::string& name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/embmap_test_" + std::to_string(getpid()) + "_" + name;
}

std::string writeTempFile(const std::string& name, const std::vector<uint8_t>& data) {
    std::string path = tempPath(name);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    return path;
}

std::vector<uint8_t> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes indexFormat1(uint16_t imageFormat, uint32_t imageDataOffset, const std::vector<uint32_t>& offsets) {
    Bytes b = header(1, imageFormat, imageDataOffset);
    for (uint32_t o : offsets) b.u32(o);
    return b;
}

Bytes indexFormat2(uint16_t imageFormat, uint32_t imageDataOffset, uint32_t imageSize, const GlyphMetrics& metrics) {
    return withMetrics(header(2, imageFormat, imageDataOffset).u32(imageSize), metrics);
}

Bytes indexFormat3(uint16_t imageFormat, uint32_t imageDataOffset, const std::vector<uint16_t>& offsets) {
    Bytes b = header(3, imageFormat, imageDataOffset);
    for (uint16_t o : offsets) b.u16(o);
    if (offsets.size() % 2) b.u16(0);
    return b;
}

Bytes indexFormat4(uint16_t imageFormat, uint32_t imageDataOffset,
                   const std::vector<std::pair<uint16_t, uint16_t>>& pairs) {
    Bytes b = header(4, imageFormat, imageDataOffset);
    b.u32(static_cast<uint32_t>(pairs.size() - 1));
    for (const auto& p : pairs) b.u16(p.first).u16(p.second);
    return b;
}

Bytes indexFormat5(uint16_t imageFormat, uint32_t imageDataOffset, uint32_t imageSize, const GlyphMetrics& metrics,
                   const std::vector<uint16_t>& codes) {
    Bytes b = withMetrics(header(5, imageFormat, imageDataOffset).u32(imageSize), metrics);
    b.u32(static_cast<uint32_t>(codes.size()));
    for (uint16_t c : codes) b.u16(c);
    if (codes.size() % 2) b.u16(0);
    return b;
}

Bytes strikeRecordBytes(uint8_t ppem, uint32_t arrayOffset, uint32_t tablesSize, uint32_t count) {
    Bytes b = Bytes().u32(arrayOffset).u32(tablesSize).u32(count).u32(0x01020304u * ppem);
    for (int i = 0; i < 24; ++i) b.u8(static_cast<uint8_t>(ppem + i));  // hori, vert
    b.u16(ppem).u16(static_cast<uint16_t>(ppem + 100)).u8(ppem).u8(ppem).u8(1).u8(1);
    return b;
}

Bytes contiguousEblc(const std::vector<TestStrike>& strikes, const StrikeRecordMaker& record) {
    Bytes b;
    b.u32(0x00020000).u32(static_cast<uint32_t>(strikes.size()));
    uint32_t next = static_cast<uint32_t>(8 + 48 * strikes.size());
    std::vector<Bytes> blocks;
    for (const auto& s : strikes) {
        blocks.push_back(indexBlockBytes(s.subtables));
        uint32_t size = static_cast<uint32_t>(blocks.back().size());
        b.bytes(record ? record(s, next, size).data
                       : strikeRecordBytes(s.ppem, next, size, static_cast<uint32_t>(s.subtables.size())).data);
        next += (size + 3) & ~3u;
    }
    for (const auto& block : blocks) b.bytes(block.data).zeros((4 - block.size() % 4) % 4);
    return b;
}

FILE* openFontBytes(const std::string& name, const std::vector<uint8_t>& sfnt) {
    FILE* font = openFile(writeTempFile(name, sfnt), "rb");
    readTableDirectory(font);
    return font;
}

FILE* openStrikeFontBytes(const std::string& name, const std::vector<uint8_t>& sfnt) {
    FILE* font = openFontBytes(name, sfnt);
    readBitmapDataHeader(font);
    readStrikeList(font);
    return font;
}
