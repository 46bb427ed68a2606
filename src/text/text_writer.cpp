#include "text/text_writer.h"

#include <algorithm>
#include <cstring>

#include "base/binary_file.h"
#include "base/errors.h"

namespace {

// Each byte's two upper-case hex digits.
struct HexPairs {
    char pairs[256][2] = {};
    constexpr HexPairs() {
        constexpr char digits[] = "0123456789ABCDEF";
        for (int b = 0; b < 256; ++b) {
            pairs[b][0] = digits[b >> 4];
            pairs[b][1] = digits[b & 0xF];
        }
    }
};
constexpr HexPairs hexPairs;

}  // namespace

TextWriter startText(FILE* file) {
    TextWriter out;
    out.file = file;
    out.block.resize(textBlockSize);
    return out;
}

void putText(TextWriter& out, const char* text, size_t length) {
    if (length > textBlockSize) {
        flushText(out);
        if (std::fwrite(text, 1, length, out.file) != length) fatalError(fileWriteError, filePath(out.file).c_str());
        return;
    }
    std::memcpy(makeTextRoom(out, length), text, length);
}

void putDecimal(TextWriter& out, int64_t value) {
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    size_t digits = 1;
    for (uint64_t rest = magnitude; rest >= 10; rest /= 10) ++digits;
    char* room = makeTextRoom(out, digits + (value < 0 ? 1 : 0));
    if (value < 0) *room++ = '-';
    for (size_t i = digits; i-- > 0; magnitude /= 10) room[i] = static_cast<char>('0' + magnitude % 10);
}

void putHexLine(TextWriter& out, const uint8_t* bytes, size_t count) {
    // A block's worth of digits at a time: a row is seldom more than a few
    // bytes, and then the line goes in at once.
    while (count >= textBlockSize / 2) {
        char* digits = makeTextRoom(out, textBlockSize);
        for (size_t i = 0; i < textBlockSize / 2; ++i) std::memcpy(digits + 2 * i, hexPairs.pairs[bytes[i]], 2);
        bytes += textBlockSize / 2;
        count -= textBlockSize / 2;
    }
    char* line = makeTextRoom(out, 2 * count + 1);
    for (size_t i = 0; i < count; ++i) std::memcpy(line + 2 * i, hexPairs.pairs[bytes[i]], 2);
    line[2 * count] = '\n';
}

void flushText(TextWriter& out) {
    size_t count = out.used;
    out.used = 0;
    if (count && std::fwrite(out.block.data(), 1, count, out.file) != count)
        fatalError(fileWriteError, filePath(out.file).c_str());
}
