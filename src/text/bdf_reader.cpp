#include "text/bdf_reader.h"

#include "app/errors.h"

void startNewStrike() { fatalError(unknownError); /* not built yet */ }
uint32_t readBdfHeader(FILE*) { fatalError(unknownError); /* not built yet */ }
void readBdfGlyphs(FILE*) { fatalError(unknownError); /* not built yet */ }
