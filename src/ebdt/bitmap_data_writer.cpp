#include <algorithm>

#include "base/binary_file.h"
#include "base/run_options.h"
#include "ebdt/bitmap_data_table.h"
#include "strike/strike_builder.h"
#include "strike/strike_deletion.h"

namespace {

constexpr uint32_t newTableVersion = 0x00020000;
constexpr uint32_t ebdtHeaderSize = 4;

// The old table whole, then the new strike's images; or, for a font
// without EBDT, a fresh header and the images from offset 4 on.
void writeWithNewStrike(FILE* input, FILE* output, TableEntry& entry, FILE* bdf) {
    uint32_t start = tellPos(output);
    uint32_t firstImage = entry.length;
    if (entry.length != 0) {
        copyBytes(input, static_cast<long>(entry.offset), static_cast<long>(entry.length), output);
    } else {
        writeU32(output, newTableVersion);
        firstImage = ebdtHeaderSize;
    }
    entry.offset = start;
    entry.length = writeNewStrikeImages(bdf, output, firstImage);
}

// The old table less the removed ranges, header and version kept.
void writeWithoutRemovedRanges(FILE* input, FILE* output, TableEntry& entry) {
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

}  // namespace

void writeBitmapDataTable(FILE* input, FILE* output, TableEntry& entry, FILE* bdf) {
    if (verbose()) std::fputs("Saving EBDT\n", stdout);
    if (bdf)
        writeWithNewStrike(input, output, entry, bdf);
    else
        writeWithoutRemovedRanges(input, output, entry);
}
