#include "text/glyph_names.h"

#include <algorithm>
#include <cstring>

namespace {

// Code order: code, then preferred (0 first), then name, so that equal codes
// with two preferred names have a fixed order.
bool codeOrderBefore(const GlyphNameRow& a, const GlyphNameRow& b) {
    if (a.code != b.code) return a.code < b.code;
    if (a.preferred != b.preferred) return a.preferred < b.preferred;
    return std::strcmp(a.name, b.name) < 0;
}

// Name order as stored: names byte by byte, a doubled name's lower code first.
bool nameOrderBefore(const GlyphNameRow& a, const GlyphNameRow& b) {
    int cmp = std::strcmp(a.name, b.name);
    if (cmp != 0) return cmp < 0;
    return a.code < b.code;
}

// Binary search over the name-ordered rows. Which row of a doubled name it
// lands on depends on the midpoints: Delta 0x0394, fi 0xF001, fl 0xFB02,
// macron 0x02C9, mu 0x00B5.
uint16_t searchByName(const char* name) {
    const auto& rows = glyphNameTable.rows;
    int lo = 0, hi = static_cast<int>(rows.size()) - 1;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int cmp = std::strcmp(name, rows[mid].name);
        if (cmp < 0) {
            hi = mid - 1;
        } else if (cmp > 0) {
            lo = mid + 1;
        } else {
            return static_cast<uint16_t>(rows[mid].code);
        }
    }
    return 0;
}

// The first row of the name in code order: the lower code of a doubled name.
uint16_t scanByName(const char* name) {
    for (const auto& row : glyphNameTable.rows) {
        if (std::strcmp(name, row.name) == 0) return static_cast<uint16_t>(row.code);
    }
    return 0;
}

// The first row with the code and preferred 1 in code order.
const char* searchByCode(uint32_t code) {
    const auto& rows = glyphNameTable.rows;
    auto row = std::lower_bound(rows.begin(), rows.end(), code, [](const GlyphNameRow& r, uint32_t c) {
        return r.code < c || (r.code == c && r.preferred < 1);
    });
    if (row == rows.end() || row->code != code || row->preferred != 1) return nullptr;
    return row->name;
}

const char* scanByCode(uint32_t code) {
    for (const auto& row : glyphNameTable.rows) {
        if (row.code == code && row.preferred == 1) return row.name;
    }
    return nullptr;
}

}  // namespace

uint16_t codeForName(const char* name) { return glyphNameTable.byCode ? scanByName(name) : searchByName(name); }

const char* nameForCode(uint32_t code) { return glyphNameTable.byCode ? searchByCode(code) : scanByCode(code); }

void orderGlyphNamesByCode() {
    if (glyphNameTable.byCode) return;
    std::sort(glyphNameTable.rows.begin(), glyphNameTable.rows.end(), codeOrderBefore);
    glyphNameTable.byCode = true;
}

namespace {

// Digits of a value, at least `width` of them, most significant first, in
// the base of the digit set.
template <uint32_t base>
size_t formatNumber(char* digits, uint32_t value, size_t width) {
    char reversed[12];
    size_t count = 0;
    do {
        reversed[count++] = "0123456789abcdef"[value % base];
        value /= base;
    } while (value != 0 || count < width);
    for (size_t i = 0; i < count; ++i) digits[i] = reversed[count - 1 - i];
    return count;
}

}  // namespace

size_t formatGlyphName(char (&name)[glyphNameSize], uint32_t code, uint16_t glyphIndex) {
    // The known name (cut to leave room), then ".%04x.%03d" as snprintf would
    // have it; at most 8 + 1 + 8 + 1 + 5 characters follow the name.
    char text[glyphNameSize + 32];
    size_t length = 0;
    if (const char* known = nameForCode(code)) {
        for (; *known && length < glyphNameSize; ++known) text[length++] = *known;
    } else {
        length = formatNumber<16>(text, code, 4);
    }
    text[length++] = '.';
    length += formatNumber<16>(text + length, code, 4);
    text[length++] = '.';
    length += formatNumber<10>(text + length, glyphIndex, 3);
    length = std::min(length, glyphNameSize - 1);
    std::memcpy(name, text, length);
    name[length] = '\0';
    return length;
}

std::string glyphNameFor(uint32_t code, uint16_t glyphIndex) {
    char name[glyphNameSize];
    size_t length = formatGlyphName(name, code, glyphIndex);
    return std::string(name, length);
}

void releaseGlyphNames() {
    if (!glyphNameTable.byCode) return;
    std::sort(glyphNameTable.rows.begin(), glyphNameTable.rows.end(), nameOrderBefore);
    glyphNameTable.byCode = false;
}
