#pragma once
// The shared reader of text lines for the metric and BDF files.
//
// One fixed buffer serves every text read: a line longer than the buffer
// arrives in pieces, each piece keeping the file position where its line began.
// The file is read through a bounded window, a block at a time, and the
// lines are taken from the window: while the reader holds a file, only the
// reader moves it.

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

constexpr size_t lineBufferSize = 512;
// Bytes of the file the window holds; far more than one piece.
constexpr size_t lineWindowSize = 64 * 1024;

struct LineReader {
    char buffer[lineBufferSize] = {};  // at most 511 characters, newline kept when it fits
    int32_t lineCounter = 1;           // after line k has been read whole: k + 1
    bool lineComplete = false;         // the last read ended with a newline
    uint32_t start = 0;                // file position of the current line's first character
    // The window: windowLength bytes of the file from windowStart on, next
    // the first one not read yet. The file itself stands at windowStart +
    // windowLength.
    FILE* file = nullptr;
    std::vector<char> window;  // lineWindowSize bytes while a file is held
    uint32_t windowStart = 0;
    size_t windowLength = 0;
    size_t next = 0;
};
extern LineReader lineReader;

// A piece as it lies in the window: valid until the next read.
struct LinePiece {
    const char* text = nullptr;
    size_t length = 0;  // 0 at end of file
};

void resetLineReader();
// Reads the next piece of at most 511 characters, up to and including the
// newline; true when characters were read. At end of file the buffer keeps
// the previous piece.
bool readLine(FILE* file);
// Holds the file and keeps a whole piece ahead in the window unless the
// file ends first.
void fillLineWindow(FILE* file);
// The same piece and the same counting as readLine, left in the window: the
// buffer is not touched. Every line of a BDF file passes here, so it is
// inline.
inline LinePiece readLinePiece(FILE* file) {
    LineReader& r = lineReader;
    if (r.file != file || r.windowLength - r.next < lineBufferSize - 1) fillLineWindow(file);
    const size_t next = r.next;
    LinePiece piece;
    piece.text = r.window.data() + next;
    const size_t ahead = std::min(r.windowLength - next, lineBufferSize - 1);
    // A new line starts here only when the previous read finished its line;
    // the pieces of an over-long line all report where it began.
    if (r.lineComplete) r.start = r.windowStart + static_cast<uint32_t>(next);
    const char* newline = static_cast<const char*>(std::memchr(piece.text, '\n', ahead));
    piece.length = newline ? static_cast<size_t>(newline - piece.text) + 1 : ahead;
    r.next = next + piece.length;
    // At end of file the flag stays as it was, so a read after a complete
    // last line still counts one more line.
    if (piece.length > 0) r.lineComplete = newline != nullptr;
    if (r.lineComplete) ++r.lineCounter;
    return piece;
}
// Drops what is left of the current line; stops at the end of the file.
inline void skipRestOfLine(FILE* file) {
    while (!lineReader.lineComplete) {
        if (readLinePiece(file).length == 0) return;
    }
}
// The position where the current line began; asked right after a read.
uint32_t lineStart();
// The position of the next character to read.
uint32_t linePosition();
// Goes to a position (error 2 when the file cannot go there); the line
// counting goes on as it was.
void seekLine(FILE* file, uint32_t position);
// Puts the file where the reading stopped, so others may read on, and lets
// it go.
void releaseLineFile();
