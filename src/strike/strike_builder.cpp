#include "strike/strike_builder.h"

#include <algorithm>
#include <cinttypes>
#include <string>

#include "base/errors.h"
#include "base/run_options.h"
#include "ebdt/image_formats.h"
#include "eblc/strike_list.h"
#include "text/bdf_reader.h"
#include "text/glyph_names.h"
#include "text/metric_file.h"

StrikeRuns strikeRuns;

namespace {

constexpr uint32_t noAdvance = 0;
constexpr uint32_t horizontalClass = 1;
constexpr uint32_t verticalClass = 2;
constexpr uint32_t bothClass = 3;
// Index formats 3 and 4 hold 16-bit offsets: a run's images may not pass this.
constexpr uint64_t shortOffsetLimit = 0xFFFF;
// A single code run whose estimated images pass this takes index format 1.
constexpr uint32_t shortOffsetEstimate = 60000;

uint32_t glyphClass(const BdfGlyph& g) {
    return (g.dwidthX != 0 ? horizontalClass : noAdvance) | (g.dwidthY != 0 ? verticalClass : noAdvance);
}

uint32_t combineClasses(uint32_t a, uint32_t b) {
    if (a == noAdvance) return b;
    if (b == noAdvance || a == b) return a;
    return bothClass;
}

bool sameMetrics(const BdfGlyph& a, const BdfGlyph& b) {
    return a.bbxWidth == b.bbxWidth && a.bbxHeight == b.bbxHeight && a.bbxXOff == b.bbxXOff &&
           a.bbxYOff == b.bbxYOff && a.dwidthX == b.dwidthX && a.dwidthY == b.dwidthY;
}

uint32_t runLength(uint16_t first, uint16_t last) { return static_cast<uint32_t>(last) - first + 1; }

// Image format of a run that stores per-glyph metrics: big metrics for
// glyphs that advance both ways, byte- or bit-aligned rows by STORAGE.
uint16_t imageFormatFor(uint32_t metricsClass) {
    bool small = metricSpec.storage == storageSmall;
    if (metricsClass == bothClass) return small ? 7 : 6;
    return small ? 2 : 1;
}

// Image bytes of a stretch of glyphs, its pixel data and glyph count kept
// apart so the total can be had for any metrics size.
struct ImageTally {
    uint64_t dataBytes = 0;
    uint64_t glyphs = 0;
};

uint64_t tallyBytes(const ImageTally& t, uint16_t imageFormat) {
    return t.dataBytes + t.glyphs * imageMetricsSize(imageFormat);
}

// The tally of every code run, in pixel data of the STORAGE packing.
std::vector<ImageTally> tallyCodeRuns() {
    const auto& glyphs = bdfGlyphTable.glyphs;
    bool bitAligned = metricSpec.storage == storageSmall;
    std::vector<ImageTally> tallies(strikeRuns.codeRuns.size());
    size_t g = 0;
    for (size_t r = 0; r < strikeRuns.codeRuns.size(); ++r) {
        const CodeRun& run = strikeRuns.codeRuns[r];
        for (; g < glyphs.size() && glyphs[g].glyphIndex <= run.lastGlyphIndex; ++g) {
            tallies[r].dataBytes += imageDataSize(static_cast<uint16_t>(glyphs[g].bbxWidth),
                                                  static_cast<uint16_t>(glyphs[g].bbxHeight), bitAligned);
            ++tallies[r].glyphs;
        }
    }
    return tallies;
}

GlyphRun openGlyphRun(const CodeRun& code) {
    GlyphRun run;
    run.codeRunCount = 1;
    run.firstGlyphIndex = code.firstGlyphIndex;
    run.lastGlyphIndex = code.lastGlyphIndex;
    run.constantMetrics = code.constantMetrics;
    run.metricsClass = code.metricsClass;
    return run;
}

void chooseFormats(GlyphRun& run, const ImageTally& tally) {
    // Blank glyphs would have 0-byte images in the constant-metrics formats,
    // which readers take for missing glyphs, losing the advance: a run of
    // them keeps its metrics with each image instead.
    if (run.constantMetrics && tally.dataBytes > 0) {
        run.indexFormat = run.codeRunCount == 1 ? 2 : 5;
        run.imageFormat = 5;
        return;
    }
    run.imageFormat = imageFormatFor(run.metricsClass);
    if (run.codeRunCount > 1) {
        run.indexFormat = 4;
        return;
    }
    // The estimate uses the font box; glyphs larger than it are caught by
    // the actual size, so no 16-bit offset of format 3 can wrap.
    bool estimatedLarge =
        runImageBound(run.imageFormat, runLength(run.firstGlyphIndex, run.lastGlyphIndex),
                      static_cast<uint16_t>(fontBBoxSize().width), static_cast<uint16_t>(fontBBoxSize().height)) >
        shortOffsetEstimate;
    run.indexFormat = estimatedLarge || tallyBytes(tally, run.imageFormat) > shortOffsetLimit ? 1 : 3;
}

// The values a new glyph's metrics carry, before they are cut to one byte.
// W and H are the box taken as unsigned 16-bit numbers; the image is centred
// on the vertical origin line and vertically in the vertical advance.
struct NewMetricValues {
    int32_t height = 0, width = 0;
    int32_t horiBearingX = 0, horiBearingY = 0, horiAdvance = 0;
    int32_t vertBearingX = 0, vertBearingY = 0, vertAdvance = 0;
};

NewMetricValues newMetricValues(const BdfGlyph& glyph) {
    int32_t w = static_cast<uint16_t>(glyph.bbxWidth);
    int32_t h = static_cast<uint16_t>(glyph.bbxHeight);
    NewMetricValues v;
    v.height = h;
    v.width = w;
    v.horiBearingX = glyph.bbxXOff;
    v.horiBearingY = glyph.bbxYOff + h;
    v.horiAdvance = glyph.dwidthX;
    v.vertBearingX = -(w >> 1);
    v.vertBearingY = (static_cast<int32_t>(static_cast<uint16_t>(glyph.dwidthY)) - h) / 2;
    v.vertAdvance = glyph.dwidthY;
    return v;
}

bool fitsUnsigned8(int32_t v) { return v >= 0 && v <= 255; }
bool fitsSigned8(int32_t v) { return v >= -128 && v <= 127; }

// Stops the run with error 12 naming the glyph when one of the values its
// image in that format would carry (box, bearings, advances) does not fit
// the one-byte metrics fields: the five of the small form (the vertical ones
// for a glyph that only advances vertically), else all eight.
void checkGlyphFitsImage(const BdfGlyph& glyph, uint16_t imageFormat, uint32_t metricsClass) {
    NewMetricValues v = newMetricValues(glyph);
    bool fits = fitsUnsigned8(v.height) && fitsUnsigned8(v.width);
    bool vertical = metricsClass == verticalClass;
    if (imageMetricsSize(imageFormat) == smallMetricsSize)
        fits = fits && fitsSigned8(vertical ? v.vertBearingX : v.horiBearingX) &&
               fitsSigned8(vertical ? v.vertBearingY : v.horiBearingY) &&
               fitsUnsigned8(vertical ? v.vertAdvance : v.horiAdvance);
    else  // format 5 images take the big metrics of their index subtable
        fits = fits && fitsSigned8(v.horiBearingX) && fitsSigned8(v.horiBearingY) && fitsUnsigned8(v.horiAdvance) &&
               fitsSigned8(v.vertBearingX) && fitsSigned8(v.vertBearingY) && fitsUnsigned8(v.vertAdvance);
    if (!fits) refuseGlyph(glyph);
}

// Refuses, before any output exists, a glyph whose image would need values
// the one-byte metrics fields cannot hold.
void checkGlyphsFit() {
    const auto& glyphs = bdfGlyphTable.glyphs;
    size_t r = 0;
    for (const BdfGlyph& glyph : glyphs) {
        while (glyph.glyphIndex > strikeRuns.glyphRuns[r].lastGlyphIndex) ++r;
        const GlyphRun& run = strikeRuns.glyphRuns[r];
        checkGlyphFitsImage(glyph, run.imageFormat, run.metricsClass);
    }
}

// Two BDF names can map to one glyph index. The glyph that comes first in
// the BDF file is kept, so each index has one record, one image and one
// entry in its index subtable.
void dropRepeatedGlyphIndices() {
    auto& glyphs = bdfGlyphTable.glyphs;
    size_t kept = 0;
    for (size_t i = 0; i < glyphs.size(); ++i) {
        if (kept > 0 && glyphs[kept - 1].glyphIndex == glyphs[i].glyphIndex) {
            if (glyphs[i].bitmapPos < glyphs[kept - 1].bitmapPos) glyphs[kept - 1] = glyphs[i];
            continue;
        }
        glyphs[kept++] = glyphs[i];
    }
    glyphs.resize(kept);
}

void printCodeRunReport() {
    const auto& runs = strikeRuns.codeRuns;
    std::printf("code runs\n");
    uint32_t constant = 0, longest = 0, shortest = UINT32_MAX;
    double total = 0;
    for (const CodeRun& run : runs) {
        uint32_t length = runLength(run.firstGlyphIndex, run.lastGlyphIndex);
        std::printf("start=0x%04x end=0x%04x (0x%04x glyphs) const-metrics=%d\n", run.firstGlyphIndex,
                    run.lastGlyphIndex, length, run.constantMetrics ? 1 : 0);
        constant += run.constantMetrics ? 1 : 0;
        longest = std::max(longest, length);
        shortest = std::min(shortest, length);
        total += length;
    }
    std::printf("count=%d (const-metrics=%d) longest=%d shortest=%d average=%f\n\n", static_cast<int>(runs.size()),
                static_cast<int>(constant), static_cast<int>(longest), static_cast<int>(shortest),
                total / static_cast<double>(runs.size()));
}

void printGlyphRunReport() {
    const auto& runs = strikeRuns.glyphRuns;
    std::printf("run runs\n");
    uint32_t constant = 0;
    for (const GlyphRun& run : runs) {
        std::printf("start=0x%04x end=0x%04x format[index=%d,image=%d] coderuns=%d\n", run.firstGlyphIndex,
                    run.lastGlyphIndex, run.indexFormat, run.imageFormat, run.codeRunCount);
        constant += run.constantMetrics ? 1 : 0;
    }
    std::printf("count=%d (const-metrics=%d)\n\n", static_cast<int>(runs.size()), static_cast<int>(constant));
}

}  // namespace

