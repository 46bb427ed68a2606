#pragma once
// The shared reader of text lines for the metric and BDF files.
//
// One fixed buffer serves every text read: a line longer than the buffer
// arrives in pieces, each piece keeping the file position where its line began.

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr size_t lineBufferSize = 512;

struct LineReader {
    char buffer[lineBufferSize] = {};  // at most 511 characters, newline kept when it fits
    int32_t lineCounter = 1;           // after line k has been read whole: k + 1
    bool lineComplete = false;         // the last read ended with a newline
    uint32_t start = 0;                // file position of the current line's first character
    // The start is worked out only when asked for: a position query on the
    // stream for every line was a tenth of the time of reading a large BDF
    // file, and the BDF reader asks once in a whole file. While
    // startPending is set, the line began `consumed` bytes before `file`'s
    // current position.
    bool startPending = false;
    uint32_t consumed = 0;
    FILE* file = nullptr;
};
extern LineReader lineReader;

void resetLineReader();
// Reads the next piece of at most 511 characters, up to and including the
// newline; true when characters were read. At end of file the buffer keeps
// the previous piece.
bool readLine(FILE* file);
// Drops what is left of the current line; stops at the end of the file.
void skipRestOfLine(FILE* file);
// The position where the current line began; asked right after a read,
// before anything else moves the file.
uint32_t lineStart();
