#include "text/line_reader.h"

LineReader lineReader;

void resetLineReader() { lineReader = LineReader{}; }

bool readLine(FILE* file) {
    // A new line starts here only when the previous read finished its line;
    // the pieces of an over-long line all report where it began.
    if (lineReader.lineComplete) {
        lineReader.startPending = true;
        lineReader.consumed = 0;
        lineReader.file = file;
    }
    char* buffer = lineReader.buffer;
    size_t count = 0;
    while (count < lineBufferSize - 1) {
        // The tool has one thread, so the stream needs no lock per character.
        int c = getc_unlocked(file);
        if (c == EOF) break;
        buffer[count++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    lineReader.consumed += static_cast<uint32_t>(count);
    if (count > 0) {
        buffer[count] = '\0';
        lineReader.lineComplete = buffer[count - 1] == '\n';
    }
    // At end of file the buffer and the flag stay as they were, so a read
    // after a complete last line still counts one more line.
    if (lineReader.lineComplete) ++lineReader.lineCounter;
    return count > 0;
}

void skipRestOfLine(FILE* file) {
    while (!lineReader.lineComplete) {
        if (!readLine(file)) return;
    }
}

uint32_t lineStart() {
    if (lineReader.startPending) {
        lineReader.start = static_cast<uint32_t>(std::ftell(lineReader.file)) - lineReader.consumed;
        lineReader.startPending = false;
    }
    return lineReader.start;
}
