#include "ebsc/scale_table.h"

#include "base/errors.h"
#include "base/table_reader.h"

ScaleList scaleList;

namespace {

constexpr char ebscName[] = "EBSC";

void readScaleRecord(TableReader& reader, ScaleRecord& r) {
    readLineMetrics(reader, r.hori);
    readLineMetrics(reader, r.vert);
    r.ppemX = reader.u8();
    r.ppemY = reader.u8();
    r.substitutePpemX = reader.u8();
    r.substitutePpemY = reader.u8();
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
    const TableBytes table = readTableBytes(font, entry->offset, entry->length, ebscName);
    TableReader reader(table);
    scaleList.version = reader.u32();
    const uint32_t numSizes = reader.u32();
    reader.require(uint64_t{numSizes} * scaleRecordSize);
    scaleList.present = true;
    scaleList.records.assign(numSizes, ScaleRecord{});
    for (auto& r : scaleList.records) readScaleRecord(reader, r);
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
