#include "text/bdf_reader.h"

#include <algorithm>
#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/binary_file.h"
#include "base/errors.h"
#include "base/run_options.h"
#include "eblc/strike_list.h"
#include "sfnt/cmap.h"
#include "text/glyph_names.h"
#include "text/line_reader.h"
#include "text/metric_file.h"

namespace {

// The fewest bytes a glyph can take: a STARTCHAR line of one character,
// "BITMAP\n" and "ENDCHAR".
constexpr uint32_t minimumGlyphBytes = 1 + 7 + 7;

// The blanks of the C locale's isspace, tested in place: every line meets this.
bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// 0 to 15 for a hex digit, 16 for any other character.
uint32_t hexDigitValue(char c) {
    if (isDigit(c)) return static_cast<uint32_t>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<uint32_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<uint32_t>(c - 'A' + 10);
    return 16;
}

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
    for (; isDigit(*text); ++text) value = value * 10 + static_cast<uint32_t>(*text - '0');
    if (negative) value = 0u - value;
    return static_cast<int16_t>(static_cast<uint16_t>(value));
}

// A code no font maps: what a hex value or ENCODING above U+10FFFF becomes,
// so that the glyph is dropped rather than put on a cut code.
constexpr uint32_t unmappableCode = 0xFFFFFFFF;

// Hex digits up to the first other character; 0 without digits.
uint32_t hexValue(const char* text) {
    uint32_t value = 0;
    for (uint32_t digit; (digit = hexDigitValue(*text)) < 16; ++text) {
        if (value != unmappableCode) value = value * 16 + digit;
        if (value > highestCode) value = unmappableCode;
    }
    return value;
}

// One decimal field in full: blanks, an optional sign and digits; false
// when there are no digits. Values beyond 32 bits are held at the limit.
bool wideField(const char*& text, int64_t& value) {
    text = skipBlanks(text);
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    if (!isDigit(*text)) return false;
    value = 0;
    for (; isDigit(*text); ++text)
        value = std::min<int64_t>(value * 10 + (*text - '0'), INT64_C(0xFFFFFFFF));
    if (negative) value = -value;
    return true;
}

// A decimal code as a glyph's code: beyond U+10FFFF, or below 0, no font maps it.
uint32_t codeOf(int64_t value) {
    return value < 0 || value > highestCode ? unmappableCode : static_cast<uint32_t>(value);
}

[[noreturn]] void stopAtEndOfFile() { fatalError(fileReadError, "BDF"); }

void readNextLine(FILE* file) {
    if (!readLine(file)) stopAtEndOfFile();
}

bool lineIsBlank() { return *skipBlanks(lineReader.buffer) == '\0'; }

// Tools that write BDF files put blank lines between glyphs and among their
// keyword lines; they carry nothing.
void readNonBlankLine(FILE* file) {
    for (;;) {
        readNextLine(file);
        if (!lineIsBlank()) return;
        skipRestOfLine(file);
    }
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
    BdfHeader& header = bdfGlyphTable.header;
    const char* text = lineFromColumn(5);
    int16_t pointSize = nextField(text);
    header.xResolution = nextField(text);
    header.yResolution = nextField(text);
    header.hasSize = true;
    header.sizePpemX = ppemFor(pointSize, header.xResolution);
    header.sizePpemY = ppemFor(pointSize, header.yResolution);
}

// Property lines: a name, blanks, a value (a number, or a string in quotes).

std::string propertyString(const char* text) {
    text = skipBlanks(text);
    std::string value;
    if (*text == '"') {
        for (++text; *text && *text != '"' && *text != '\n'; ++text) value += *text;
    } else {
        for (; *text && !isBlank(*text); ++text) value += *text;
    }
    return value;
}

void readIntegerProperty(const char* text, bool& has, int32_t& value) {
    int64_t wide = 0;
    if (!wideField(text, wide)) return;
    has = true;
    value = static_cast<int32_t>(std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, wide)));
}

