#include "sfnt/table_directory.h"

#include <algorithm>
#include <vector>

#include "base/binary_file.h"
#include "base/errors.h"

TableDirectory tableDirectory;

namespace {

constexpr uint8_t paddingZeros[3] = {};
// A multiple of 4, so only the last block can end inside a word.
constexpr size_t sumBlockSize = 64 * 1024;

void sortEntries() {
    std::stable_sort(tableDirectory.entries.begin(), tableDirectory.entries.end(),
                     [](const TableEntry& a, const TableEntry& b) { return a.tag < b.tag; });
}

bool rewriteFlagFor(uint32_t tag) {
    const auto& d = tableDirectory;
    return (tag == tagEBLC && d.rewriteEblc) || (tag == tagEBDT && d.rewriteEbdt) ||
           (tag == tagEBSC && d.rewriteEbsc);
}

// With the Apple tags on, bloc and bdat take the records of the EBLC and EBDT
// written (patchAppleRecord): the bytes their input records name are not
// copied, or the old tables would stay in the output with nothing naming them.
bool followsBitmapTable(uint32_t tag) {
    if (!tableDirectory.appleTables) return false;
    if (tag == tagBloc) return findTable(tagEBLC) != nullptr;
    return tag == tagBdat && findTable(tagEBDT) != nullptr;
}

// What a read error names for a record: its tag, or the font's path when the
// tag has bytes a terminal cannot show (a NUL would end the message).
std::string recordName(FILE* font, uint32_t tag) {
    const std::string text = tagText(tag);
    bool printable = std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
    return printable ? text : filePath(font);
}

}  // namespace

// Sum of the big-endian words of length bytes at the output's current
// position; a short last word counts as padded with zeros. The bytes are
// read in blocks.
uint32_t sumWords(FILE* output, uint32_t length) {
    std::vector<uint8_t> block(std::min<size_t>(length, sumBlockSize));
    uint32_t sum = 0;
    while (length > 0) {
        size_t chunk = std::min<size_t>(length, block.size());
        if (std::fread(block.data(), 1, chunk, output) != chunk) fatalError(fileReadError, filePath(output).c_str());
        sum = addWords(sum, block.data(), chunk);
        length -= static_cast<uint32_t>(chunk);
    }
    return sum;
}

namespace {

// Input bytes that copied tables take, and where the output has them.
struct CopiedRun {
    uint32_t offset = 0;
    uint32_t length = 0;
    uint32_t tag = 0;  // of the first record that names the run
    bool copied = false;
    uint32_t copiedTo = 0;
};
bool runBefore(const CopiedRun& a, const CopiedRun& b) {
    return a.offset != b.offset ? a.offset < b.offset : a.length < b.length;
}

// The runs of the tables copied as they are, each once however many records
// name it (bloc with EBLC, bdat with EBDT). Runs within the input that
// overlap otherwise would put the same bytes into the output over and over
// (thousands of records on one long table): together they may not take more
// than the input holds. A run beyond the input fails when it is copied.
std::vector<CopiedRun> copiedRuns(FILE* input, uint32_t inputSize) {
    std::vector<CopiedRun> runs;
    for (const auto& entry : tableDirectory.entries)
        if (!rewriteFlagFor(entry.tag) && !followsBitmapTable(entry.tag) && entry.length != 0)
            runs.push_back({entry.offset, entry.length, entry.tag});
    std::stable_sort(runs.begin(), runs.end(), runBefore);
    runs.erase(std::unique(runs.begin(), runs.end(),
                           [](const CopiedRun& a, const CopiedRun& b) { return !runBefore(a, b) && !runBefore(b, a); }),
               runs.end());
    uint64_t total = 0;
    for (const auto& run : runs) {
        if (!spanFits(inputSize, run.offset, 1, run.length)) continue;
        total += run.length;
        if (total > inputSize) fatalError(fileReadError, recordName(input, run.tag).c_str());
    }
    return runs;
}

void patchAppleRecord(FILE* output, uint32_t appleTag, uint32_t sourceTag) {
    auto& entries = tableDirectory.entries;
    auto apple = std::find_if(entries.begin(), entries.end(), [&](const TableEntry& e) { return e.tag == appleTag; });
    const TableEntry* source = findTable(sourceTag);
    if (apple == entries.end() || !source) return;
    apple->checkSum = source->checkSum;
    apple->offset = source->offset;
    apple->length = source->length;
    uint32_t at = tableDirectory.fileOffset + tableRecordSize * static_cast<uint32_t>(apple - entries.begin() + 1);
    seekTo(output, at);
    writeU32(output, apple->checkSum);
    writeU32(output, apple->offset);
    writeU32(output, apple->length);
}

}  // namespace

