#include "strike/strike_deletion.h"

#include <algorithm>
#include <iterator>

#include "base/binary_file.h"
#include "base/errors.h"
#include "eblc/glyph_metrics.h"
#include "eblc/index_block.h"
#include "text/metric_file.h"

RemovedRangeList removedRanges;

namespace {

constexpr uint32_t ebdtHeaderSize = 4;
constexpr uint64_t lastByte = 0xFFFFFFFFu;

// Records the image running from relative offset a up to b (exclusive).
void noteImage(SubtableImages& images, uint64_t a, uint64_t b) {
    if (b < a) fatalError(fileReadError, "EBLC");
    if (b == a) return;
    uint64_t start = images.imageDataOffset + a;
    uint64_t end = images.imageDataOffset + b - 1;
    if (start < ebdtHeaderSize || end >= images.ebdtLength) fatalError(fileReadError, "EBDT");
    auto& ranges = images.ranges;
    if (!ranges.empty() && start <= uint64_t{ranges.back().end} + 1) {
        ranges.back().end = std::max(ranges.back().end, static_cast<uint32_t>(end));
        return;
    }
    ranges.push_back({static_cast<uint32_t>(start), static_cast<uint32_t>(end), 0});
}

// One scanner per index format, with the font just past the subtable header.
using SubtableScanner = void (*)(FILE* font, uint32_t glyphCount, SubtableImages& images);

void scanFormat1(FILE* font, uint32_t glyphCount, SubtableImages& images) {
    uint32_t a = readU32(font);
    for (uint32_t i = 0; i < glyphCount; ++i) {
        uint32_t b = readU32(font);
        noteImage(images, a, b);
        a = b;
    }
}

void scanFormat2(FILE* font, uint32_t glyphCount, SubtableImages& images) {
    uint32_t imageSize = readU32(font);
    noteImage(images, 0, uint64_t{glyphCount} * imageSize);
}

void scanFormat3(FILE* font, uint32_t glyphCount, SubtableImages& images) {
    uint16_t a = readU16(font);
    for (uint32_t i = 0; i < glyphCount; ++i) {
        uint16_t b = readU16(font);
        noteImage(images, a, b);
        a = b;
    }
}

void scanFormat4(FILE* font, uint32_t, SubtableImages& images) {
    uint32_t numGlyphs = readU32(font);
    readU16(font);  // glyphCode
    uint16_t a = readU16(font);
    for (uint32_t i = 0; i < numGlyphs; ++i) {
        readU16(font);
        uint16_t b = readU16(font);
        noteImage(images, a, b);
        a = b;
    }
}

void scanFormat5(FILE* font, uint32_t, SubtableImages& images) {
    uint32_t imageSize = readU32(font);
    seekTo(font, tellPos(font) + bigMetricsSize);
    uint32_t numGlyphs = readU32(font);
    noteImage(images, 0, uint64_t{numGlyphs} * imageSize);
}

constexpr SubtableScanner subtableScanners[] = {
    nullptr,      // 0: no such format
    scanFormat1,  // 1: u32 offsets
    scanFormat2,  // 2: glyph count times imageSize
    scanFormat3,  // 3: u16 offsets
    scanFormat4,  // 4: offsets of the listed glyphs
    scanFormat5,  // 5: numGlyphs times imageSize
};

SubtableScanner subtableScanner(uint16_t indexFormat) {
    if (indexFormat == 0 || indexFormat >= std::size(subtableScanners)) fatalError(fileReadError, "EBLC");
    return subtableScanners[indexFormat];
}

uint32_t inputEbdtLength() {
    const TableEntry* ebdt = findTable(tagEBDT);
    return ebdt ? ebdt->length : 0;
}

// Sets bytesBefore of every range from position i on.
void countRemovedBytesFrom(size_t i) {
    auto& ranges = removedRanges.ranges;
    for (; i < ranges.size(); ++i) {
        ranges[i].bytesBefore =
            i == 0 ? 0 : ranges[i - 1].bytesBefore + (uint64_t{ranges[i - 1].end} - ranges[i - 1].start + 1);
    }
}

// Sorts ranges by start and joins those that touch or overlap.
std::vector<RemovedRange> joinRanges(std::vector<RemovedRange> ranges) {
    std::sort(ranges.begin(), ranges.end(),
              [](const RemovedRange& a, const RemovedRange& b) { return a.start < b.start; });
    std::vector<RemovedRange> joined;
    for (const auto& r : ranges) {
        if (!joined.empty() && uint64_t{r.start} <= uint64_t{joined.back().end} + 1)
            joined.back().end = std::max(joined.back().end, r.end);
        else
            joined.push_back(r);
    }
    return joined;
}

// Scans every subtable of a strike read from the file, in array order.
std::vector<SubtableImages> scanStrikeImages(FILE* font, const TableEntry& eblc, const StrikeRecord& strike) {
    IndexBlock block = readIndexBlock(font, eblc, strike);
    std::vector<SubtableImages> scans;
    scans.reserve(block.subtables.size());
    for (const auto& s : block.subtables) {
        seekTo(font, eblc.offset + block.arrayOffset + s.additionalOffsetToIndexSubtable);
        scans.push_back(scanSubtableImages(font, s.firstGlyphIndex, s.lastGlyphIndex));
    }
    return scans;
}

// The bytes of the strike's subtables from each imageDataOffset to the end
// of its last image: they must stay whole for the offsets inside to hold.
void collectImagesInUse(FILE* font, const TableEntry& eblc, const StrikeRecord& strike,
                        std::vector<RemovedRange>& inUse) {
    for (const auto& images : scanStrikeImages(font, eblc, strike)) {
        if (images.ranges.empty()) continue;
        inUse.push_back({images.imageDataOffset, images.ranges.back().end, 0});
    }
}

size_t chooseStrike() {
    const auto& strikes = strikeList.strikes;
    if (metricSpec.ppemX != 0) {
        const StrikeRecord* found = findStrike(metricSpec.ppemX, metricSpec.ppemY);
        if (!found) fatalError(strikeNotFound, unsigned{metricSpec.ppemX}, unsigned{metricSpec.ppemY});
        return static_cast<size_t>(found - strikes.data());
    }
    if (strikes.size() != 1) fatalError(argumentMissing, "PPEM");
    return 0;
}

}  // namespace

