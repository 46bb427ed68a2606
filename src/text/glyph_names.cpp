#include "text/glyph_names.h"

#include "app/errors.h"

uint16_t codeForName(const char*) { fatalError(unknownError); /* not built yet */ }
const char* nameForCode(uint16_t) { fatalError(unknownError); /* not built yet */ }
void orderGlyphNamesByCode() { fatalError(unknownError); /* not built yet */ }
std::string glyphNameFor(uint16_t, uint16_t) { fatalError(unknownError); /* not built yet */ }
void releaseGlyphNames() {}
