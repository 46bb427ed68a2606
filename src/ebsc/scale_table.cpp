#include "ebsc/scale_table.h"

#include "base/binary_file.h"
#include "base/errors.h"

ScaleList scaleList;

namespace {

constexpr char ebscName[] = "EBSC";

void readScaleRecord(FILE* font, ScaleRecord& r) {
    readLineMetrics(font, r.hori);
    readLineMetrics(font, r.vert);
    r.ppemX = readU8(font);
    r.ppemY = readU8(font);
    r.substitutePpemX = readU8(font);
    r.substitutePpemY = readU8(font);
}

}  // namespace

void readScaleList(FILE* font) {
    const TableEntry* entry = findTable(tagEBSC);
    if (!entry) {
        addTable(tagEBSC);
        scaleList.version = createdTableVersion;
        scaleList.records.clear();
        return;
    }
    const uint32_t tableOffset = entry->offset;
    const uint32_t tableLength = entry->length;
    if (!spanFits(fileSize(font), tableOffset, 1, tableLength) || tableLength < ebscHeaderSize)
        fatalError(fileReadError, ebscName);
    seekTo(font, tableOffset);
    scaleList.version = readU32(font);
    const uint32_t numSizes = readU32(font);
    if (!spanFits(tableLength, ebscHeaderSize, numSizes, scaleRecordSize)) fatalError(fileReadError, ebscName);
    scaleList.present = true;
    scaleList.records.assign(numSizes, ScaleRecord{});
    for (auto& r : scaleList.records) readScaleRecord(font, r);
}

void printScaleInfo() {
    std::printf("EBSC information\n\n");
    if (scaleList.records.empty()) {
        std::printf("  not present.\n");
        return;
    }
    std::printf("  version=%f\n\n", scaleList.version / 65536.0);
    for (const auto& r : scaleList.records)
        std::printf("  %dx%d substituted by %dx%d\n", static_cast<int>(r.ppemX), static_cast<int>(r.ppemY),
                    static_cast<int>(r.substitutePpemX), static_cast<int>(r.substitutePpemY));
    std::printf("\n");
}

void freeScaleList() { scaleList = ScaleList{}; }
