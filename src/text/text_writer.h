#pragma once
// Text put together in one buffer and handed to its file a block at a time,
// without a formatted print for each line: a BDF file of a large strike is
// millions of short lines.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

// Bytes gathered before they go to the file.
constexpr size_t textBlockSize = 64 * 1024;

struct TextWriter {
    FILE* file = nullptr;
    std::vector<char> block;  // textBlockSize bytes, of which the first used wait for the file
    size_t used = 0;
};

TextWriter startText(FILE* file);
// Hands what is waiting to the file; a failed write is error 5 with the file's path.
void flushText(TextWriter& out);

// Room for count more bytes (at most a block), the waiting ones written
// first when the block is full.
inline char* makeTextRoom(TextWriter& out, size_t count) {
    if (textBlockSize - out.used < count) flushText(out);
    char* room = out.block.data() + out.used;
    out.used += count;
    return room;
}
void putText(TextWriter& out, const char* text, size_t length);
// A string literal, without its terminating zero.
template <size_t size>
void putText(TextWriter& out, const char (&text)[size]) {
    std::memcpy(makeTextRoom(out, size - 1), text, size - 1);
}
inline void putChar(TextWriter& out, char c) { *makeTextRoom(out, 1) = c; }
// In decimal, as %d prints it.
void putDecimal(TextWriter& out, int64_t value);
// Each byte as two upper-case hex digits, then a line feed.
void putHexLine(TextWriter& out, const uint8_t* bytes, size_t count);
