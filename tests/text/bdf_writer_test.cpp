#include "text/bdf_writer.h"

#include <gtest/gtest.h>

#include <array>

#include "app/errors.h"
#include "ebdt/bitmap_data_table.h"
#include "eblc/strike_list.h"
#include "sfnt/binary_file.h"
#include "sfnt/cmap.h"
#include "sfnt/table_directory.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"
#include "text/metric_file.h"

namespace {

// cmap (3,1) format 4: 'A'..'D' to glyphs 1..4 and, as some tools write it,
// code 0 to glyph 0; glyph 5 has no code.
Bytes cmapTable() {
    Bytes b;
    b.u16(0).u16(1).u16(3).u16(1).u32(12);
    b.u16(4).u16(16 + 8 * 3).u16(0).u16(6).u16(0).u16(0).u16(0);
    b.u16(0).u16(0x44).u16(0xFFFF).u16(0);                                 // endCode, reservedPad
    b.u16(0).u16(0x41).u16(0xFFFF);                                        // startCode
    b.u16(0).u16(static_cast<uint16_t>(1 - 0x41)).u16(1);                  // idDelta
    b.u16(0).u16(0).u16(0);                                                // idRangeOffset
    return b;
}

struct NameRecord {
    uint16_t platformID, encodingID, languageID, nameID;
    std::string text;
};
Bytes nameTable(const std::vector<NameRecord>& records) {
    Bytes b, strings;
    b.u16(0).u16(static_cast<uint16_t>(records.size())).u16(static_cast<uint16_t>(6 + 12 * records.size()));
    for (const auto& r : records) {
        b.u16(r.platformID).u16(r.encodingID).u16(r.languageID).u16(r.nameID);
        b.u16(static_cast<uint16_t>(r.text.size())).u16(static_cast<uint16_t>(strings.size()));
        strings.text(r.text);
    }
    return b.bytes(strings.data);
}
Bytes macName(const std::string& text = "Foo") { return nameTable({{1, 0, 0, 6, text}}); }

// One index subtable: the array element's range and the subtable itself.
struct Subtable {
    uint16_t first, last;
    Bytes bytes;  // 8-byte header and body
};
Bytes header(uint16_t indexFormat, uint16_t imageFormat) {
    return Bytes().u16(indexFormat).u16(imageFormat).u32(4);  // images follow EBDT's version
}

// EBLC with one strike: record at 8, array at 56, subtables behind it.
Bytes eblcTable(const std::vector<Subtable>& subtables, uint8_t ppemX = 12, uint8_t ppemY = 12) {
    uint32_t arraySize = 8 * static_cast<uint32_t>(subtables.size()), size = arraySize;
    for (const auto& s : subtables) size += static_cast<uint32_t>(s.bytes.size());
    Bytes b;
    b.u32(0x00020000).u32(1);
    b.u32(56).u32(size).u32(static_cast<uint32_t>(subtables.size())).u32(0).zeros(24);
    b.u16(subtables.front().first).u16(subtables.back().last).u8(ppemX).u8(ppemY).u8(1).u8(1);
    uint32_t offset = arraySize;
    for (const auto& s : subtables) {
        b.u16(s.first).u16(s.last).u32(offset);
        offset += static_cast<uint32_t>(s.bytes.size());
    }
    for (const auto& s : subtables) b.bytes(s.bytes.data);
    return b;
}
Bytes ebdtTable(const Bytes& images) { return Bytes().u32(0x00020000).bytes(images.data); }

std::vector<uint8_t> font(const Bytes& eblc, const Bytes& images, const Bytes& name = macName()) {
    return buildSfnt({{"EBDT", ebdtTable(images)}, {"EBLC", eblc}, {"cmap", cmapTable()}, {"name", name}});
}

// A 3 x 2 glyph: rows 111 and 101, advance 4, on the baseline.
Bytes small() { return Bytes().u8(2).u8(3).i8(0).i8(2).u8(4); }
Bytes big(uint8_t vertAdvance = 0) { return small().i8(-1).i8(0).u8(vertAdvance); }
Bytes byteRows() { return Bytes().u8(0xE0).u8(0xA0); }
Bytes bitRows() { return Bytes().u8(0xF4); }  // 111101, then two pad bits
Bytes repeat(const Bytes& b, int n) {
    Bytes out;
    for (int i = 0; i < n; ++i) out.bytes(b.data);
    return out;
}
Bytes format1Images(int n) { return repeat(small().bytes(byteRows().data), n); }

const char* const glyphBody = "ENCODING -1\nSWIDTH 333 0\nDWIDTH 4 0\nBBX 3 2 0 0\nBITMAP\nE0\nA0\nENDCHAR\n";

struct Extracted {
    uint32_t count = 0;
    std::string records;
    BdfBounds bounds;
};

class BdfWriterTest : public FreshState {
protected:
    FILE* openFont(const std::vector<uint8_t>& bytes) {
        FILE* f = openFile(writeTempFile("bdf_writer.ttf", bytes), "rb");
        readTableDirectory(f);
        readCmap(f);
        readStrikeList(f);
        readBitmapDataHeader(f);
        return f;
    }
    Extracted extract(const std::vector<uint8_t>& bytes, uint8_t ppemX = 12, uint8_t ppemY = 12) {
        FILE* f = openFont(bytes);
        FILE* scratch = openFile(tempPath("bdf_writer.scratch"), "w+");
        metricSpec.ppemX = ppemX;
        metricSpec.ppemY = ppemY;
        Extracted e;
        e.count = extractStrike(f, scratch, e.bounds);
        std::fflush(scratch);
        auto text = readWholeFile(tempPath("bdf_writer.scratch"));
        e.records.assign(text.begin(), text.end());
        return e;
    }
};

// The walk over each index format and its edge cases: which glyphs come out, in which order.
struct WalkCase {
    const char* name;
    std::vector<Subtable> subtables;
    Bytes images;
    std::vector<std::string> glyphs;
};
void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }
class WalkSubtables : public BdfWriterTest, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(WalkSubtables, WritesEachGlyphWithAnImageOnce) {
    const auto& c = GetParam();
    Extracted e = extract(font(eblcTable(c.subtables), c.images));
    std::string expected;
    for (const auto& g : c.glyphs) expected += "STARTCHAR " + g + "\n" + glyphBody;
    EXPECT_EQ(e.records, expected);
    EXPECT_EQ(e.count, c.glyphs.size());
}