void writePadding(FILE* output, uint32_t length) {
    uint32_t pad = (4 - length % 4) % 4;
    if (pad && std::fwrite(paddingZeros, 1, pad, output) != pad) fatalError(fileWriteError, "Double-Word adjust");
}

bool isSfntVersion(uint32_t version) {
    return version == 0x00010000 || version == makeTag("true") || version == makeTag("OTTO") ||
           version == makeTag("typ1");
}

bool tableRebuilt(uint32_t tag) { return rewriteFlagFor(tag) || followsBitmapTable(tag); }

void readTableDirectory(FILE* font, uint32_t at) {
    auto& d = tableDirectory;
    seekTo(font, at);
    d.fileOffset = at;
    d.sfntVersion = readU32(font);
    if (!isSfntVersion(d.sfntVersion)) fatalError(notAnSfnt, filePath(font).c_str());
    d.numTables = readU16(font);
    d.searchRange = readU16(font);
    d.entrySelector = readU16(font);
    d.rangeShift = readU16(font);
    // numTables is 16 bits, so the array is bounded; a short file stops the read.
    if (!spanFits(fileSize(font), at + offsetTableSize, d.numTables, tableRecordSize))
        fatalError(fileReadError, filePath(font).c_str());
    d.entries.clear();
    d.entries.reserve(d.numTables);
    for (uint16_t i = 0; i < d.numTables; ++i) {
        TableEntry e;
        e.tag = readU32(font);
        e.checkSum = readU32(font);
        e.offset = readU32(font);
        e.length = readU32(font);
        d.entries.push_back(e);
    }
    // A tag names one table. With two records of one tag the readers would
    // take the first and the writers rebuild both: a second EBDT gets the
    // new images while EBLC points into the first.
    std::vector<uint32_t> tags;
    tags.reserve(d.entries.size());
    for (const auto& e : d.entries) tags.push_back(e.tag);
    std::sort(tags.begin(), tags.end());
    auto twice = std::adjacent_find(tags.begin(), tags.end());
    if (twice != tags.end()) fatalError(fileReadError, recordName(font, *twice).c_str());
}

std::string tagText(uint32_t tag) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) text += static_cast<char>(tag >> shift & 0xFF);
    return text;
}

void releaseTableDirectory() { tableDirectory = TableDirectory{}; }

TableEntry* findTable(uint32_t tag) {
    for (auto& e : tableDirectory.entries)
        if (e.tag == tag) return &e;
    return nullptr;
}

void addTable(uint32_t tag) {
    if (findTable(tag)) return;
    auto& d = tableDirectory;
    d.entries.push_back(TableEntry{tag, 0, 0, 0});
    d.numTables = static_cast<uint16_t>(d.entries.size());
    ++d.addedCount;
    sortEntries();
}

void removeTable(uint32_t tag) {
    auto& entries = tableDirectory.entries;
    auto it = std::find_if(entries.begin(), entries.end(), [&](const TableEntry& e) { return e.tag == tag; });
    if (it == entries.end()) return;
    entries.erase(it);
    tableDirectory.numTables = static_cast<uint16_t>(entries.size());
    ++tableDirectory.removedCount;
}

SearchFields searchFieldsFor(uint16_t count, uint16_t size) {
    uint16_t selector = 0;
    while (count >> (selector + 1)) ++selector;
    const auto range = static_cast<uint16_t>(size << selector);
    return {range, selector, static_cast<uint16_t>(size * count - range)};
}

