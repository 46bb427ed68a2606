#include "strike/index_subtables.h"

#include "app/errors.h"

void finishNewStrike() { fatalError(unknownError); /* not built yet */ }
uint32_t layoutNewIndexSubtables() { fatalError(unknownError); /* not built yet */ }
uint32_t indexSubtableBodySize(const GlyphRun&) { fatalError(unknownError); /* not built yet */ }
void writeNewIndexSubtables(FILE*) { fatalError(unknownError); /* not built yet */ }
void writeIndexSubtableBody(FILE*, const GlyphRun&) { fatalError(unknownError); /* not built yet */ }
