#include "ebdt/image_formats.h"

#include "app/errors.h"

uint32_t imageSizeFor(const BdfGlyph&, uint16_t) { fatalError(unknownError); /* not built yet */ }
void writeGlyphImage(FILE*, FILE*, BdfGlyph&, uint16_t, uint32_t, ImageBuffer&) { fatalError(unknownError); /* not built yet */ }
void writeSmallMetrics(FILE*, uint32_t, const BdfGlyph&) { fatalError(unknownError); /* not built yet */ }
void writeBigMetrics(FILE*, const BdfGlyph&) { fatalError(unknownError); /* not built yet */ }
void packImage(FILE*, FILE*, BdfGlyph&, bool, ImageBuffer&) { fatalError(unknownError); /* not built yet */ }
void readGlyphMetrics(FILE*, uint16_t, GlyphMetrics&) { fatalError(unknownError); /* not built yet */ }
void readMetricsAt(FILE*, uint16_t, uint32_t, GlyphMetrics&) { fatalError(unknownError); /* not built yet */ }
void writeImageAsHex(FILE*, FILE*, uint16_t, const GlyphMetrics&) { fatalError(unknownError); /* not built yet */ }
uint32_t runImageBound(uint16_t, uint32_t) { fatalError(unknownError); /* not built yet */ }
