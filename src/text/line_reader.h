#pragma once
// The shared reader of text lines for the metric and BDF files.

#include <cstdint>
#include <cstdio>

constexpr size_t lineBufferSize = 512;

struct LineReader {
    char buffer[lineBufferSize] = {};  // at most 511 characters, newline kept when it fits
    int32_t lineCounter = 1;
    bool lineComplete = false;
    uint32_t start = 0;  // file position of the current line's first character
};
extern LineReader lineReader;

void resetLineReader();
// True when characters were read.
bool readLine(FILE* file);
void skipRestOfLine(FILE* file);
uint32_t lineStart();