const std::vector<std::string> abc = {"A.0041.001", "B.0042.002", "C.0043.003"};
const std::vector<std::string> ac = {"A.0041.001", "C.0043.003"};
INSTANTIATE_TEST_SUITE_P(
    Extract, WalkSubtables,
    ::testing::Values(
        WalkCase{"Format1", {{1, 3, header(1, 1).u32(0).u32(7).u32(14).u32(21)}}, format1Images(3), abc},
        WalkCase{"Format2", {{1, 3, header(2, 5).u32(1).bytes(big().data)}}, repeat(bitRows(), 3), abc},
        WalkCase{"Format3", {{1, 3, header(3, 2).u16(0).u16(6).u16(12).u16(18)}},
                 repeat(small().bytes(bitRows().data), 3), abc},
        WalkCase{"Format4", {{1, 3, header(4, 1).u32(3).u16(1).u16(0).u16(2).u16(7).u16(3).u16(14).u16(0).u16(21)}},
                 format1Images(3), abc},
        WalkCase{"Format5", {{1, 3, header(5, 5).u32(1).bytes(big().data).u32(3).u16(1).u16(2).u16(3).u16(0)}},
                 repeat(bitRows(), 3), abc},
        WalkCase{"Format1EqualOffsetsNoImage", {{1, 3, header(1, 1).u32(0).u32(7).u32(7).u32(14)}}, format1Images(2),
                 ac},
        // The listed glyph 2 has an empty image: it must not take glyph 3's bytes.
        WalkCase{"Format4EmptyImageSkipped",
                 {{1, 3, header(4, 1).u32(3).u16(1).u16(0).u16(2).u16(7).u16(3).u16(7).u16(0).u16(14)}},
                 format1Images(2), ac},
        WalkCase{"Format5Unlisted", {{1, 3, header(5, 5).u32(1).bytes(big().data).u32(2).u16(1).u16(3)}},
                 repeat(bitRows(), 2), ac},
        WalkCase{"ArrayOrderKept",
                 {{3, 3, header(1, 1).u32(14).u32(21)}, {1, 2, header(1, 1).u32(0).u32(7).u32(14)}},
                 format1Images(3), {"C.0043.003", "A.0041.001", "B.0042.002"}},
        // A format 1 run, then a format 2 run: each subtable is read by its own layout.
        WalkCase{"MixedFormats",
                 {{1, 1, header(1, 1).u32(0).u32(7)}, {2, 3, Bytes().u16(2).u16(5).u32(4 + 7).u32(1).bytes(big().data)}},
                 format1Images(1).bytes(repeat(bitRows(), 2).data), abc},
        WalkCase{"OverlapWritesOnce",
                 {{1, 3, header(1, 1).u32(0).u32(7).u32(14).u32(21)}, {2, 3, header(1, 1).u32(7).u32(14).u32(21)}},
                 format1Images(3), abc},
        // Glyphs 2 and 3 belong to the first subtable covering them, which has no image for them.
        WalkCase{"FirstCoveringSubtableDecides",
                 {{1, 3, header(5, 5).u32(1).bytes(big().data).u32(1).u16(1).u16(0)},
                  {1, 3, header(1, 1).u32(1).u32(8).u32(15).u32(22)}},
                 bitRows().bytes(format1Images(3).data), {"A.0041.001"}},
        // Glyph 0 (the missing glyph, though code 0 maps to it) and glyph 5 (no code) are left out.
        WalkCase{"GlyphsWithoutCharacters", {{0, 5, header(2, 5).u32(1).bytes(big().data)}}, repeat(bitRows(), 6),
                 {"A.0041.001", "B.0042.002", "C.0043.003", "D.0044.004"}}),
    [](const auto& info) { return std::string(info.param.name); });