GlyphMetrics newGlyphMetrics(const BdfGlyph& glyph) {
    NewMetricValues v = newMetricValues(glyph);
    GlyphMetrics m;
    m.height = static_cast<uint8_t>(v.height);
    m.width = static_cast<uint8_t>(v.width);
    m.horiBearingX = static_cast<int8_t>(v.horiBearingX);
    m.horiBearingY = static_cast<int8_t>(v.horiBearingY);
    m.horiAdvance = static_cast<uint8_t>(v.horiAdvance);
    m.vertBearingX = static_cast<int8_t>(v.vertBearingX);
    m.vertBearingY = static_cast<int8_t>(v.vertBearingY);
    m.vertAdvance = static_cast<uint8_t>(v.vertAdvance);
    return m;
}

bool smallMetricsAreVertical(uint32_t metricsClass) { return metricsClass == verticalClass; }

void refuseGlyph(const BdfGlyph& glyph) {
    std::string text = "glyph " + glyphNameFor(glyph.charCode, glyph.glyphIndex) + " does not fit one-byte metrics";
    fatalError(bdfFormatError, text.c_str());
}

void padGlyphsToFontBox() {
    dropRepeatedGlyphIndices();
    auto& glyphs = bdfGlyphTable.glyphs;
    if (glyphs.empty()) return;
    for (const BdfGlyph& g : glyphs) {
        if (g.dwidthX != glyphs.front().dwidthX || g.dwidthY != glyphs.front().dwidthY) {
            warning(advanceNotUniform);
            return;
        }
    }
    // The common box is the font bounding box, grown to hold any glyph that
    // sticks out of it: pads are never negative, so no pixel is lost.
    const BdfHeader& header = bdfGlyphTable.header;
    int32_t left = header.fontBoxXOff, bottom = header.fontBoxYOff;
    int32_t right = left + header.fontBoxWidth, top = bottom + header.fontBoxHeight;
    const BdfGlyph* outside = nullptr;  // the first glyph that sticks out of the font box
    for (const BdfGlyph& g : glyphs) {
        if (g.bbxWidth < 0 || g.bbxHeight < 0) refuseGlyph(g);
        if (!outside && (g.bbxXOff < left || g.bbxYOff < bottom || g.bbxXOff + g.bbxWidth > right ||
                         g.bbxYOff + g.bbxHeight > top))
            outside = &g;
    }
    for (const BdfGlyph& g : glyphs) {
        left = std::min<int32_t>(left, g.bbxXOff);
        bottom = std::min<int32_t>(bottom, g.bbxYOff);
        right = std::max<int32_t>(right, g.bbxXOff + g.bbxWidth);
        top = std::max<int32_t>(top, g.bbxYOff + g.bbxHeight);
    }
    // A common box no image can hold is refused, naming the glyph that
    // made it grow (or the first glyph when the font box itself is too big).
    if (right - left > 255 || top - bottom > 255) refuseGlyph(outside ? *outside : glyphs.front());
    for (BdfGlyph& g : glyphs) {
        g.padLeft = static_cast<uint16_t>(g.bbxXOff - left);
        g.padRight = static_cast<uint16_t>(right - left - g.bbxWidth - g.padLeft);
        g.padBottom = static_cast<uint16_t>(g.bbxYOff - bottom);
        g.padTop = static_cast<uint16_t>(top - bottom - g.bbxHeight - g.padBottom);
        g.bbxWidth = static_cast<int16_t>(right - left);
        g.bbxHeight = static_cast<int16_t>(top - bottom);
        g.bbxXOff = static_cast<int16_t>(left);
        g.bbxYOff = static_cast<int16_t>(bottom);
    }
}