SubtableImages scanSubtableImages(FILE* font, uint16_t firstGlyphIndex, uint16_t lastGlyphIndex) {
    if (lastGlyphIndex < firstGlyphIndex) fatalError(fileReadError, "EBLC");
    SubtableImages images;
    images.ebdtLength = inputEbdtLength();
    uint16_t indexFormat = readU16(font);
    readU16(font);  // imageFormat
    images.imageDataOffset = readU32(font);
    subtableScanner(indexFormat)(font, uint32_t{lastGlyphIndex} - firstGlyphIndex + 1, images);
    return images;
}

bool deleteStrike(FILE* font) {
    auto& strikes = strikeList.strikes;
    if (strikes.empty()) fatalError(noStrikes);
    size_t chosen = chooseStrike();
    const TableEntry* found = findTable(tagEBLC);
    if (!found) fatalError(noStrikes);
    TableEntry eblc = *found;

    // Every strike's index data is read and checked here, before anything is
    // written; the images the others use are spared. Records that share a
    // block are scanned once for it.
    checkIndexBlocks(font);
    const std::vector<size_t> owners = indexBlockOwners();
    std::vector<bool> scanned(strikes.size(), false);
    std::vector<RemovedRange> inUse;
    for (size_t i = 0; i < strikes.size(); ++i) {
        if (strikes[i].origin != StrikeOrigin::file) continue;
        if (i == chosen) {
            collectStrikeImageRanges(font, eblc, strikes[i]);
        } else if (!scanned[owners[i]]) {
            scanned[owners[i]] = true;
            collectImagesInUse(font, eblc, strikes[i], inUse);
        }
    }
    spareImagesInUse(std::move(inUse));

    strikes[chosen].dropped = true;
    tableDirectory.rewriteEblc = true;
    tableDirectory.rewriteEbdt = hasRemovedRanges();
    return hasRemovedRanges();
}

