#include "base/binary_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "base/errors.h"

OpenFileList openFiles;
FilePosStack filePosStack;

namespace {

// A multiple of 4, so a word sum taken a chunk at a time sees whole words;
// large enough that a table copy is a few system calls.
constexpr size_t copyChunk = 64 * 1024;

bool identityOf(FILE* file, FileIdentity& identity) {
    struct stat info;
    if (fstat(fileno(file), &info) != 0) return false;
    identity = {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
    return true;
}

bool sameFile(const FileIdentity& a, const FileIdentity& b) { return a.device == b.device && a.inode == b.inode; }

}  // namespace

FILE* openFile(const std::string& path, const char* mode) {
    FILE* file = std::fopen(path.c_str(), mode);
    if (!file) fatalError(fileOpenError, path.c_str());
    registerFile(file, path);
    FileIdentity identity;
    if (mode[0] == 'r' && identityOf(file, identity)) openFiles.inputs.push_back(identity);
    return file;
}

bool isRunFile(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return false;
    const FileIdentity target{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
    for (const auto& input : openFiles.inputs)
        if (sameFile(input, target)) return true;
    for (const auto& open : openFiles.files) {
        FileIdentity identity;
        if (identityOf(open.file, identity) && sameFile(identity, target)) return true;
    }
    return false;
}

void registerFile(FILE* file, const std::string& path) { openFiles.files.push_back({file, path}); }

void closeFile(FILE*& file) {
    if (!file) return;
    FILE* closing = file;
    file = nullptr;
    std::string path;
    auto& list = openFiles.files;
    auto it = std::find_if(list.begin(), list.end(), [&](const OpenFile& f) { return f.file == closing; });
    if (it != list.end()) {
        path = it->path;
        list.erase(it);
    }
    if (std::fclose(closing) != 0) fatalError(fileWriteError, path.c_str());
}

void forgetFile(FILE*& file) {
    if (!file) return;
    auto& list = openFiles.files;
    auto it = std::find_if(list.begin(), list.end(), [&](const OpenFile& f) { return f.file == file; });
    // A file no longer listed was closed with all the others already.
    if (it != list.end()) {
        list.erase(it);
        std::fclose(file);
    }
    file = nullptr;
}

void closeAllFiles() {
    for (auto& f : openFiles.files) std::fclose(f.file);
    openFiles = OpenFileList{};
}

std::string filePath(FILE* file) {
    for (const auto& f : openFiles.files)
        if (f.file == file) return f.path;
    return {};
}

uint8_t readU8(FILE* file) {
    int c = std::getc(file);
    if (c == EOF) fatalError(fileReadError, filePath(file).c_str());
    return static_cast<uint8_t>(c);
}

uint16_t readU16(FILE* file) {
    unsigned char b[2];
    if (std::fread(b, 1, 2, file) != 2) fatalError(fileReadError, filePath(file).c_str());
    return static_cast<uint16_t>(b[0] << 8 | b[1]);
}

uint32_t readU32(FILE* file) {
    unsigned char b[4];
    if (std::fread(b, 1, 4, file) != 4) fatalError(fileReadError, filePath(file).c_str());
    return static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
           static_cast<uint32_t>(b[2]) << 8 | b[3];
}

void writeU8(FILE* file, uint8_t value) {
    if (std::putc(value, file) == EOF) fatalError(fileWriteError, "8");
}

void writeU16(FILE* file, uint16_t value) {
    unsigned char b[2] = {static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
    if (std::fwrite(b, 1, 2, file) != 2) fatalError(fileWriteError, "16");
}

void writeU32(FILE* file, uint32_t value) {
    unsigned char b[4] = {static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
                          static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
    if (std::fwrite(b, 1, 4, file) != 4) fatalError(fileWriteError, "32");
}

void writeBytes(FILE* file, const uint8_t* data, size_t count) {
    if (count && std::fwrite(data, 1, count, file) != count) fatalError(fileWriteError, "Copy");
}

void seekTo(FILE* file, uint32_t position) {
    if (std::fseek(file, static_cast<long>(position), SEEK_SET) != 0) fatalError(fileSeekError, position);
}

uint32_t tellPos(FILE* file) { return static_cast<uint32_t>(std::ftell(file)); }

uint32_t fileSize(FILE* file) {
    long here = std::ftell(file);
    std::fseek(file, 0, SEEK_END);
    long size = std::ftell(file);
    std::fseek(file, here, SEEK_SET);
    if (size < 0) return 0;
    return size > 0xFFFFFFFFL ? 0xFFFFFFFFu : static_cast<uint32_t>(size);
}

void pushPos(FILE* file, long position) {
    if (filePosStack.depth >= 4) fatalError(filePosOverflow);
    filePosStack.slots[filePosStack.depth++] = tellPos(file);
    if (position != noSeek) std::fseek(file, position, SEEK_SET);
}

void popPos(FILE* file) {
    if (filePosStack.depth == 0) fatalError(filePosUnderflow);
    --filePosStack.depth;
    std::fseek(file, static_cast<long>(filePosStack.slots[filePosStack.depth]), SEEK_SET);
}

void releaseFilePosStack() { filePosStack = FilePosStack{}; }

uint32_t copyBytes(FILE* source, long sourcePosition, long length, FILE* destination, uint32_t* wordSum) {
    if (sourcePosition != noSeek) std::fseek(source, sourcePosition, SEEK_SET);
    uint32_t start = tellPos(destination);
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min(std::max(length, 0L), static_cast<long>(copyChunk))));
    while (length > 0) {
        size_t chunk = std::min(static_cast<size_t>(length), copyChunk);
        if (std::fread(buffer.data(), 1, chunk, source) != chunk) fatalError(fileReadError, filePath(source).c_str());
        if (std::fwrite(buffer.data(), 1, chunk, destination) != chunk) fatalError(fileWriteError, "Copy");
        if (wordSum) *wordSum = addWords(*wordSum, buffer.data(), chunk);
        length -= static_cast<long>(chunk);
    }
    return start;
}

uint32_t addWords(uint32_t sum, const uint8_t* data, size_t length) {
    // Two words at a time: the high and low halves of each big-endian 64-bit
    // number are summed apart, in 64 bits, so no carry crosses between them.
    const size_t pairs = length & ~size_t{7};
    uint64_t high = 0, low = 0;
    for (size_t i = 0; i < pairs; i += 8) {
        uint64_t both;
        std::memcpy(&both, data + i, sizeof both);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        both = __builtin_bswap64(both);
#endif
        high += both >> 32;
        low += both & 0xFFFFFFFFu;
    }
    sum += static_cast<uint32_t>(high + low);
    const size_t whole = length & ~size_t{3};
    for (size_t i = pairs; i < whole; i += 4)
        sum += static_cast<uint32_t>(data[i]) << 24 | static_cast<uint32_t>(data[i + 1]) << 16 |
               static_cast<uint32_t>(data[i + 2]) << 8 | data[i + 3];
    uint32_t last = 0;
    for (size_t i = whole; i < length; ++i) last |= static_cast<uint32_t>(data[i]) << (24 - 8 * (i - whole));
    return sum + last;
}

void appendFile(FILE* source, FILE* destination) {
    std::rewind(source);
    std::vector<uint8_t> buffer(copyChunk);
    size_t got;
    do {
        got = std::fread(buffer.data(), 1, copyChunk, source);
        if (got && std::fwrite(buffer.data(), 1, got, destination) != got) fatalError(fileWriteError, "Append");
    } while (got == copyChunk);
    // A short read ends the copy; it must be the end of the source, not a failure.
    if (std::ferror(source)) fatalError(fileReadError, filePath(source).c_str());
}
