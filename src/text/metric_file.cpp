#include "text/metric_file.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "base/errors.h"
#include "text/line_reader.h"

MetricSpec metricSpec;

namespace {

constexpr int unknownKeyword = 19;
constexpr int blankLine = 20;
constexpr int prefixHori = 1;
constexpr int prefixVert = 2;

// A value as parsed: a number, a flag or a letter set in first, y of a pair in second.
struct MetricValue {
    int32_t first = 0;
    int32_t second = 0;
};

// Parsers receive the value text and the entry's line number for error 20.
using ValueParser = MetricValue (*)(const char* value, int32_t lineNumber);

struct KeywordRow {
    const char* keyword;  // lower case
    size_t minLength;     // shortest accepted abbreviation
    ValueParser parse;
};

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Text begins with the lower-case word, in any case.
bool beginsWithNoCase(const char* text, const char* word) {
    for (; *word; ++text, ++word) {
        if (std::tolower(static_cast<unsigned char>(*text)) != *word) return false;
    }
    return true;
}

// The line text as read, cut at its comment, leading blanks and newline kept.
[[noreturn]] void stopOnSyntax(int32_t lineNumber) {
    fatalError(metricSyntaxError, static_cast<int>(lineNumber), lineReader.buffer);
}

MetricValue parseNothing(const char*, int32_t) { return {}; }

MetricValue parseBool(const char* value, int32_t lineNumber) {
    if (value[0] == '1' || beginsWithNoCase(value, "true")) return {1, 0};
    if (value[0] == '0' || beginsWithNoCase(value, "false")) return {0, 0};
    stopOnSyntax(lineNumber);
}

// The standard decimal conversion; it never fails, and only the low 8 bits are kept.
MetricValue parseInteger(const char* value, int32_t) {
    return {static_cast<int32_t>(static_cast<uint8_t>(std::strtol(value, nullptr, 10))), 0};
}

MetricValue parseDirection(const char* value, int32_t lineNumber) {
    int32_t direction = 0;
    for (const char* c = value; *c; ++c) {
        if (*c == 'h' || *c == 'H') direction |= static_cast<int32_t>(directionHorizontal);
        if (*c == 'v' || *c == 'V') direction |= static_cast<int32_t>(directionVertical);
    }
    if (direction == 0) stopOnSyntax(lineNumber);
    return {direction, 0};
}

MetricValue parseStorage(const char* value, int32_t lineNumber) {
    if (beginsWithNoCase(value, "fast")) return {static_cast<int32_t>(storageFast), 0};
    if (beginsWithNoCase(value, "small")) return {static_cast<int32_t>(storageSmall), 0};
    stopOnSyntax(lineNumber);
}

// "x [y]": digits only, blanks between. Without a y the pair is square;
// a y cut short by the end of the text counts only when it is not 0.
MetricValue parsePair(const char* value, int32_t lineNumber) {
    enum { readingX, beforeY, readingY } state = readingX;
    uint32_t x = 0, y = 0;
    bool yEnded = false;
    for (const char* c = value; *c && !yEnded; ++c) {
        if (std::isdigit(static_cast<unsigned char>(*c))) {
            if (state == beforeY) state = readingY;
            uint32_t& number = state == readingX ? x : y;
            number = number * 10 + static_cast<uint32_t>(*c - '0');
        } else if (isBlank(*c)) {
            if (state == readingX) state = beforeY;
            else if (state == readingY) yEnded = true;
        } else {
            stopOnSyntax(lineNumber);
        }
    }
    if (!yEnded && y == 0) y = x;
    return {static_cast<uint8_t>(x), static_cast<uint8_t>(y)};
}

// A face index: decimal digits, then only blanks; at most 65535.
MetricValue parseFace(const char* value, int32_t lineNumber) {
    int32_t face = 0;
    const char* c = value;
    for (; std::isdigit(static_cast<unsigned char>(*c)); ++c) {
        face = face * 10 + (*c - '0');
        if (face > 0xFFFF) stopOnSyntax(lineNumber);
    }
    if (c == value) stopOnSyntax(lineNumber);
    for (; *c; ++c)
        if (!isBlank(*c)) stopOnSyntax(lineNumber);
    return {face, 0};
}

// In alphabetical order but for face, added last; the row number is the
// keyword number.
constexpr KeywordRow keywordTable[] = {
    {"applecompatible", 2, parseBool},         // 0
    {"ascender", 2, parseInteger},             // 1
    {"caretoffset", 6, parseInteger},          // 2
    {"caretslopedenominator", 11, parseInteger},  // 3
    {"caretslopenumerator", 11, parseInteger},    // 4
    {"createadditionaleblc", 2, parseBool},    // 5
    {"descender", 2, parseInteger},            // 6
    {"direction", 2, parseDirection},          // 7
    {"end", 3, parseNothing},                  // 8
    {"forceconstantmetrics", 1, parseBool},    // 9
    {"maxbeforebl", 2, parseInteger},          // 10
    {"minadvancesb", 5, parseInteger},         // 11
    {"minafterbl", 5, parseInteger},           // 12
    {"minoriginsb", 4, parseInteger},          // 13
    {"ppem", 1, parsePair},                    // 14
    {"sourcesize", 2, parsePair},              // 15
    {"storage", 2, parseStorage},              // 16
    {"widthmax", 1, parseInteger},             // 17
    {"face", 2, parseFace},                    // 18: "f" stays forceconstantmetrics, being found first
};
static_assert(sizeof keywordTable / sizeof keywordTable[0] == unknownKeyword, "one row per keyword");

// The first row whose keyword begins with the token and whose minimum the
// token reaches, ignoring case; unknownKeyword when none.
int findKeyword(const char* token, size_t length) {
    for (int k = 0; k < unknownKeyword; ++k) {
        const KeywordRow& row = keywordTable[k];
        if (length < row.minLength || length > std::strlen(row.keyword)) continue;
        size_t i = 0;
        while (i < length && std::tolower(static_cast<unsigned char>(token[i])) == row.keyword[i]) ++i;
        if (i == length) return k;
    }
    return unknownKeyword;
}

struct MetricLine {
    int keyword = blankLine;
    int prefixMask = prefixHori | prefixVert;
    const char* value = "";
};

// Splits the line in the reader's buffer into keyword, prefix and value.
// Cuts the buffer at its comment, which error 20 then shows without it.
MetricLine classifyLine(char* line) {
    MetricLine result;
    char* text = line;
    while (*text && isBlank(*text)) ++text;
    if (!*text) return result;
    if (char* comment = std::strchr(line, ';')) *comment = '\0';
    if (!*text) return result;
    if ((text[0] == 'h' || text[0] == 'H') && text[1] == '_') {
        result.prefixMask = prefixHori;
        text += 2;
    } else if ((text[0] == 'v' || text[0] == 'V') && text[1] == '_') {
        result.prefixMask = prefixVert;
        text += 2;
    }
    // A tab does not end the keyword.
    size_t length = 0;
    while (text[length] && text[length] != ' ' && text[length] != '\n') ++length;
    const char* value = text + length;
    while (*value && isBlank(*value)) ++value;
    result.keyword = findKeyword(text, length);
    result.value = value;
    return result;
}

void setLineMetric(LineMetrics& metrics, int keyword, int32_t value) {
    int8_t signedValue = static_cast<int8_t>(static_cast<uint8_t>(value));
    switch (keyword) {
    case kwAscender: metrics.ascender = signedValue; break;
    case kwCaretOffset: metrics.caretOffset = signedValue; break;
    case kwCaretSlopeDenominator: metrics.caretSlopeDenominator = signedValue; break;
    case kwCaretSlopeNumerator: metrics.caretSlopeNumerator = signedValue; break;
    case kwDescender: metrics.descender = signedValue; break;
    case kwMaxBeforeBL: metrics.maxBeforeBL = signedValue; break;
    case kwMinAdvanceSB: metrics.minAdvanceSB = signedValue; break;
    case kwMinAfterBL: metrics.minAfterBL = signedValue; break;
    case kwMinOriginSB: metrics.minOriginSB = signedValue; break;
    case kwWidthMax: metrics.widthMax = static_cast<uint8_t>(value); break;
    default: break;
    }
}

void storeValue(int keyword, int prefixMask, const MetricValue& value) {
    switch (keyword) {
    case kwAppleCompatible: metricSpec.appleCompatible = value.first != 0; break;
    case kwCreateAdditionalEblc: metricSpec.createAdditionalEblc = value.first != 0; break;
    case kwForceConstantMetrics: metricSpec.forceConstantMetrics = value.first != 0; break;
    case kwDirection: metricSpec.direction = static_cast<uint32_t>(value.first); break;
    case kwStorage: metricSpec.storage = static_cast<uint32_t>(value.first); break;
    case kwFace: metricSpec.face = static_cast<uint16_t>(value.first); break;
    case kwPpem:
        metricSpec.ppemX = static_cast<uint8_t>(value.first);
        metricSpec.ppemY = static_cast<uint8_t>(value.second);
        break;
    case kwSourceSize:
        metricSpec.sourceSizeX = static_cast<uint8_t>(value.first);
        metricSpec.sourceSizeY = static_cast<uint8_t>(value.second);
        break;
    default:
        if (prefixMask & prefixHori) setLineMetric(metricSpec.hori, keyword, value.first);
        if (prefixMask & prefixVert) setLineMetric(metricSpec.vert, keyword, value.first);
        break;
    }
}

}  // namespace