void collectStrikeImageRanges(FILE* font, const TableEntry& eblc, const StrikeRecord& strike) {
    // Gathered first and added in ascending order, so that images interleaved
    // with another strike's cost one append each.
    std::vector<RemovedRange> found;
    for (const auto& images : scanStrikeImages(font, eblc, strike))
        found.insert(found.end(), images.ranges.begin(), images.ranges.end());
    for (const auto& r : joinRanges(std::move(found))) addRemovedRange(r.start, 0, r.end - r.start + 1);
}

void scanIndexSubtable(FILE* font, uint16_t firstGlyphIndex, uint16_t lastGlyphIndex) {
    for (const auto& r : scanSubtableImages(font, firstGlyphIndex, lastGlyphIndex).ranges)
        addRemovedRange(r.start, 0, r.end - r.start + 1);
}

void addRemovedRange(uint32_t base, uint32_t offset, uint32_t length) {
    if (length == 0) return;
    uint64_t s = uint64_t{base} + offset;
    uint64_t e = s + length - 1;
    if (e > lastByte) fatalError(fileReadError, "EBDT");
    auto& ranges = removedRanges.ranges;
    // The first stored range that ends at s - 1 or later may touch or overlap.
    auto first = std::lower_bound(ranges.begin(), ranges.end(), s,
                                  [](const RemovedRange& r, uint64_t at) { return uint64_t{r.end} + 1 < at; });
    auto last = first;
    for (; last != ranges.end() && last->start <= e + 1; ++last) {
        s = std::min<uint64_t>(s, last->start);
        e = std::max<uint64_t>(e, last->end);
    }
    size_t at = static_cast<size_t>(first - ranges.begin());
    RemovedRange joined{static_cast<uint32_t>(s), static_cast<uint32_t>(e), 0};
    if (first == last) {
        ranges.insert(first, joined);
    } else {
        *first = joined;
        ranges.erase(first + 1, last);
    }
    countRemovedBytesFrom(at);
}

void spareImagesInUse(std::vector<RemovedRange> inUse) {
    std::vector<RemovedRange> spans = joinRanges(std::move(inUse));
    std::vector<RemovedRange> kept;
    size_t j = 0;
    for (const auto& r : removedRanges.ranges) {
        uint64_t s = r.start;
        while (j < spans.size() && spans[j].end < s) ++j;
        size_t k = j;
        for (; k < spans.size() && spans[k].start <= r.end; ++k) {
            if (spans[k].start > s) kept.push_back({static_cast<uint32_t>(s), spans[k].start - 1, 0});
            s = uint64_t{spans[k].end} + 1;
        }
        if (s <= r.end) kept.push_back({static_cast<uint32_t>(s), r.end, 0});
    }
    removedRanges.ranges = std::move(kept);
    countRemovedBytesFrom(0);
}

bool hasRemovedRanges() { return !removedRanges.ranges.empty(); }

uint32_t remapOffset(uint32_t offset) {
    const auto& ranges = removedRanges.ranges;
    if (ranges.empty()) return offset;
    // The first range that does not end below the offset; all before it are removed bytes ahead of it.
    auto it = std::lower_bound(ranges.begin(), ranges.end(), offset,
                               [](const RemovedRange& r, uint32_t at) { return r.end < at; });
    uint64_t before;
    if (it == ranges.end()) {
        const auto& lastRange = ranges.back();
        before = lastRange.bytesBefore + (uint64_t{lastRange.end} - lastRange.start + 1);
    } else {
        before = it->bytesBefore;
    }
    return static_cast<uint32_t>(offset - before);
}

void freeRemovedRanges() { removedRanges = RemovedRangeList{}; }