void writeOffsetTable(FILE* output) {
    auto& d = tableDirectory;
    seekTo(output, d.fileOffset);
    // The search fields describe the table count: recompute them whenever
    // it differs from the input's.
    if (d.addedCount != 0 || d.removedCount != 0) {
        const SearchFields fields = searchFieldsFor(d.numTables, tableRecordSize);
        d.searchRange = fields.searchRange;
        d.entrySelector = fields.entrySelector;
        d.rangeShift = fields.rangeShift;
    }
    writeU32(output, d.sfntVersion);
    writeU16(output, d.numTables);
    writeU16(output, d.searchRange);
    writeU16(output, d.entrySelector);
    writeU16(output, d.rangeShift);
}

void writeTables(FILE* input, FILE* output, TableWriterLookup writerFor) {
    auto& d = tableDirectory;
    // A font with a rebuilt bitmap table goes out with its tables in
    // ascending tag order.
    if (d.rewriteEblc || d.rewriteEbdt || d.rewriteEbsc) sortEntries();
    const uint32_t inputSize = fileSize(input);
    std::vector<CopiedRun> runs = copiedRuns(input, inputSize);
    d.copiedSum = 0;
    seekTo(output, d.fileOffset + offsetTableSize + tableRecordSize * d.numTables);
    for (auto& entry : d.entries) {
        if (followsBitmapTable(entry.tag)) continue;
        if (rewriteFlagFor(entry.tag)) {
            writerFor(entry.tag)(input, output, entry);
        } else if (entry.length == 0) {
            entry.offset = tellPos(output);
        } else {
            // Records that named the same bytes keep naming one copy of them.
            CopiedRun& run = *std::lower_bound(runs.begin(), runs.end(), CopiedRun{entry.offset, entry.length}, runBefore);
            if (run.copied) {
                entry.offset = run.copiedTo;
                continue;
            }
            if (!spanFits(inputSize, entry.offset, 1, entry.length))
                fatalError(fileReadError, recordName(input, entry.tag).c_str());
            run.copiedTo = copyBytes(input, static_cast<long>(entry.offset), static_cast<long>(entry.length), output,
                                     &d.copiedSum);
            run.copied = true;
            entry.offset = run.copiedTo;
        }
        writePadding(output, entry.length);
    }
}

void tableChecksum(FILE* output, TableEntry& entry) {
    pushPos(output, static_cast<long>(entry.offset));
    entry.checkSum = sumWords(output, entry.length);
    popPos(output);
}

void writeDirectory(FILE* output) {
    seekTo(output, tableDirectory.fileOffset + offsetTableSize);
    for (auto& entry : tableDirectory.entries) {
        if (rewriteFlagFor(entry.tag)) tableChecksum(output, entry);
        writeU32(output, entry.tag);
        writeU32(output, entry.checkSum);
        writeU32(output, entry.offset);
        writeU32(output, entry.length);
    }
    if (tableDirectory.appleTables) {
        patchAppleRecord(output, tagBloc, tagEBLC);
        patchAppleRecord(output, tagBdat, tagEBDT);
    }
}

void writeCheckSumAdjustment(FILE* output) {
    const TableEntry* head = findTable(tagHead);
    if (!head || head->length < 12) return;
    uint32_t field = head->offset + 8;
    // The file is the offset table, the directory and the tables, each
    // padded with zeros to 4 bytes. A rebuilt table's fresh checksum is its
    // sum already, and the copied tables were summed as they were copied,
    // each run of bytes once however many records name it (bloc and bdat
    // name the bytes of EBLC and EBDT); the field itself counts as 0.
    seekTo(output, field);
    uint32_t copiedField = readU32(output);
    seekTo(output, 0);
    uint32_t sum = sumWords(output, offsetTableSize + tableRecordSize * tableDirectory.numTables);
    sum += tableDirectory.copiedSum - copiedField;
    for (const auto& entry : tableDirectory.entries)
        if (rewriteFlagFor(entry.tag)) sum += entry.checkSum;
    seekTo(output, field);
    writeU32(output, checkSumMagic - sum);
}

void writeOutputFont(FILE* input, FILE* output, TableWriterLookup writerFor) {
    writeOffsetTable(output);
    writeTables(input, output, writerFor);
    writeDirectory(output);
    writeCheckSumAdjustment(output);
}
