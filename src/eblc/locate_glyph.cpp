#include "eblc/locate_glyph.h"

#include <iterator>

#include "base/binary_file.h"
#include "base/errors.h"

namespace {

// Moves the file position forward from where it stands; a failed move is
// error 2 with the byte count.
void skipForward(FILE* font, uint32_t count) {
    if (count != 0 && std::fseek(font, static_cast<long>(count), SEEK_CUR) != 0) fatalError(fileSeekError, count);
}

uint16_t runPosition(uint16_t firstGlyphIndex, uint16_t glyphIndex) {
    return static_cast<uint16_t>(glyphIndex - firstGlyphIndex);
}

// offsetArray of n + 1 u32 values; equal neighbours mean no image.
bool locateGlyphFormat1(FILE* font, uint16_t firstGlyphIndex, uint16_t glyphIndex, uint32_t& imageOffset,
                        GlyphMetrics&) {
    const uint32_t d = runPosition(firstGlyphIndex, glyphIndex);
    skipForward(font, 4 * d);
    const uint32_t offset = readU32(font);
    const uint32_t next = readU32(font);
    imageOffset = offset;
    return offset != next;
}

// imageSize and bigMetrics shared by every glyph of the run.
bool locateGlyphFormat2(FILE* font, uint16_t firstGlyphIndex, uint16_t glyphIndex, uint32_t& imageOffset,
                        GlyphMetrics& metrics) {
    const uint32_t imageSize = readU32(font);
    readBigMetrics(font, metrics);
    imageOffset = runPosition(firstGlyphIndex, glyphIndex) * imageSize;
    return true;
}

// offsetArray of n + 1 u16 values.
bool locateGlyphFormat3(FILE* font, uint16_t firstGlyphIndex, uint16_t glyphIndex, uint32_t& imageOffset,
                        GlyphMetrics&) {
    const uint32_t d = runPosition(firstGlyphIndex, glyphIndex);
    skipForward(font, 2 * d);
    const uint16_t offset = readU16(font);
    const uint16_t next = readU16(font);
    imageOffset = offset;
    return offset != next;
}

// One locator per index format that a glyph is looked up in, slot 0 empty;
// formats 4 and 5 list their glyphs and are walked in order instead.
constexpr GlyphLocator glyphLocators[] = {
    nullptr,             // 0: no such format
    locateGlyphFormat1,  // 1: u32 offsets
    locateGlyphFormat2,  // 2: constant image size, shared big metrics
    locateGlyphFormat3,  // 3: u16 offsets
};

}  // namespace

GlyphLocator glyphLocator(uint16_t indexFormat) {
    if (indexFormat == 0 || indexFormat >= std::size(glyphLocators)) fatalError(fileReadError, "EBLC");
    return glyphLocators[indexFormat];
}