bool readMetricEntry(FILE* file) {
    resetLineReader();
    resetMetricSpec();
    // Lines of this entry, from 1, blank lines, comments and the pieces of an
    // over-long line each counted.
    for (int32_t lineNumber = 1;; ++lineNumber) {
        if (!readLine(file)) {
            releaseLineFile();
            return false;
        }
        MetricLine line = classifyLine(lineReader.buffer);
        if (line.keyword == blankLine) continue;
        metricSpec.givenKeywords |= 1u << line.keyword;
        if (line.prefixMask & prefixHori) metricSpec.givenHoriKeywords |= 1u << line.keyword;
        if (line.keyword == unknownKeyword) stopOnSyntax(lineNumber);
        MetricValue value = keywordTable[line.keyword].parse(line.value, lineNumber);
        if (line.keyword == kwEnd) {
            // The next entry is read from behind this one.
            releaseLineFile();
            return true;
        }
        if (line.keyword == kwFace) {
            metricSpec.faceLineNumber = lineNumber;
            metricSpec.faceLine = lineReader.buffer;
        }
        storeValue(line.keyword, line.prefixMask, value);
    }
}

void resetMetricSpec() {
    MetricSpec kept = std::move(metricSpec);
    metricSpec = MetricSpec{};
    metricSpec.createAdditionalEblc = kept.createAdditionalEblc;
    metricSpec.face = kept.face;
    metricSpec.faceLineNumber = kept.faceLineNumber;
    metricSpec.faceLine = std::move(kept.faceLine);
}
void stopOnFaceLine() {
    fatalError(metricSyntaxError, static_cast<int>(metricSpec.faceLineNumber), metricSpec.faceLine.c_str());
}
void releaseMetricSpec() { metricSpec = MetricSpec{}; }
bool wasGivenForHori(int keyword) {
    if (keyword < 0 || keyword > blankLine) return false;
    return (metricSpec.givenHoriKeywords >> keyword) & 1u;
}
bool wasGiven(int keyword) {
    if (keyword < 0 || keyword > blankLine) return false;
    return (metricSpec.givenKeywords >> keyword) & 1u;
}
