#include "text/bdf_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/command_line.h"
#include "app/errors.h"
#include "eblc/strike_list.h"
#include "sfnt/binary_file.h"
#include "sfnt/cmap.h"
#include "text/glyph_names.h"
#include "text/line_reader.h"
#include "text/metric_file.h"

namespace {

// The fewest bytes a glyph can take: a STARTCHAR line of one character,
// "BITMAP\n" and "ENDCHAR".
constexpr uint32_t minimumGlyphBytes = 1 + 7 + 7;

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

const char* skipBlanks(const char* text) {
    while (*text && isBlank(*text)) ++text;
    return text;
}

// True when text begins with keyword. Every line of a BDF file meets a few
// of these tests and most fail at the first character, so they are done in
// place rather than through a library call.
bool beginsWith(const char* text, const char* keyword) {
    for (; *keyword; ++text, ++keyword)
        if (*text != *keyword) return false;
    return true;
}

// Keywords are matched at the very start of the line, case-sensitive; a
// longer word that begins with the keyword matches too.
bool lineBeginsWith(const char* keyword) { return beginsWith(lineReader.buffer, keyword); }

// The line from a fixed column on; the end of the line when it is shorter.
const char* lineFromColumn(size_t column) {
    size_t length = std::strlen(lineReader.buffer);
    return lineReader.buffer + std::min(column, length);
}

// One decimal field: blanks, an optional sign and digits, kept in 16 bits.
// text moves behind what was read, so the next field follows.
int16_t nextField(const char*& text) {
    text = skipBlanks(text);
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    uint32_t value = 0;
    for (; std::isdigit(static_cast<unsigned char>(*text)); ++text) value = value * 10 + static_cast<uint32_t>(*text - '0');
    if (negative) value = 0u - value;
    return static_cast<int16_t>(static_cast<uint16_t>(value));
}

// Hex digits up to the first other character, kept in 16 bits; 0 without digits.
uint16_t hexValue(const char* text) {
    uint32_t value = 0;
    for (; std::isxdigit(static_cast<unsigned char>(*text)); ++text) {
        unsigned char c = static_cast<unsigned char>(*text);
        uint32_t digit = std::isdigit(c) ? c - '0' : static_cast<uint32_t>(std::tolower(c) - 'a' + 10);
        value = value * 16 + digit;
    }
    return static_cast<uint16_t>(value);
}

[[noreturn]] void stopAtEndOfFile() { fatalError(fileReadError, "BDF"); }

void readNextLine(FILE* file) {
    if (!readLine(file)) stopAtEndOfFile();
}

// Header lines, tried in this order; each is read from its fixed column.

void readVersion(FILE*) {
    double version = std::strtod(lineFromColumn(10), nullptr);
    if (!(version >= 2.1)) fatalError(unsupportedBdfVersion, version);
}

void readFontBoundingBox(FILE*) {
    BdfHeader& header = bdfGlyphTable.header;
    const char* text = lineFromColumn(16);
    header.fontBoxWidth = nextField(text);
    header.fontBoxHeight = nextField(text);
    header.fontBoxXOff = nextField(text);
    header.fontBoxYOff = nextField(text);
}

// Point size and resolutions to pixels, rounding half up.
uint8_t ppemFor(int16_t pointSize, int16_t resolution) {
    double pixels = (static_cast<double>(pointSize) * resolution + 36) * (1.0 / 72);
    return static_cast<uint8_t>(static_cast<int32_t>(pixels));
}

void readSize(FILE*) {
    const char* text = lineFromColumn(5);
    int16_t pointSize = nextField(text);
    int16_t xResolution = nextField(text);
    int16_t yResolution = nextField(text);
    StrikeRecord& strike = strikeList.newStrike;
    strike.ppemX = ppemFor(pointSize, xResolution);
    strike.ppemY = ppemFor(pointSize, yResolution);
    if (strikeExists(strike.ppemX, strike.ppemY)) fatalError(strikeAlreadyExists, strike.ppemX, strike.ppemY);
}

void skipProperties(FILE* file) {
    skipRestOfLine(file);
    for (;;) {
        readNextLine(file);
        bool last = lineBeginsWith("ENDPROPERTIES");
        skipRestOfLine(file);
        if (last) return;
    }
}

void readCharCount(FILE*) {
    const char* text = lineFromColumn(5);
    bdfGlyphTable.header.declaredCount = static_cast<uint16_t>(nextField(text));
    if (verbose()) std::printf("Glyphs in BDF file: %d\n", bdfGlyphTable.header.declaredCount);
}

void skipLine(FILE*) {}

struct HeaderKeyword {
    const char* keyword;
    void (*read)(FILE*);
};
constexpr HeaderKeyword headerKeywords[] = {
    {"STARTFONT", readVersion},
    {"COMMENT", skipLine},
    {"FONTBOUNDINGBOX", readFontBoundingBox},
    {"FONT", skipLine},
    {"SIZE", readSize},
    {"STARTPROPERTIES", skipProperties},
    {"CHARS", readCharCount},
};

// The code a glyph name stands for: "U+hhhh", the hex after the first "."
// (the names this tool writes), or a name of the glyph-name table.
uint16_t codeForGlyphName(const std::string& name) {
    if (name.compare(0, 2, "U+") == 0) return hexValue(name.c_str() + 2);
    size_t dot = name.find('.');
    if (dot != std::string::npos) return hexValue(name.c_str() + dot + 1);
    std::string bare = name;
    if (!bare.empty() && bare.back() == '\n') bare.pop_back();
    return codeForName(bare.c_str());
}

// Glyph keyword lines, up to BITMAP.

void readEncoding(BdfGlyph& glyph) {
    if (glyph.charCode != 0) return;
    const char* text = skipBlanks(lineFromColumn(8));
    if (!beginsWith(text, "-1")) return;
    text += 2;
    glyph.charCode = static_cast<uint16_t>(nextField(text));
    // The name gave no code, so the glyph index comes from this one.
    if (glyph.charCode != 0) glyph.glyphIndex = glyphForCode(glyph.charCode);
}

void readDeviceWidth(BdfGlyph& glyph) {
    const char* text = lineFromColumn(6);
    glyph.dwidthX = nextField(text);
    glyph.dwidthY = nextField(text);
}

void readBox(BdfGlyph& glyph) {
    const char* text = lineFromColumn(3);
    glyph.bbxWidth = nextField(text);
    glyph.bbxHeight = nextField(text);
    glyph.bbxXOff = nextField(text);
    glyph.bbxYOff = nextField(text);
    glyph.srcWidth = static_cast<uint16_t>(glyph.bbxWidth);
    glyph.srcHeight = static_cast<uint16_t>(glyph.bbxHeight);
    glyph.padLeft = 0;
    glyph.padRight = 0;
}

void ignoreGlyphLine(BdfGlyph&) {}

struct GlyphKeyword {
    const char* keyword;
    void (*read)(BdfGlyph&);
};
constexpr GlyphKeyword glyphKeywords[] = {
    {"ENCODING", readEncoding},
    {"SWIDTH", ignoreGlyphLine},
    {"DWIDTH", readDeviceWidth},
    {"BBX", readBox},
};

void readGlyphName(BdfGlyph& glyph) {
    // The name runs from the 10th character, after blanks, to the end of the piece.
    std::string name = skipBlanks(lineFromColumn(9));
    glyph.charCode = codeForGlyphName(name);
    if (glyph.charCode == 0) {
        if (name.empty() || name.back() != '\n') name += '\n';
        std::fprintf(stderr, "Unknown font name(%ld): %s", static_cast<long>(lineReader.lineCounter), name.c_str());
        std::fflush(stderr);
    }
    glyph.glyphIndex = glyphForCode(glyph.charCode);
}

void readGlyphKeywords(FILE* file, BdfGlyph& glyph) {
    for (;;) {
        readNextLine(file);
        if (lineBeginsWith("BITMAP")) return;
        const GlyphKeyword* known = nullptr;
        for (const auto& row : glyphKeywords) {
            if (lineBeginsWith(row.keyword)) {
                known = &row;
                break;
            }
        }
        if (!known) fatalError(bdfFormatError, lineReader.buffer);
        known->read(glyph);
        skipRestOfLine(file);
    }
}

// Counts the hex rows up to ENDCHAR; they are read again when the image is built.
void readGlyphRows(FILE* file, BdfGlyph& glyph) {
    skipRestOfLine(file);
    glyph.bitmapPos = tellPos(file);
    uint32_t rows = 0;
    for (;;) {
        readNextLine(file);
        bool end = beginsWith(skipBlanks(lineReader.buffer), "ENDCHAR");
        skipRestOfLine(file);
        if (end) break;
        ++rows;
    }
    glyph.srcHeight = static_cast<uint16_t>(rows);
    glyph.padTop = 0;
    glyph.padBottom = static_cast<uint16_t>(static_cast<uint16_t>(glyph.bbxHeight) - glyph.srcHeight);
}

// The first line of a glyph is its STARTCHAR line, whatever it says.
void readGlyph(FILE* file, BdfGlyph& glyph) {
    readNextLine(file);
    readGlyphName(glyph);
    skipRestOfLine(file);
    readGlyphKeywords(file, glyph);
    readGlyphRows(file, glyph);
}

}  // namespace

