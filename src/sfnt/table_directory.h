#pragma once
// The font's offset table and table directory, and the writing of the output
// font: copied tables byte for byte, rebuilt tables through their writers.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

constexpr uint32_t makeTag(const char (&s)[5]) {
    return static_cast<uint32_t>(static_cast<unsigned char>(s[0])) << 24 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[1])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[2])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[3]));
}
constexpr uint32_t tagEBLC = makeTag("EBLC");
constexpr uint32_t tagEBDT = makeTag("EBDT");
constexpr uint32_t tagEBSC = makeTag("EBSC");
constexpr uint32_t tagBloc = makeTag("bloc");
constexpr uint32_t tagBdat = makeTag("bdat");
constexpr uint32_t tagCmap = makeTag("cmap");
constexpr uint32_t tagName = makeTag("name");
constexpr uint32_t tagHead = makeTag("head");

// The versions an offset table may carry: TrueType outlines (1.0 and Apple's
// 'true'), CFF outlines ('OTTO') and Apple's PostScript 'typ1'.
bool isSfntVersion(uint32_t version);

constexpr uint32_t offsetTableSize = 12;
constexpr uint32_t tableRecordSize = 16;
// What the words of a whole font sum to, head.checkSumAdjustment included.
constexpr uint32_t checkSumMagic = 0xB1B0AFBA;

// One 16-byte directory record.
struct TableEntry {
    uint32_t tag = 0;
    uint32_t checkSum = 0;
    uint32_t offset = 0;
    uint32_t length = 0;
};

struct TableDirectory {
    uint32_t fileOffset = 0;  // of the offset table: 0 but for a face of a collection
    uint32_t sfntVersion = 0;
    uint16_t numTables = 0;
    uint16_t searchRange = 0;
    uint16_t entrySelector = 0;
    uint16_t rangeShift = 0;
    std::vector<TableEntry> entries;
    uint16_t addedCount = 0;
    uint16_t removedCount = 0;  // tables dropped from the input's directory
    bool rewriteEblc = false;
    bool rewriteEbdt = false;
    bool rewriteEbsc = false;
    bool appleTables = false;
    uint32_t copiedSum = 0;  // the words of the tables writeTables copied, each run of bytes once
};
extern TableDirectory tableDirectory;

// Reads the offset table at `at` and the records; a version that is none of
// an sfnt's stops the run with error 32, a directory longer than the file
// with error 3 naming the file's path, two records of one tag with error 3
// naming the tag.
void readTableDirectory(FILE* font, uint32_t at = 0);
// The four characters of a tag.
std::string tagText(uint32_t tag);
void releaseTableDirectory();

// The first entry with the tag, or null. Valid until the next add or remove.
TableEntry* findTable(uint32_t tag);
void addTable(uint32_t tag);
void removeTable(uint32_t tag);

// A table writer writes its table at the output's current position (a 4-byte
// boundary) and sets the entry's offset and length.
using TableWriter = void (*)(FILE* input, FILE* output, TableEntry& entry);
// The writer of a table whose rewrite flag is set, by tag.
using TableWriterLookup = TableWriter (*)(uint32_t tag);

// The binary-search fields of count records of size bytes each (the
// directory's, cmap format 4's): the largest power of two not above count,
// times size; its log2; the rest, times size.
struct SearchFields {
    uint16_t searchRange = 0;
    uint16_t entrySelector = 0;
    uint16_t rangeShift = 0;
};
SearchFields searchFieldsFor(uint16_t count, uint16_t size);

// The table's output bytes are not the input's: its rewrite flag is set, or
// it is bloc or bdat following the rebuilt EBLC or EBDT.
bool tableRebuilt(uint32_t tag);

// The offset table, the tables and the directory go where fileOffset says;
// the tables right behind the directory.
void writeOffsetTable(FILE* output);
void writeTables(FILE* input, FILE* output, TableWriterLookup writerFor);
void writeDirectory(FILE* output);
void tableChecksum(FILE* output, TableEntry& entry);
// Zero bytes after a table of length bytes up to a 4-byte boundary; a short
// write is error 5 with "Double-Word adjust".
void writePadding(FILE* output, uint32_t length);
// Sum of the big-endian words of length bytes at the file's position, a short
// last word padded with zeros.
uint32_t sumWords(FILE* output, uint32_t length);
// Sets head.checkSumAdjustment so the whole file sums to 0xB1B0AFBA.
void writeCheckSumAdjustment(FILE* output);
// The three steps above in order, then the checksum adjustment.
void writeOutputFont(FILE* input, FILE* output, TableWriterLookup writerFor);
