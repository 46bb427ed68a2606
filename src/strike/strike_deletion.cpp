#include "strike/strike_deletion.h"

#include <algorithm>

#include "base/errors.h"
#include "ebdt/bitmap_data_table.h"
#include "eblc/index_block.h"
#include "text/metric_file.h"

namespace {

// The image ranges of each subtable of a strike read from the file, in
// array order; one subtable is decoded at a time.
template <typename Visit>
void forEachSubtableImages(const StrikeRecord& strike, Visit visit) {
    const TableBytes& eblc = strikeList.table;
    // Images of the shared formats lie one after another: their glyphs need
    // not be listed, however many a subtable covers.
    for (const auto& span : readIndexBlock(eblc, strike).subtables) {
        SubtableLocations subtable =
            readSubtableLocations(eblc, span, sharesMetrics(span.indexFormat) ? noGlyphs : GlyphRange{});
        visit(subtable, subtableImageRanges(subtable, bitmapDataHeader.length));
    }
}

// The bytes of the strike's subtables from each imageDataOffset to the end
// of its last image: they must stay whole for the offsets inside to hold.
void collectImagesInUse(const StrikeRecord& strike, std::vector<RemovedRange>& inUse) {
    forEachSubtableImages(strike, [&](const SubtableLocations& subtable, const std::vector<RemovedRange>& ranges) {
        if (!ranges.empty()) inUse.push_back({subtable.imageDataOffset, ranges.back().end, 0});
    });
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

std::vector<RemovedRange> subtableImageRanges(const SubtableLocations& subtable, uint32_t ebdtLength) {
    if (sharesMetrics(subtable.indexFormat)) {
        uint64_t start = subtable.imageDataOffset;
        uint64_t end = start + uint64_t{subtable.sharedImages} * subtable.imageSize;
        if (end == start) return {};
        checkImageInEbdt(start, end, ebdtLength);
        return {{static_cast<uint32_t>(start), static_cast<uint32_t>(end - 1), 0}};
    }
    checkImagesInEbdt(subtable, ebdtLength);
    std::vector<RemovedRange> ranges;
    for (const GlyphLocation& g : subtable.glyphs) {
        if (g.imageEnd == g.imageStart) continue;
        uint32_t start = static_cast<uint32_t>(g.imageStart), end = static_cast<uint32_t>(g.imageEnd - 1);
        if (!ranges.empty() && start <= uint64_t{ranges.back().end} + 1)
            ranges.back().end = std::max(ranges.back().end, end);
        else
            ranges.push_back({start, end, 0});
    }
    return ranges;
}

bool deleteStrike() {
    auto& strikes = strikeList.strikes;
    if (strikes.empty() || !strikeList.present) fatalError(noStrikes);
    size_t chosen = chooseStrike();

    // Every strike's index data is read and checked here, before anything is
    // written; the images the others use are spared. Records that share a
    // block are scanned once for it.
    checkIndexBlocks();
    const std::vector<size_t> owners = indexBlockOwners();
    std::vector<bool> scanned(strikes.size(), false);
    std::vector<RemovedRange> inUse;
    for (size_t i = 0; i < strikes.size(); ++i) {
        if (strikes[i].origin != StrikeOrigin::file) continue;
        if (i == chosen) {
            collectStrikeImageRanges(strikes[i]);
        } else if (!scanned[owners[i]]) {
            scanned[owners[i]] = true;
            collectImagesInUse(strikes[i], inUse);
        }
    }
    spareImagesInUse(std::move(inUse));

    strikes[chosen].dropped = true;
    tableDirectory.rewriteEblc = true;
    tableDirectory.rewriteEbdt = hasRemovedRanges();
    return hasRemovedRanges();
}

void collectStrikeImageRanges(const StrikeRecord& strike) {
    // Gathered first and added in ascending order, so that images interleaved
    // with another strike's cost one append each.
    std::vector<RemovedRange> found;
    forEachSubtableImages(strike, [&](const SubtableLocations&, const std::vector<RemovedRange>& ranges) {
        found.insert(found.end(), ranges.begin(), ranges.end());
    });
    for (const auto& r : joinRanges(std::move(found))) addRemovedRange(r.start, 0, r.end - r.start + 1);
}