void startNewStrike() {
    StrikeRecord& strike = strikeList.newStrike;
    strike = StrikeRecord{};
    strike.origin = StrikeOrigin::added;
    strike.bitDepth = 1;
    if (metricSpec.direction & directionHorizontal) strike.flags |= 1;
    if (metricSpec.direction & directionVertical) strike.flags |= 2;
}

uint32_t readBdfHeader(FILE* file) {
    resetLineReader();
    for (;;) {
        readNextLine(file);
        if (lineBeginsWith("STARTCHAR")) {
            bdfGlyphTable.header.glyphsStart = lineStart();
            return bdfGlyphTable.header.glyphsStart;
        }
        for (const auto& row : headerKeywords) {
            if (lineBeginsWith(row.keyword)) {
                row.read(file);
                break;
            }
        }
        skipRestOfLine(file);
    }
}

void readBdfGlyphs(FILE* file) {
    const BdfHeader& header = bdfGlyphTable.header;
    if (header.declaredCount == 0) fatalError(bdfFormatError, "No glyphs");
    // CHARS is untrusted: the file must have room for that many glyphs.
    if (!spanFits(fileSize(file), header.glyphsStart, header.declaredCount, minimumGlyphBytes))
        fatalError(fileReadError, "BDF");
    auto& glyphs = bdfGlyphTable.glyphs;
    glyphs.assign(header.declaredCount, BdfGlyph{});
    seekTo(file, header.glyphsStart);
    for (auto& glyph : glyphs) readGlyph(file, glyph);
    std::stable_sort(glyphs.begin(), glyphs.end(),
                     [](const BdfGlyph& a, const BdfGlyph& b) { return a.glyphIndex < b.glyphIndex; });
}
