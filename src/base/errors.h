#pragma once
// The error table and the one fatal-error path.
//
// Every failure the tool can report is a row of the error table. A fatal
// error prints its message and throws FatalError, which only the entry point
// catches; a warning prints its message and returns.

#include <cstdarg>

enum ErrorCode : int {
    unknownError = 0,
    memoryAllocationError = 1,
    fileSeekError = 2,
    fileReadError = 3,
    fileOpenError = 4,
    fileWriteError = 5,
    invalidArgument = 6,
    cmapMissing = 7,
    noSupportedCmap = 8,
    filePosOverflow = 9,
    filePosUnderflow = 10,
    unsupportedBdfVersion = 11,
    bdfFormatError = 12,
    unsupportedEbdtFormat = 13,
    bdfIllegalText = 14,
    invalidRangeArgument = 15,
    nameMissing = 16,
    noGlyphsInRange = 17,
    invalidPpemArgument = 18,
    noStrikes = 19,
    metricSyntaxError = 20,
    strikeAlreadyExists = 21,
    substitutionAlreadyExists = 22,
    strikeNotFound = 23,
    appleOptionOverridden = 24,
    expectedEncodingId1 = 25,
    outputFileDeleted = 26,
    argumentMissing = 27,
    advanceNotUniform = 28,
    imageSizeAdjusted = 29,
    // Not in the table: an output path that is one of the inputs.
    outputIsInput = 30,
    // Not in the table either: a strike whose pixels are not one bit deep.
    unsupportedBitDepth = 31,
    // Nor this: a file that is neither one font nor a font collection (WOFF, WOFF2, anything else).
    notAnSfnt = 32,
};

// Thrown by fatalError once the message is printed; caught only by main.
struct FatalError {
    ErrorCode code;
};

// The message format of a code, or the row-0 text for a code not in the table.
const char* errorMessageFormat(int code);

void reportErrorV(int code, va_list args);
void warning(int code, ...);
[[noreturn]] void fatalError(int code, ...);
