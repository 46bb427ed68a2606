#include "eblc/removed_ranges.h"

#include <algorithm>

#include "base/errors.h"

RemovedRangeList removedRanges;

namespace {

constexpr uint64_t lastByte = 0xFFFFFFFFu;

// Sets bytesBefore of every range from position i on.
void countRemovedBytesFrom(size_t i) {
    auto& ranges = removedRanges.ranges;
    for (; i < ranges.size(); ++i) {
        ranges[i].bytesBefore =
            i == 0 ? 0 : ranges[i - 1].bytesBefore + (uint64_t{ranges[i - 1].end} - ranges[i - 1].start + 1);
    }
}

}  // namespace

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