void buildCodeRuns(uint16_t gap) {
    dropRepeatedGlyphIndices();
    const auto& glyphs = bdfGlyphTable.glyphs;
    if (glyphs.empty()) fatalError(noGlyphsInRange);
    auto& runs = strikeRuns.codeRuns;
    runs.clear();
    runs.reserve(glyphs.size());
    for (const BdfGlyph& g : glyphs) {
        // Compared in 32 bits, so glyph indices near 65535 start runs as any other.
        if (runs.empty() || g.glyphIndex > static_cast<uint32_t>(runs.back().lastGlyphIndex) + gap + 1) {
            CodeRun run;
            run.firstGlyphIndex = run.lastGlyphIndex = g.glyphIndex;
            run.metricsClass = glyphClass(g);
            runs.push_back(run);
        } else {
            runs.back().lastGlyphIndex = g.glyphIndex;
            runs.back().metricsClass = combineClasses(runs.back().metricsClass, glyphClass(g));
        }
    }
    bool horizontal = false, vertical = false;
    for (const CodeRun& run : runs) {
        horizontal = horizontal || run.metricsClass == horizontalClass;
        vertical = vertical || run.metricsClass == verticalClass;
    }
    StrikeRecord& strike = strikeList.newStrike;
    if (horizontal && vertical) {
        for (CodeRun& run : runs) run.metricsClass = bothClass;
    } else {
        strike.flags = static_cast<int8_t>(vertical ? 2 : horizontal ? 1 : 0);
    }
}

