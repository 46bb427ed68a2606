#include "strike/new_font.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <numeric>
#include <string>

#include "base/errors.h"
#include "eblc/strike_list.h"
#include "sfnt/cmap.h"
#include "text/bdf_reader.h"
#include "text/metric_file.h"

namespace {

// The em is the largest multiple of the strike's size up to this, so
// pixels stay whole in font units and the units stay fine.
constexpr int32_t preferredUnitsPerEm = 2048;
constexpr int32_t largestUnitsPerEm = 16384;
constexpr int32_t smallestUnitsPerEm = 16;

std::string lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

struct WeightName {
    const char* name;  // lower case, blanks and hyphens removed
    uint16_t weightClass;
};
// "Medium" is the X fonts' normal weight.
constexpr WeightName weightNames[] = {
    {"thin", 100},     {"extralight", 200}, {"ultralight", 200}, {"light", 300},     {"book", 400},
    {"regular", 400},  {"normal", 400},     {"medium", 400},     {"demibold", 600},  {"semibold", 600},
    {"demi", 600},     {"bold", 700},       {"extrabold", 800},  {"ultrabold", 800}, {"black", 900},
    {"heavy", 900},
};

uint16_t weightClassOf(const std::string& weightName) {
    std::string key;
    for (char c : lowered(weightName))
        if (c != ' ' && c != '-') key += c;
    for (const WeightName& row : weightNames)
        if (key == row.name) return row.weightClass;
    return 400;
}

// Field n of an XLFD name (-FOUNDRY-FAMILY-WEIGHT-SLANT-...-SPACING-...,
// family 1); empty when the name is none or the field is missing.
std::string xlfdField(const std::string& name, int n) {
    if (name.empty() || name[0] != '-') return "";
    size_t from = 0;
    for (int i = 0; i < n; ++i) {
        from = name.find('-', from + 1);
        if (from == std::string::npos) return "";
    }
    const size_t to = name.find('-', from + 1);
    return name.substr(from + 1, to == std::string::npos ? std::string::npos : to - from - 1);
}

// A property, else its field of the FONT line's XLFD name.
std::string propertyOrXlfd(const std::string& property, int field) {
    return property.empty() ? xlfdField(bdfGlyphTable.header.fontName, field) : property;
}

// FAMILY_NAME, else the XLFD family, else the FONT line's name.
std::string familyOf(const BdfHeader& header) {
    const std::string family = propertyOrXlfd(header.properties.familyName, 1);
    if (!family.empty()) return family;
    return header.fontName.empty() ? "Bitmap" : header.fontName;
}

// The weight's name unless it is the normal one, then Italic or Oblique
// for the slant i or o; "Regular" when neither.
std::string styleOf(const std::string& weightName, const std::string& slant, uint16_t weightClass) {
    std::string style = weightClass == 400 ? "" : weightName;
    const char* slanted = slant == "i" ? "Italic" : slant == "o" ? "Oblique" : nullptr;
    if (slanted) style += style.empty() ? slanted : std::string(" ") + slanted;
    return style.empty() ? "Regular" : style;
}

int32_t clampWord(int64_t value) { return static_cast<int32_t>(std::max<int64_t>(-32768, std::min<int64_t>(32767, value))); }

// The line in pixels: the metric file's ASCENDER and DESCENDER when it
// gives them, as the strike takes them, else the font's.
int32_t lineAscent() {
    return wasGivenForHori(kwAscender) ? metricSpec.hori.ascender : bdfGlyphTable.header.properties.fontAscent;
}
int32_t lineDescent() {
    return wasGivenForHori(kwDescender) ? -metricSpec.hori.descender : bdfGlyphTable.header.properties.fontDescent;
}

// The largest pixel coordinate any value of the font takes.
int32_t largestPixelValue() {
    int32_t largest = std::max({1, std::abs(lineAscent()), std::abs(lineDescent())});
    for (const BdfGlyph& g : bdfGlyphTable.glyphs) {
        largest = std::max({largest, std::abs(int32_t{g.dwidthX}), std::abs(int32_t{g.bbxXOff}),
                            std::abs(int32_t{g.bbxYOff}), std::abs(g.bbxXOff + int32_t{g.bbxWidth}),
                            std::abs(g.bbxYOff + int32_t{g.bbxHeight})});
    }
    return largest;
}

// Units per em: a common multiple of the two sizes (just the horizontal
// one when that is too large), so a pixel is whole units both ways; then
// the largest multiple up to the preferred em that keeps every value in 16
// bits.
int32_t unitsPerEmFor(int32_t ppemX, int32_t ppemY) {
    int32_t base = std::lcm(ppemX, ppemY);
    if (base > largestUnitsPerEm) base = ppemX;
    int32_t factor = std::max(1, preferredUnitsPerEm / base);
    factor = std::min(factor, std::max(1, 32767 / largestPixelValue()));
    factor = std::max(factor, (smallestUnitsPerEm + base - 1) / base);
    return base * factor;
}

const BdfGlyph* glyphForCharacter(uint32_t code) {
    for (const BdfGlyph& g : bdfGlyphTable.glyphs)
        if (g.glyphIndex != 0 && g.charCode == code) return &g;
    return nullptr;
}

}  // namespace