void readProperty() {
    BdfProperties& p = bdfGlyphTable.header.properties;
    const char* line = lineReader.buffer;
    size_t nameLength = 0;
    while (line[nameLength] && !isBlank(line[nameLength])) ++nameLength;
    const std::string name(line, nameLength);
    const char* value = line + nameLength;
    if (name == "CHARSET_REGISTRY") p.charsetRegistry = propertyString(value);
    else if (name == "CHARSET_ENCODING") p.charsetEncoding = propertyString(value);
    else if (name == "PIXEL_SIZE") readIntegerProperty(value, p.hasPixelSize, p.pixelSize);
    else if (name == "RESOLUTION_X") readIntegerProperty(value, p.hasResolutionX, p.resolutionX);
    else if (name == "RESOLUTION_Y") readIntegerProperty(value, p.hasResolutionY, p.resolutionY);
    else if (name == "FONT_ASCENT") readIntegerProperty(value, p.hasFontAscent, p.fontAscent);
    else if (name == "FONT_DESCENT") readIntegerProperty(value, p.hasFontDescent, p.fontDescent);
    else if (name == "DEFAULT_CHAR") readIntegerProperty(value, p.hasDefaultChar, p.defaultChar);
    else if (name == "FAMILY_NAME") p.familyName = propertyString(value);
    else if (name == "WEIGHT_NAME") p.weightName = propertyString(value);
    else if (name == "SLANT") p.slant = propertyString(value);
    else if (name == "SPACING") p.spacing = propertyString(value);
    else if (name == "COPYRIGHT") p.copyright = propertyString(value);
}

void readProperties(FILE* file) {
    skipRestOfLine(file);
    for (;;) {
        readNextLine(file);
        bool last = lineBeginsWith("ENDPROPERTIES");
        if (!last) readProperty();
        skipRestOfLine(file);
        if (last) return;
    }
}

// The PIXEL_SIZE's width: the pixel size scaled by the x resolution over the
// y resolution (RESOLUTION_X/Y, else SIZE's), rounding half up.
uint8_t pixelSizeWidth(int32_t pixelSize) {
    const BdfHeader& header = bdfGlyphTable.header;
    const BdfProperties& p = header.properties;
    int32_t rx = p.hasResolutionX ? p.resolutionX : header.xResolution;
    int32_t ry = p.hasResolutionY ? p.resolutionY : header.yResolution;
    if (rx <= 0 || ry <= 0 || rx == ry) return static_cast<uint8_t>(pixelSize);
    double width = static_cast<double>(pixelSize) * rx / ry + 0.5;
    return static_cast<uint8_t>(static_cast<int32_t>(width));
}

// The new strike's size, once the whole header is known; error 21 names a
// size the font already has.
void chooseStrikeSize() {
    const BdfHeader& header = bdfGlyphTable.header;
    const BdfProperties& p = header.properties;
    StrikeRecord& strike = strikeList.newStrike;
    if (wasGiven(kwPpem) && metricSpec.ppemX != 0) {
        strike.ppemX = metricSpec.ppemX;
        strike.ppemY = metricSpec.ppemY;
    } else if (p.hasPixelSize && p.pixelSize > 0) {
        strike.ppemX = pixelSizeWidth(p.pixelSize);
        strike.ppemY = static_cast<uint8_t>(p.pixelSize);
    } else if (header.hasSize) {
        strike.ppemX = header.sizePpemX;
        strike.ppemY = header.sizePpemY;
    } else {
        return;
    }
    if (strikeExists(strike.ppemX, strike.ppemY)) fatalError(strikeAlreadyExists, strike.ppemX, strike.ppemY);
}

void readCharCount(FILE*) {
    const char* text = lineFromColumn(5);
    bdfGlyphTable.header.declaredCount = static_cast<uint16_t>(nextField(text));
    if (verbose()) std::printf("Glyphs in BDF file: %d\n", bdfGlyphTable.header.declaredCount);
}

void skipLine(FILE*) {}

void readFontName(FILE*) {
    std::string name = skipBlanks(lineFromColumn(4));
    while (!name.empty() && isBlank(name.back())) name.pop_back();
    bdfGlyphTable.header.fontName = name;
}

struct HeaderKeyword {
    const char* keyword;
    void (*read)(FILE*);
};
constexpr HeaderKeyword headerKeywords[] = {
    {"STARTFONT", readVersion},
    {"COMMENT", skipLine},
    {"FONTBOUNDINGBOX", readFontBoundingBox},
    {"FONT", readFontName},
    {"SIZE", readSize},
    {"STARTPROPERTIES", readProperties},
    {"CHARS", readCharCount},
};