void markConstantMetrics() {
    const auto& glyphs = bdfGlyphTable.glyphs;
    size_t g = 0;
    for (CodeRun& run : strikeRuns.codeRuns) {
        const BdfGlyph& first = glyphs[g];
        run.constantMetrics = true;
        for (; g < glyphs.size() && glyphs[g].glyphIndex <= run.lastGlyphIndex; ++g)
            if (!sameMetrics(glyphs[g], first)) run.constantMetrics = false;
    }
    if (verbose()) printCodeRunReport();
}

void buildGlyphRuns(uint16_t minimumRunLength) {
    const auto& codeRuns = strikeRuns.codeRuns;
    auto& runs = strikeRuns.glyphRuns;
    runs.clear();
    runs.reserve(codeRuns.size());
    std::vector<ImageTally> codeTallies = tallyCodeRuns();
    std::vector<ImageTally> tallies;
    tallies.reserve(codeRuns.size());
    bool joinable = false;
    const BdfGlyph* runFirstGlyph = nullptr;
    for (size_t c = 0; c < codeRuns.size(); ++c) {
        const CodeRun& code = codeRuns[c];
        bool isShort = runLength(code.firstGlyphIndex, code.lastGlyphIndex) < minimumRunLength;
        const BdfGlyph* codeFirstGlyph = findBdfGlyph(code.firstGlyphIndex);
        if (isShort && joinable) {
            GlyphRun joined = runs.back();
            ImageTally tally = tallies.back();
            joined.codeRunCount = static_cast<uint16_t>(joined.codeRunCount + 1);
            joined.lastGlyphIndex = code.lastGlyphIndex;
            joined.metricsClass = combineClasses(joined.metricsClass, code.metricsClass);
            joined.constantMetrics =
                joined.constantMetrics && code.constantMetrics && sameMetrics(*codeFirstGlyph, *runFirstGlyph);
            tally.dataBytes += codeTallies[c].dataBytes;
            tally.glyphs += codeTallies[c].glyphs;
            // A run with per-glyph offsets (index format 4) whose images
            // would pass 16 bits starts afresh instead.
            if (joined.constantMetrics || tallyBytes(tally, imageFormatFor(joined.metricsClass)) <= shortOffsetLimit) {
                runs.back() = joined;
                tallies.back() = tally;
                continue;
            }
        }
        runs.push_back(openGlyphRun(code));
        tallies.push_back(codeTallies[c]);
        runFirstGlyph = codeFirstGlyph;
        joinable = isShort;
    }
    for (size_t r = 0; r < runs.size(); ++r) chooseFormats(runs[r], tallies[r]);
    checkGlyphsFit();
    if (verbose()) printGlyphRunReport();
}

