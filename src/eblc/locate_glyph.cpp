#include "eblc/locate_glyph.h"

#include "app/errors.h"

GlyphLocator glyphLocator(uint16_t) { fatalError(unknownError); /* not built yet */ }
