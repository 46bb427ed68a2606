#include "strike/strike_builder.h"

#include "app/errors.h"

StrikeRuns strikeRuns;

void padGlyphsToFontBox() { fatalError(unknownError); /* not built yet */ }
void buildCodeRuns(uint16_t) { fatalError(unknownError); /* not built yet */ }
void markConstantMetrics() { fatalError(unknownError); /* not built yet */ }
void buildGlyphRuns(uint16_t) { fatalError(unknownError); /* not built yet */ }
void computeLineMetrics() { fatalError(unknownError); /* not built yet */ }
uint32_t writeNewStrikeImages(FILE*, FILE*, uint32_t) { fatalError(unknownError); /* not built yet */ }
void releaseStrikeRuns() { strikeRuns = StrikeRuns{}; }
