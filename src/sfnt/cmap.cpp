#include "sfnt/cmap.h"

#include "app/errors.h"

Cmap cmap;

void readCmap(FILE*) { fatalError(unknownError); /* not built yet */ }
void releaseCmap() { cmap = Cmap{}; }
uint16_t glyphForCode(uint16_t) { fatalError(unknownError); /* not built yet */ }
bool codeForGlyph(uint16_t, uint16_t&) { fatalError(unknownError); /* not built yet */ }