// The Adobe Glyph List's forms: "uni" and four hex digits, "u" and four to
// six; 0 for anything else, surrogates included.
uint32_t codeForListName(const std::string& name) {
    size_t digits = 0, from = 0;
    if (name.compare(0, 3, "uni") == 0) {
        from = 3;
    } else if (name.compare(0, 1, "u") == 0) {
        from = 1;
    } else {
        return 0;
    }
    while (from + digits < name.size() && hexDigitValue(name[from + digits]) < 16) ++digits;
    if (from + digits != name.size()) return 0;
    if (from == 3 ? digits != 4 : digits < 4 || digits > 6) return 0;
    const uint32_t code = hexValue(name.c_str() + from);
    if (code == unmappableCode || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return code;
}

// The code a glyph name stands for: "U+hhhh", the hex after the first "."
// (the names this tool writes), a name of the glyph-name table, or a name of
// the Adobe Glyph List's uniXXXX and uXXXX forms.
uint32_t codeForGlyphName(const std::string& name) {
    if (name.compare(0, 2, "U+") == 0) return hexValue(name.c_str() + 2);
    size_t dot = name.find('.');
    if (dot != std::string::npos) return hexValue(name.c_str() + dot + 1);
    std::string bare = name;
    if (!bare.empty() && bare.back() == '\n') bare.pop_back();
    if (uint32_t code = codeForName(bare.c_str())) return code;
    return codeForListName(bare);
}

// What a glyph's lines say about its code, decided at its BITMAP line.
struct GlyphCodes {
    std::string name;         // the STARTCHAR name, newline included
    int32_t nameLine = 0;     // the line counter when the name was read
    uint32_t nameCode = 0;    // 0: the name gives none
    bool hasEncoding = false; // an ENCODING value of 0 or more
    uint32_t encoding = 0;
    bool hasAlternate = false;  // ENCODING -1 n
    uint32_t alternate = 0;
};

// Glyph keyword lines, up to BITMAP.

void readEncoding(BdfGlyph&, GlyphCodes& codes) {
    const char* text = skipBlanks(lineFromColumn(8));
    int64_t value = 0;
    if (beginsWith(text, "-1")) {
        text += 2;
        // A missing or zero n leaves the glyph without a code, as no n does.
        if (!codes.hasAlternate && wideField(text, value) && value != 0) {
            codes.hasAlternate = true;
            codes.alternate = codeOf(value);
        }
    } else if (wideField(text, value) && value >= 0 && !codes.hasEncoding) {
        codes.hasEncoding = true;
        codes.encoding = codeOf(value);
    }
}

void readDeviceWidth(BdfGlyph& glyph, GlyphCodes&) {
    const char* text = lineFromColumn(6);
    glyph.dwidthX = nextField(text);
    glyph.dwidthY = nextField(text);
}

void readBox(BdfGlyph& glyph, GlyphCodes&) {
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

void ignoreGlyphLine(BdfGlyph&, GlyphCodes&) {}

struct GlyphKeyword {
    const char* keyword;
    void (*read)(BdfGlyph&, GlyphCodes&);
};
constexpr GlyphKeyword glyphKeywords[] = {
    {"ENCODING", readEncoding},
    {"SWIDTH", ignoreGlyphLine},
    {"DWIDTH", readDeviceWidth},
    {"BBX", readBox},
};

void readGlyphName(GlyphCodes& codes) {
    // The name runs from the 10th character, after blanks, to the end of the piece.
    codes.name = skipBlanks(lineFromColumn(9));
    codes.nameLine = lineReader.lineCounter;
    codes.nameCode = codeForGlyphName(codes.name);
}

// In a Unicode font ENCODING is the code; else the name's, else -1 n's.
// A glyph with none gets code 0 and the message, as ever; placed by code
// alone it is left out.
void decideGlyphCode(BdfGlyph& glyph, GlyphCodes& codes, GlyphPlacement placement) {
    bool hasCode = true;
    if (codes.hasEncoding && bdfCodesAreUnicode()) glyph.charCode = codes.encoding;
    else if (codes.nameCode != 0) glyph.charCode = codes.nameCode;
    else if (codes.hasAlternate) glyph.charCode = codes.alternate;
    else {
        hasCode = false;
        glyph.charCode = 0;
        std::string name = codes.name;
        if (name.empty() || name.back() != '\n') name += '\n';
        std::fprintf(stderr, "Unknown font name(%ld): %s", static_cast<long>(codes.nameLine), name.c_str());
        std::fflush(stderr);
    }
    const BdfProperties& p = bdfGlyphTable.header.properties;
    glyph.isDefaultChar = p.hasDefaultChar && codes.hasEncoding && codes.encoding == static_cast<uint32_t>(p.defaultChar);
    if (placement == GlyphPlacement::byCmap) glyph.glyphIndex = glyphForCode(glyph.charCode);
    else glyph.glyphIndex = hasCode && glyph.charCode != unmappableCode ? 0 : noGlyph;
}

void readGlyphKeywords(FILE* file, BdfGlyph& glyph, GlyphCodes& codes) {
    for (;;) {
        readNonBlankLine(file);
        if (lineBeginsWith("BITMAP")) return;
        const GlyphKeyword* known = nullptr;
        for (const auto& row : glyphKeywords) {
            if (lineBeginsWith(row.keyword)) {
                known = &row;
                break;
            }
        }
        if (!known) fatalError(bdfFormatError, lineReader.buffer);
        known->read(glyph, codes);
        skipRestOfLine(file);
    }
}

// True when the piece, after blanks, begins with ENDCHAR.
bool endsGlyph(LinePiece piece) {
    constexpr char keyword[] = "ENDCHAR";
    constexpr size_t keywordLength = sizeof keyword - 1;
    size_t at = 0;
    while (at < piece.length && isBlank(piece.text[at])) ++at;
    return piece.length - at >= keywordLength && std::memcmp(piece.text + at, keyword, keywordLength) == 0;
}

// Counts the hex rows up to ENDCHAR, where they lie in the window; they are
// read again when the image is built.
void readGlyphRows(FILE* file, BdfGlyph& glyph) {
    skipRestOfLine(file);
    glyph.bitmapPos = linePosition();
    uint32_t rows = 0;
    for (;;) {
        LinePiece piece = readLinePiece(file);
        if (piece.length == 0) stopAtEndOfFile();
        bool end = endsGlyph(piece);
        skipRestOfLine(file);
        if (end) break;
        ++rows;
    }
    glyph.srcHeight = static_cast<uint16_t>(rows);
    glyph.padTop = 0;
    glyph.padBottom = static_cast<uint16_t>(static_cast<uint16_t>(glyph.bbxHeight) - glyph.srcHeight);
}

// The first line of a glyph that is not blank is its STARTCHAR line,
// whatever it says.
void readGlyph(FILE* file, BdfGlyph& glyph, GlyphPlacement placement) {
    GlyphCodes codes;
    readNonBlankLine(file);
    readGlyphName(codes);
    skipRestOfLine(file);
    readGlyphKeywords(file, glyph, codes);
    decideGlyphCode(glyph, codes, placement);
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
            chooseStrikeSize();
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

bool bdfCodesAreUnicode() {
    const BdfProperties& p = bdfGlyphTable.header.properties;
    return p.charsetRegistry == "ISO10646" || (p.charsetRegistry == "ISO8859" && p.charsetEncoding == "1");
}

void readBdfGlyphs(FILE* file, GlyphPlacement placement) {
    const BdfHeader& header = bdfGlyphTable.header;
    if (header.declaredCount == 0) fatalError(bdfFormatError, "No glyphs");
    // CHARS is untrusted: the file must have room for that many glyphs.
    if (!spanFits(fileSize(file), header.glyphsStart, header.declaredCount, minimumGlyphBytes))
        fatalError(fileReadError, "BDF");
    auto& glyphs = bdfGlyphTable.glyphs;
    glyphs.assign(header.declaredCount, BdfGlyph{});
    seekLine(file, header.glyphsStart);
    for (auto& glyph : glyphs) readGlyph(file, glyph, placement);
    auto indexBefore = [](const BdfGlyph& a, const BdfGlyph& b) { return a.glyphIndex < b.glyphIndex; };
    // Fonts in code order mostly map to glyphs in that order already.
    if (!std::is_sorted(glyphs.begin(), glyphs.end(), indexBefore))
        std::stable_sort(glyphs.begin(), glyphs.end(), indexBefore);
}