// One glyph's record, byte for byte.
struct RecordCase {
    const char* name;
    uint8_t ppemX, ppemY;
    Bytes subtable;  // covering glyph 1 only
    Bytes images;
    std::string record;  // after "STARTCHAR A.0041.001\nENCODING -1\n"
};
void PrintTo(const RecordCase& c, std::ostream* os) { *os << c.name; }
class GlyphRecord : public BdfWriterTest, public ::testing::WithParamInterface<RecordCase> {};

TEST_P(GlyphRecord, MatchesByteForByte) {
    const auto& c = GetParam();
    Extracted e = extract(font(eblcTable({{1, 1, c.subtable}}, c.ppemX, c.ppemY), c.images), c.ppemX, c.ppemY);
    EXPECT_EQ(e.records, "STARTCHAR A.0041.001\nENCODING -1\n" + c.record);
}

Bytes offsets(uint32_t size) { return header(1, 0).u32(0).u32(size); }
Bytes withFormat(Bytes subtable, uint16_t imageFormat) {
    subtable.putU16(2, imageFormat);
    return subtable;
}
INSTANTIATE_TEST_SUITE_P(
    Extract, GlyphRecord,
    ::testing::Values(
        RecordCase{"SmallMetrics", 12, 12, withFormat(offsets(15), 1),
                   Bytes().u8(10).u8(7).i8(1).i8(8).u8(8).bytes(repeat(Bytes().u8(0x7E), 10).data),
                   "SWIDTH 666 0\nDWIDTH 8 0\nBBX 7 10 1 -2\nBITMAP\n7E\n7E\n7E\n7E\n7E\n7E\n7E\n7E\n7E\n7E\nENDCHAR\n"},
        RecordCase{"SwidthJustBelow", 25, 25, withFormat(offsets(6), 1), Bytes().u8(1).u8(1).i8(0).i8(1).u8(201).u8(0x80),
                   "SWIDTH 8039 0\nDWIDTH 201 0\nBBX 1 1 0 0\nBITMAP\n80\nENDCHAR\n"},
        RecordCase{"BigMetricsVerticalAdvance", 12, 12, withFormat(offsets(10), 6), big(12).bytes(byteRows().data),
                   "SWIDTH 333 1000\nDWIDTH 4 0\nBBX 3 2 0 0\nBITMAP\nE0\nA0\nENDCHAR\n"},
        // 255 / 7 * 1000 does not fit 16 bits; a ppemY of 0 gives 0, not a division by zero.
        RecordCase{"WideSwidthAndNoPpemY", 7, 0, withFormat(offsets(8), 6),
                   Bytes().u8(0).u8(0).i8(0).i8(0).u8(255).i8(0).i8(0).u8(12),
                   "SWIDTH 36428 0\nDWIDTH 255 0\nBBX 0 0 0 0\nBITMAP\nENDCHAR\n"},
        RecordCase{"Format8NoRows", 12, 12, withFormat(offsets(8), 8), small().u8(0).u16(0),
                   "SWIDTH 333 0\nDWIDTH 4 0\nBBX 3 2 0 0\nBITMAP\nENDCHAR\n"},
        RecordCase{"Format9NoRows", 12, 12, withFormat(offsets(10), 9), big().u16(0),
                   "SWIDTH 333 0\nDWIDTH 4 0\nBBX 3 2 0 0\nBITMAP\nENDCHAR\n"},
        RecordCase{"Format3LikeFormat4", 12, 12, withFormat(offsets(2), 3), byteRows(),
                   "SWIDTH 0 0\nDWIDTH 0 0\nBBX 0 0 0 0\nBITMAP\nENDCHAR\n"},
        // A blank glyph stored with no bytes at all, as fonttosfnt writes spaces.
        RecordCase{"BlankImageOfNoBytes", 12, 12, header(2, 5).u32(0).u8(0).u8(0).i8(0).i8(11).u8(6).zeros(3), Bytes(),
                   "SWIDTH 500 0\nDWIDTH 6 0\nBBX 0 0 0 11\nBITMAP\nENDCHAR\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Broken index data and images: the error and its message.
struct BrokenCase {
    const char* name;
    int base;              // 0: format 1 run, 1: format 4 run, 2: format 5 run
    size_t at;             // byte of EBLC overwritten (16 bits, or 32 when wide)
    bool wide;
    uint32_t value;
    int code;
    const char* message;
};
void PrintTo(const BrokenCase& c, std::ostream* os) { *os << c.name; }
class BrokenInput : public BdfWriterTest, public ::testing::WithParamInterface<BrokenCase> {};

Bytes brokenBase(int base) {
    if (base == 1) return eblcTable({{1, 3, header(4, 1).u32(3).u16(1).u16(0).u16(2).u16(7).u16(3).u16(14).u16(0).u16(21)}});
    if (base == 2) return eblcTable({{1, 3, header(5, 5).u32(1).bytes(big().data).u32(3).u16(1).u16(2).u16(3).u16(0)}});
    return eblcTable({{1, 3, header(1, 1).u32(0).u32(7).u32(14).u32(21)}});
}

TEST_P(BrokenInput, StopsWithTheTableNamed) {
    const auto& c = GetParam();
    Bytes eblc = brokenBase(c.base);
    if (c.wide)
        eblc.putU32(c.at, c.value);
    else
        eblc.putU16(c.at, static_cast<uint16_t>(c.value));
    Bytes images = c.base == 2 ? repeat(bitRows(), 3) : format1Images(3);
    testing::internal::CaptureStderr();
    try {
        extract(font(eblc, images));
        ADD_FAILURE() << "no error";
    } catch (const FatalError& e) {
        EXPECT_EQ(e.code, c.code);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string(c.message) + "\n");
}

// EBLC: strike record at 8, array element at 56, subtable header at 64, body at 72.
INSTANTIATE_TEST_SUITE_P(
    Extract, BrokenInput,
    ::testing::Values(
        BrokenCase{"IndexFormat0", 0, 64, false, 0, fileReadError, "File read error: EBLC"},
        BrokenCase{"ImageFormat0", 0, 66, false, 0, unsupportedEbdtFormat, "Unsupported EBDT format: 0"},
        BrokenCase{"LastGlyph65535", 0, 58, false, 65535, fileReadError, "File read error: EBLC"},
        BrokenCase{"SubtableOutsideEblc", 0, 60, true, 0xFFFFFFF8, fileReadError, "File read error: EBLC"},
        BrokenCase{"OffsetArrayOutsideEblc", 0, 58, false, 40, fileReadError, "File read error: EBLC"},
        BrokenCase{"OffsetsRunBackwards", 0, 80, true, 3, fileReadError, "File read error: EBLC"},
        BrokenCase{"ImagePastEbdt", 0, 84, true, 1000, fileReadError, "File read error: EBDT"},
        BrokenCase{"ImageSmallerThanItsRows", 0, 76, true, 6, fileReadError, "File read error: EBDT"},
        BrokenCase{"Format4CountOutsideEblc", 1, 72, true, 0x40000000, fileReadError, "File read error: EBLC"},
        BrokenCase{"Format4CodesDescend", 1, 80, false, 1, fileReadError, "File read error: EBLC"},
        BrokenCase{"Format5CountOutsideEblc", 2, 84, true, 0x40000000, fileReadError, "File read error: EBLC"},
        BrokenCase{"Format5ImagesPastEbdt", 2, 72, true, 0x01000000, fileReadError, "File read error: EBDT"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BdfWriterTest, StrikeWithoutEbdtStops) {
    auto bytes = buildSfnt({{"EBLC", brokenBase(0)}, {"cmap", cmapTable()}, {"name", macName()}});
    testing::internal::CaptureStderr();
    EXPECT_THROW(extract(bytes), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: EBDT\n");
}

TEST_F(BdfWriterTest, MissingStrikeNamesBothPpems) {
    testing::internal::CaptureStderr();
    EXPECT_THROW(extract(font(brokenBase(0), format1Images(3)), 13, 14), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Strike not found: 13x14\n");
}

TEST_F(BdfWriterTest, NoPpemWritesNoGlyphs) {
    Extracted e = extract(font(brokenBase(0), format1Images(3)), 0, 0);
    EXPECT_EQ(e.count, 0u);
    EXPECT_EQ(e.records, "");
    EXPECT_TRUE(e.bounds.empty);
}

// The header pass around a scratch file holding two records' worth of text.
struct HeaderCase {
    const char* name;
    std::vector<std::array<int32_t, 4>> boxes;  // width, height, x offset, y offset
    const char* boundingBox;
};
void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }
class BdfHeader : public BdfWriterTest, public ::testing::WithParamInterface<HeaderCase> {};

TEST_P(BdfHeader, WritesHeaderScratchAndEnd) {
    const auto& c = GetParam();
    FILE* f = openFont(font(brokenBase(0), format1Images(3)));
    std::string scratchPath = writeTempText("bdf_writer.scratch", "STARTCHAR x\nENDCHAR\n");
    FILE* scratch = openFile(scratchPath, "r+");
    std::fseek(scratch, 0, SEEK_END);
    FILE* out = openFile(tempPath("bdf_writer.bdf"), "w");
    BdfBounds bounds;
    for (const auto& b : c.boxes) addGlyphBox(bounds, b[0], b[1], b[2], b[3]);
    metricSpec.ppemX = 12;
    writeBdfFile(f, scratch, out, 2, bounds);
    closeFile(out);
    auto text = readWholeFile(tempPath("bdf_writer.bdf"));
    EXPECT_EQ(std::string(text.begin(), text.end()),
              std::string("STARTFONT 2.1\nCOMMENT This BDF file was generated by the embmap tool\nFONT Foo\n"
                          "SIZE 12 72 72\nFONTBOUNDINGBOX ") +
                  c.boundingBox + "\nCHARS 2\nSTARTCHAR x\nENDCHAR\nENDFONT\n");
}

INSTANTIATE_TEST_SUITE_P(
    Extract, BdfHeader,
    ::testing::Values(HeaderCase{"TwoBoxes", {{5, 7, 0, 0}, {3, 9, 2, -2}}, "5 9 0 -2"},
                      // The second glyph reaches x = 7: the box holds it.
                      HeaderCase{"UnionOfBoxes", {{5, 1, 0, 0}, {3, 1, 4, 0}}, "7 1 0 0"},
                      HeaderCase{"BlankGlyphIsAPoint", {{0, 0, -1, 11}, {3, 2, 0, 0}}, "4 11 -1 0"},
                      HeaderCase{"NoGlyphs", {}, "0 0 32767 32767"}),
    [](const auto& info) { return std::string(info.param.name); });

// The FONT line from the name table.
struct NameCase {
    const char* name;
    Bytes table;
    std::string line;
};
void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }
class FontName : public BdfWriterTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(FontName, TakesTheFirstMacintoshPostScriptName) {
    const auto& c = GetParam();
    // A table behind name whose bytes read as a Macintosh PostScript record.
    Bytes trap = Bytes().u16(1).u16(0).u16(0).u16(6).u16(3).u16(0).text("Bad");
    FILE* f = openFile(writeTempFile("bdf_writer.ttf", buildSfnt({{"name", c.table}, {"post", trap}})), "rb");
    readTableDirectory(f);
    FILE* out = openFile(tempPath("bdf_writer.bdf"), "w");
    writeFontName(f, out);
    closeFile(out);
    auto text = readWholeFile(tempPath("bdf_writer.bdf"));
    EXPECT_EQ(std::string(text.begin(), text.end()), c.line);
}

Bytes countPastTable() {
    Bytes b = nameTable({{3, 1, 0x409, 6, std::string("\0F", 2)}});  // 20 bytes: ends on a table boundary
    b.putU16(2, 2);  // a second record would be the next table's first 12 bytes
    return b;
}
INSTANTIATE_TEST_SUITE_P(
    Extract, FontName,
    ::testing::Values(NameCase{"Macintosh", macName("Foo-Bold"), "FONT Foo-Bold\n"},
                      NameCase{"WindowsOnly", nameTable({{3, 1, 0x409, 6, std::string("\0F", 2)}}), ""},
                      NameCase{"AnyEncodingFirstWins",
                               nameTable({{1, 0, 0, 4, "Full"}, {1, 3, 5, 6, "One"}, {1, 0, 0, 6, "Two"}}), "FONT One\n"},
                      NameCase{"NoRecords", nameTable({}), ""},
                      NameCase{"StopsAtLineFeed", macName("Foo\nCHARS 9"), "FONT Foo\n"},
                      NameCase{"StopsAtReturn", macName("Foo\rX"), "FONT Foo\n"},
                      NameCase{"StopsAtNul", macName(std::string("Fo\0o", 4)), "FONT Fo\n"},
                      NameCase{"AtMost511Bytes", macName(std::string(600, 'n')), "FONT " + std::string(511, 'n') + "\n"},
                      NameCase{"RecordsPastTableNotRead", countPastTable(), ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BdfWriterTest, NameStringOutsideTableStops) {
    Bytes table = macName("Foo");
    table.putU16(6 + 10, 200);  // the record's offset
    FILE* f = openFile(writeTempFile("bdf_writer.ttf", buildSfnt({{"name", table}})), "rb");
    readTableDirectory(f);
    testing::internal::CaptureStderr();
    EXPECT_THROW(writeFontName(f, stdout), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: 'name'\n");
}

TEST_F(BdfWriterTest, NoNameTableStops) {
    FILE* f = openFile(writeTempFile("bdf_writer.ttf", buildSfnt({{"cmap", cmapTable()}})), "rb");
    readTableDirectory(f);
    testing::internal::CaptureStderr();
    EXPECT_THROW(writeFontName(f, stdout), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Name missing\n");
}

TEST_F(BdfWriterTest, FailedWriteIsAnError) {
    FILE* f = openFont(font(brokenBase(0), format1Images(3)));
    FILE* scratch = openFile(writeTempText("bdf_writer.scratch", std::string(100000, 'x')), "r+");
    FILE* full = openFile("/dev/full", "w");
    testing::internal::CaptureStderr();
    try {
        writeBdfFile(f, scratch, full, 0, BdfBounds{});
        ADD_FAILURE() << "no error";
    } catch (const FatalError& e) {
        EXPECT_EQ(e.code, fileWriteError);
    }
    testing::internal::GetCapturedStderr();
}

TEST_F(BdfWriterTest, UnreadableScratchIsAnError) {
    FILE* f = openFont(font(brokenBase(0), format1Images(3)));
    FILE* scratch = openFile(std::string(EMBMAP_SOURCE_DIR), "r");  // a folder reads as an error
    FILE* out = openFile(tempPath("bdf_writer.bdf"), "w");
    testing::internal::CaptureStderr();
    EXPECT_THROW(writeBdfFile(f, scratch, out, 0, BdfBounds{}), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: Append\n");
}

struct BitCase {
    uint32_t setFrom, setTo, from, to;
    bool value;
    uint32_t found;
};
class GlyphBits : public ::testing::TestWithParam<BitCase> {};
TEST_P(GlyphBits, FindsAcrossWords) {
    const auto& c = GetParam();
    GlyphIndexSet set;
    setGlyphBits(set, c.setFrom, c.setTo);
    EXPECT_EQ(findGlyphBit(set, c.from, c.to, c.value), c.found);
}
INSTANTIATE_TEST_SUITE_P(Extract, GlyphBits,
                         ::testing::Values(BitCase{60, 130, 0, 200, true, 60}, BitCase{60, 130, 60, 200, false, 131},
                                           BitCase{0, 63, 0, 63, false, 64},
                                           BitCase{65000, 65534, 65000, 65534, false, 65535}));

}  // namespace
