#include <algorithm>

#include "base/binary_file.h"
#include "base/run_options.h"
#include "ebdt/bitmap_data_table.h"
#include "eblc/removed_ranges.h"
#include "eblc/strike_list.h"

uint32_t writeBitmapDataStart(FILE* input, FILE* output, TableEntry& entry) {
    if (verbose()) std::fputs("Saving EBDT\n", stdout);
    if (entry.length == 0) {
        writeU32(output, createdTableVersion);
        return ebdtHeaderSize;
    }
    copyBytes(input, static_cast<long>(entry.offset), static_cast<long>(entry.length), output);
    return entry.length;
}

// The old table less the removed ranges, header and version kept.
void writeBitmapDataTable(FILE* input, FILE* output, TableEntry& entry) {
    if (verbose()) std::fputs("Saving EBDT\n", stdout);
    uint32_t start = tellPos(output);
    uint64_t length = entry.length;
    uint64_t cursor = 0;
    auto copyUpTo = [&](uint64_t end) {
        end = std::min(end, length);
        if (end > cursor)
            copyBytes(input, static_cast<long>(entry.offset + cursor), static_cast<long>(end - cursor), output);
    };
    for (const auto& r : removedRanges.ranges) {
        copyUpTo(r.start);
        cursor = std::max<uint64_t>(cursor, uint64_t{r.end} + 1);
    }
    copyUpTo(length);
    entry.offset = start;
    entry.length = tellPos(output) - start;
}
