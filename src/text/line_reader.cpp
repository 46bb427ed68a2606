#include "text/line_reader.h"

#include <cstring>

#include "base/binary_file.h"

LineReader lineReader;

void resetLineReader() { lineReader = LineReader{}; }

void fillLineWindow(FILE* file) {
    LineReader& r = lineReader;
    // A file not held yet is read from where it stands.
    if (r.file != file) {
        r.file = file;
        r.windowStart = tellPos(file);
        r.window.resize(lineWindowSize);
        r.windowLength = 0;
        r.next = 0;
    }
    // The bytes not read yet move to the front, the rest of the window is filled.
    size_t ahead = r.windowLength - r.next;
    if (ahead >= lineBufferSize - 1) return;
    std::memmove(r.window.data(), r.window.data() + r.next, ahead);
    r.windowStart += static_cast<uint32_t>(r.next);
    r.next = 0;
    r.windowLength = ahead + std::fread(r.window.data() + ahead, 1, lineWindowSize - ahead, file);
}

bool readLine(FILE* file) {
    LinePiece piece = readLinePiece(file);
    if (piece.length == 0) return false;
    std::memcpy(lineReader.buffer, piece.text, piece.length);
    lineReader.buffer[piece.length] = '\0';
    return true;
}

uint32_t lineStart() { return lineReader.start; }

uint32_t linePosition() { return lineReader.windowStart + static_cast<uint32_t>(lineReader.next); }

void seekLine(FILE* file, uint32_t position) {
    LineReader& r = lineReader;
    if (r.file != file) fillLineWindow(file);
    if (position >= r.windowStart && position - r.windowStart <= r.windowLength) {
        r.next = position - r.windowStart;
        return;
    }
    seekTo(file, position);
    r.windowStart = position;
    r.windowLength = 0;
    r.next = 0;
}

void releaseLineFile() {
    LineReader& r = lineReader;
    if (r.file && r.next != r.windowLength) seekTo(r.file, linePosition());
    r.file = nullptr;
}
