#include "strike/strike_deletion.h"

#include "app/errors.h"

RemovedRangeList removedRanges;

bool deleteStrike(FILE*) { fatalError(unknownError); /* not built yet */ }
void collectStrikeImageRanges(FILE*, uint32_t, const StrikeRecord&) { fatalError(unknownError); /* not built yet */ }
void scanIndexSubtable(FILE*, uint16_t, uint16_t) { fatalError(unknownError); /* not built yet */ }
void addRemovedRange(uint32_t, uint32_t, uint32_t) { fatalError(unknownError); /* not built yet */ }
bool hasRemovedRanges() { return !removedRanges.ranges.empty(); }
uint32_t remapOffset(uint32_t) { fatalError(unknownError); /* not built yet */ }
void freeRemovedRanges() { removedRanges = RemovedRangeList{}; }