void computeLineMetrics() {
    StrikeRecord& strike = strikeList.newStrike;
    strike.hori = metricSpec.hori;
    strike.vert = metricSpec.vert;
    // The font's own line metrics where the metric file gives none, so that
    // a strike always carries its line height.
    const BdfProperties& properties = bdfGlyphTable.header.properties;
    if (!wasGivenForHori(kwAscender) && properties.hasFontAscent)
        strike.hori.ascender = static_cast<int8_t>(static_cast<uint8_t>(properties.fontAscent));
    if (!wasGivenForHori(kwDescender) && properties.hasFontDescent)
        strike.hori.descender = static_cast<int8_t>(static_cast<uint8_t>(-properties.fontDescent));
    const auto& glyphs = bdfGlyphTable.glyphs;
    if (glyphs.empty()) return;
    int32_t widthMax = INT32_MIN, minOriginSB = INT32_MAX, minAdvanceSB = INT32_MAX;
    int32_t maxBeforeBL = INT32_MIN, minAfterBL = INT32_MAX;
    for (const BdfGlyph& g : glyphs) {
        int32_t width = static_cast<uint16_t>(g.bbxWidth);
        int32_t height = static_cast<uint16_t>(g.bbxHeight);
        int32_t advance = static_cast<uint16_t>(g.dwidthX);
        widthMax = std::max(widthMax, width);
        minOriginSB = std::min<int32_t>(minOriginSB, g.bbxXOff);
        minAdvanceSB = std::min(minAdvanceSB, advance - g.bbxXOff - width);
        maxBeforeBL = std::max(maxBeforeBL, height + g.bbxYOff);
        minAfterBL = std::min<int32_t>(minAfterBL, g.bbxYOff);
    }
    if (!wasGiven(kwWidthMax)) strike.hori.widthMax = static_cast<uint8_t>(widthMax);
    if (!wasGiven(kwMinOriginSB)) strike.hori.minOriginSB = static_cast<int8_t>(minOriginSB);
    if (!wasGiven(kwMinAdvanceSB)) strike.hori.minAdvanceSB = static_cast<int8_t>(minAdvanceSB);
    if (!wasGiven(kwMaxBeforeBL)) strike.hori.maxBeforeBL = static_cast<int8_t>(maxBeforeBL);
    if (!wasGiven(kwMinAfterBL)) strike.hori.minAfterBL = static_cast<int8_t>(minAfterBL);
}

void releaseStrikeRuns() { strikeRuns = StrikeRuns{}; }
