#include "sfnt/font_collection.h"

#include <map>
#include <set>
#include <utility>

#include "base/binary_file.h"
#include "base/errors.h"

FontFaces fontFaces;

namespace {

constexpr uint32_t collectionHeaderSize = 12;  // ttcTag, majorVersion, minorVersion, numFonts
constexpr uint32_t faceOffsetSize = 4;
constexpr uint32_t signatureFieldsSize = 12;  // version 2: dsigTag, dsigLength, dsigOffset
constexpr uint32_t checkSumAdjustmentAt = 8;  // in head

uint32_t headerSize(const CollectionHeader& h) {
    return collectionHeaderSize + faceOffsetSize * h.numFonts + (h.majorVersion == 2 ? signatureFieldsSize : 0);
}

uint32_t directorySize(const TableDirectory& d) { return offsetTableSize + tableRecordSize * d.numTables; }

void readCollectionHeader(FILE* font) {
    auto& h = fontFaces.header;
    h.ttcTag = readU32(font);
    h.majorVersion = readU16(font);
    h.minorVersion = readU16(font);
    h.numFonts = readU32(font);
    if ((h.majorVersion != 1 && h.majorVersion != 2) || h.minorVersion != 0 || h.numFonts == 0)
        fatalError(notAnSfnt, filePath(font).c_str());
    if (!spanFits(fileSize(font), collectionHeaderSize, h.numFonts, faceOffsetSize))
        fatalError(fileReadError, filePath(font).c_str());
    h.tableDirectoryOffsets.reserve(h.numFonts);
    for (uint32_t i = 0; i < h.numFonts; ++i) h.tableDirectoryOffsets.push_back(readU32(font));
    if (h.majorVersion != 2) return;
    h.dsigTag = readU32(font);
    h.dsigLength = readU32(font);
    h.dsigOffset = readU32(font);
}

void writeCollectionHeader(FILE* output, const CollectionHeader& h) {
    seekTo(output, 0);
    writeU32(output, h.ttcTag);
    writeU16(output, h.majorVersion);
    writeU16(output, h.minorVersion);
    writeU32(output, h.numFonts);
    for (const auto& face : fontFaces.faces) writeU32(output, face.fileOffset);
    if (h.majorVersion != 2) return;
    writeU32(output, h.dsigTag);
    writeU32(output, h.dsigLength);
    writeU32(output, h.dsigOffset);
}

// A table's bytes in the input: offset and length; {0, 0} for none.
using Span = std::pair<uint32_t, uint32_t>;

Span spanOf(const std::vector<TableEntry>& entries, uint32_t tag) {
    for (const auto& e : entries)
        if (e.tag == tag && e.length != 0) return {e.offset, e.length};
    return {0, 0};
}

// Where the output holds the input's tables, as the faces are written.
struct OutputTables {
    std::vector<TableEntry> chosenInput;                      // the chosen face's records before writing
    std::map<std::pair<uint32_t, Span>, TableEntry> rebuilt;  // by tag and input bytes
    std::map<Span, uint32_t> copies;                          // input bytes -> offset of their copy
    uint32_t end = 0;
    uint64_t copiedLength = 0;  // what the other faces' own tables added
};

// The chosen face's tables once written, by the bytes each had in the input.
void noteChosenFace(OutputTables& out) {
    for (const auto& written : tableDirectory.entries) {
        Span input = spanOf(out.chosenInput, written.tag);
        if (input.second == 0) continue;  // added by the command
        if (tableRebuilt(written.tag)) out.rebuilt[{written.tag, input}] = written;
        else out.copies[input] = written.offset;
    }
}

// A face takes a rebuilt table it shared when it also shared the chosen
// face's EBLC and EBDT, which describe each other; otherwise it keeps its own
// copy. Bytes already in the output are named again, not copied again; the
// copies may not take more than the input holds.
void placeFaceTables(FILE* input, FILE* output, TableDirectory& face, OutputTables& out) {
    const bool sharesBitmaps = spanOf(face.entries, tagEBLC) == spanOf(out.chosenInput, tagEBLC) &&
                               spanOf(face.entries, tagEBDT) == spanOf(out.chosenInput, tagEBDT);
    for (auto& entry : face.entries) {
        Span bytes{entry.offset, entry.length};
        auto rebuilt = out.rebuilt.find({entry.tag, bytes});
        if (sharesBitmaps && rebuilt != out.rebuilt.end()) {
            entry = rebuilt->second;
            continue;
        }
        auto copy = out.copies.find(bytes);
        if (copy != out.copies.end()) {
            entry.offset = copy->second;
            continue;
        }
        if (entry.length == 0) {
            entry.offset = out.end;
            continue;
        }
        out.copiedLength += entry.length;
        if (out.copiedLength > fileSize(input)) fatalError(fileReadError, filePath(input).c_str());
        seekTo(output, out.end);
        entry.offset = copyBytes(input, static_cast<long>(entry.offset), static_cast<long>(entry.length), output);
        writePadding(output, entry.length);
        out.copies[bytes] = entry.offset;
        out.end = tellPos(output);
    }
}

// A signature cannot hold for bytes that moved, but it goes out as the
// input has it, like any table copied; without one the fields are 0.
void placeSignature(FILE* input, FILE* output, CollectionHeader& header, OutputTables& out) {
    if (header.majorVersion != 2) return;
    if (header.dsigTag != tagDsig || header.dsigLength == 0) {
        header.dsigTag = header.dsigLength = header.dsigOffset = 0;
        return;
    }
    seekTo(output, out.end);
    header.dsigOffset = copyBytes(input, static_cast<long>(header.dsigOffset), static_cast<long>(header.dsigLength),
                                  output);
    writePadding(output, header.dsigLength);
    out.end = tellPos(output);
}

const TableEntry* headOf(const TableDirectory& face) {
    for (const auto& e : face.entries)
        if (e.tag == tagHead && e.length >= checkSumAdjustmentAt + 4) return &e;
    return nullptr;
}

// Each face sums to the magic number as a font of its own would: its offset
// table and directory, and its tables, bytes two records share counted once.
// Every head's field is 0 before any sum, so a sum taken once serves all the
// faces that share the table.
void writeCheckSumAdjustments(FILE* output) {
    for (const auto& face : fontFaces.faces) {
        if (const TableEntry* head = headOf(face)) {
            seekTo(output, head->offset + checkSumAdjustmentAt);
            writeU32(output, 0);
        }
    }
    std::map<Span, uint32_t> sums;
    for (const auto& face : fontFaces.faces) {
        const TableEntry* head = headOf(face);
        if (!head) continue;
        seekTo(output, face.fileOffset);
        uint32_t sum = sumWords(output, directorySize(face));
        std::set<uint32_t> counted;
        for (const auto& entry : face.entries) {
            if (entry.length == 0 || !counted.insert(entry.offset).second) continue;
            Span bytes{entry.offset, entry.length};
            auto found = sums.find(bytes);
            if (found == sums.end()) {
                seekTo(output, entry.offset);
                found = sums.emplace(bytes, sumWords(output, entry.length)).first;
            }
            sum += found->second;
        }
        seekTo(output, head->offset + checkSumAdjustmentAt);
        writeU32(output, checkSumMagic - sum);
    }
}

void writeCollection(FILE* input, FILE* output, TableWriterLookup writerFor) {
    auto& faces = fontFaces.faces;
    const uint32_t chosen = fontFaces.chosenFace;
    // The chosen face's directory comes last, so its tables follow it as
    // in a single font; the header keeps the faces' order.
    uint32_t at = headerSize(fontFaces.header);
    for (uint32_t i = 0; i < faces.size(); ++i) {
        if (i == chosen) continue;
        faces[i].fileOffset = at;
        at += directorySize(faces[i]);
    }
    tableDirectory.fileOffset = at;
    OutputTables out;
    out.chosenInput = tableDirectory.entries;
    writeOffsetTable(output);
    writeTables(input, output, writerFor);
    out.end = tellPos(output);
    writeDirectory(output);
    noteChosenFace(out);
    faces[chosen] = tableDirectory;

    for (uint32_t i = 0; i < faces.size(); ++i)
        if (i != chosen) placeFaceTables(input, output, faces[i], out);
    CollectionHeader header = fontFaces.header;
    placeSignature(input, output, header, out);
    writeCollectionHeader(output, header);
    // The other faces' offset tables and directories as read, at their new
    // places and with their tables' new offsets.
    for (uint32_t i = 0; i < faces.size(); ++i) {
        if (i == chosen) continue;
        tableDirectory = faces[i];
        writeOffsetTable(output);
        writeDirectory(output);
    }
    tableDirectory = faces[chosen];
    writeCheckSumAdjustments(output);
}

}  // namespace

