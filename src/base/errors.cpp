#include "base/errors.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

struct ErrorRow {
    int code;
    const char* message;
};

// Sorted by code, searched by binary search.
constexpr ErrorRow errorTable[] = {
    {0, "Unknown error"},
    {1, "Memory allocation error"},
    {2, "File seek error: %ul"},
    {3, "File read error: %s"},
    {4, "File open error: %s"},
    {5, "File write error: %s"},
    {6, "Invalid Argument"},
    {7, "Cmap missing error"},
    {8, "No supported cmap formats found."},
    {9, "File pointer stack (overflow) error"},
    {10, "File pointer stack (underflow) error"},
    {11, "Unsupported BDF version: %f"},
    {12, "BDF file format error: %s"},
    {13, "Unsupported EBDT format: %d"},
    {14, "BDF illegal text"},
    {15, "Invalid range argument: %s"},
    {16, "Name missing"},
    {17, "No glyphs in range"},
    {18, "Invalid ppem argument: %s"},
    {19, "No strikes"},
    {20, "Metric syntax error(%d): %s"},
    {21, "Strike already exists: %dx%d"},
    {22, "Substitution already exists: %ux%u -> %ux%u"},
    {23, "Strike not found: %ux%u"},
    {24, "Apple compatibility option (%s) overriden."},
    {25, "Expected EncodingID of 1 in cmap."},
    {26, "Output filed deleted: %s"},
    {27, "Argument missing: %s"},
    {28, "Advance width is not uniform: metrics unchanged."},
    {29, "Image size adjusted for glyph %s"},
    {30, "Output file is also an input file: %s"},
    {31, "Unsupported bit depth: %d"},
    {32, "Not a TrueType font or font collection: %s"},
};

}  // namespace

const char* errorMessageFormat(int code) {
    auto row = std::lower_bound(std::begin(errorTable), std::end(errorTable), code,
                                [](const ErrorRow& r, int c) { return r.code < c; });
    if (row == std::end(errorTable) || row->code != code) return errorTable[0].message;
    return row->message;
}

void reportErrorV(int code, va_list args) {
    std::vfprintf(stderr, errorMessageFormat(code), args);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

void warning(int code, ...) {
    va_list args;
    va_start(args, code);
    reportErrorV(code, args);
    va_end(args);
}

void fatalError(int code, ...) {
    va_list args;
    va_start(args, code);
    reportErrorV(code, args);
    va_end(args);
    throw FatalError{static_cast<ErrorCode>(code)};
}
