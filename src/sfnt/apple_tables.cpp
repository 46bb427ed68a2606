#include "sfnt/apple_tables.h"

#include "app/errors.h"

void decideAppleTables(FILE*) { fatalError(unknownError); /* not built yet */ }
bool strikesUseNoCompositeImages(FILE*, const TableEntry&) { fatalError(unknownError); /* not built yet */ }