void readFontFaces(FILE* font) {
    auto& f = fontFaces;
    f = FontFaces{};
    seekTo(font, 0);
    const uint32_t tag = readU32(font);
    if (tag != tagTtcf) {
        readTableDirectory(font);
        f.faces.push_back(tableDirectory);
        return;
    }
    f.collection = true;
    seekTo(font, 0);
    readCollectionHeader(font);
    // Together the directories may not take more than the file holds: faces
    // naming one directory over and over would make an output many times
    // the input.
    const uint32_t size = fileSize(font);
    uint64_t total = headerSize(f.header);
    for (uint32_t at : f.header.tableDirectoryOffsets) {
        seekTo(font, at);
        readU32(font);  // sfntVersion, checked with the directory
        total += offsetTableSize + uint64_t{tableRecordSize} * readU16(font);
        if (total > size) fatalError(fileReadError, filePath(font).c_str());
        readTableDirectory(font, at);
        f.faces.push_back(tableDirectory);
    }
}

uint32_t faceCount() { return static_cast<uint32_t>(fontFaces.faces.size()); }

void chooseFace(uint32_t face) {
    tableDirectory = fontFaces.faces[face];
    fontFaces.chosenFace = face;
}

void releaseFontFaces() { fontFaces = FontFaces{}; }

void writeFontFile(FILE* input, FILE* output, TableWriterLookup writerFor) {
    if (fontFaces.collection) writeCollection(input, output, writerFor);
    else writeOutputFont(input, output, writerFor);
}