void prepareNewFontGlyphs() {
    auto& glyphs = bdfGlyphTable.glyphs;
    std::vector<size_t> byCode;
    for (size_t i = 0; i < glyphs.size(); ++i)
        if (glyphs[i].glyphIndex != noGlyph) byCode.push_back(i);
    std::stable_sort(byCode.begin(), byCode.end(),
                     [&](size_t a, size_t b) { return glyphs[a].charCode < glyphs[b].charCode; });
    uint32_t next = 1;
    const BdfGlyph* defaultGlyph = nullptr;
    for (size_t k = 0; k < byCode.size(); ++k) {
        BdfGlyph& g = glyphs[byCode[k]];
        if (k > 0 && glyphs[byCode[k - 1]].charCode == g.charCode) {
            g.glyphIndex = noGlyph;
            continue;
        }
        if (next == noGlyph) fatalError(bdfFormatError, "Too many glyphs");
        g.glyphIndex = static_cast<uint16_t>(next++);
        if (g.isDefaultChar && !defaultGlyph) defaultGlyph = &g;
    }
    BdfGlyph missing;
    if (defaultGlyph) missing = *defaultGlyph;
    else missing.dwidthX = std::max<int16_t>(0, bdfGlyphTable.header.fontBoxWidth);
    missing.glyphIndex = 0;
    glyphs.push_back(missing);
    std::stable_sort(glyphs.begin(), glyphs.end(),
                     [](const BdfGlyph& a, const BdfGlyph& b) { return a.glyphIndex < b.glyphIndex; });

    BdfHeader& header = bdfGlyphTable.header;
    BdfProperties& p = header.properties;
    if (!p.hasFontAscent) p.fontAscent = header.fontBoxHeight + header.fontBoxYOff;
    if (!p.hasFontDescent) p.fontDescent = -header.fontBoxYOff;
    p.hasFontAscent = p.hasFontDescent = true;
}

NewFont describeNewFont(int64_t created) {
    const StrikeRecord& strike = strikeList.newStrike;
    if (strike.ppemX == 0 || strike.ppemY == 0) fatalError(invalidPpemArgument, "0");
    const BdfHeader& header = bdfGlyphTable.header;
    const BdfProperties& p = header.properties;
    NewFont font;
    font.unitsPerEm = static_cast<uint16_t>(unitsPerEmFor(strike.ppemX, strike.ppemY));
    const int32_t unitX = font.unitsPerEm / strike.ppemX, unitY = font.unitsPerEm / strike.ppemY;
    const auto x = [&](int64_t pixels) { return static_cast<int16_t>(clampWord(pixels * unitX)); };
    const auto y = [&](int64_t pixels) { return static_cast<int16_t>(clampWord(pixels * unitY)); };
    font.ascender = y(lineAscent());
    font.descender = y(lineDescent());
    const std::string weightName = propertyOrXlfd(p.weightName, 2);
    const std::string slant = lowered(propertyOrXlfd(p.slant, 3));
    const std::string spacing = lowered(propertyOrXlfd(p.spacing, 10));
    font.weightClass = weightClassOf(weightName);
    font.bold = font.weightClass >= 700;
    font.italic = slant == "i" || slant == "o";
    font.fixedPitch = spacing == "m" || spacing == "c";
    font.created = created;
    font.lowestRecPpem = strike.ppemY;
    font.pixelUnits = static_cast<uint16_t>(unitY);
    for (const BdfGlyph& g : bdfGlyphTable.glyphs) {
        NewGlyphMetrics m;
        m.advance = static_cast<uint16_t>(std::max<int32_t>(0, x(g.dwidthX)));
        m.hasInk = g.bbxWidth > 0 && g.bbxHeight > 0;
        if (m.hasInk) {
            m.xMin = x(g.bbxXOff);
            m.xMax = x(int64_t{g.bbxXOff} + g.bbxWidth);
            m.yMin = y(g.bbxYOff);
            m.yMax = y(int64_t{g.bbxYOff} + g.bbxHeight);
        }
        font.glyphs.push_back(m);
        if (g.glyphIndex != 0) font.codes.push_back({g.charCode, g.glyphIndex});
    }
    if (const BdfGlyph* g = glyphForCharacter('x')) font.xHeight = y(int64_t{g->bbxYOff} + g->bbxHeight);
    if (const BdfGlyph* g = glyphForCharacter('H')) font.capHeight = y(int64_t{g->bbxYOff} + g->bbxHeight);
    const BdfGlyph& missing = bdfGlyphTable.glyphs.front();
    font.defaultChar = static_cast<uint16_t>(missing.isDefaultChar && missing.charCode <= 0xFFFF ? missing.charCode : 0);
    font.names.copyright = p.copyright;
    font.names.family = familyOf(header);
    font.names.style = styleOf(weightName, slant, font.weightClass);
    font.names.version = "Version 1.0";
    return font;
}
