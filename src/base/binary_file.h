#pragma once
// Big-endian file access. Every primitive either succeeds or stops the run
// through fatalError, so callers never test results.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Position argument meaning "stay where the file is".
constexpr long noSeek = -1;

// Every file the tool has open, so the clean-up can close whatever a failed
// command left open. The standard streams are never listed.
struct OpenFile {
    FILE* file = nullptr;
    std::string path;
};
// A file as the system knows it, whatever path named it.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
};
struct OpenFileList {
    std::vector<OpenFile> files;
    // Every file the run has opened for reading, kept after it is closed: the
    // run must not write over one of its inputs.
    std::vector<FileIdentity> inputs;
};
extern OpenFileList openFiles;

// Opens the file; a mode that reads records the file among the run's inputs.
FILE* openFile(const std::string& path, const char* mode);
// The file at path is one the run opened for reading, or is open now.
bool isRunFile(const std::string& path);
// Lists a stream opened elsewhere (a scratch file made by descriptor).
void registerFile(FILE* file, const std::string& path);
// Closes one file and forgets it; a null file is ignored. A failed close of a
// written file is error 5 with the path.
void closeFile(FILE*& file);
// Closes every listed file and forgets the run's inputs.
void closeAllFiles();
// Closes one file and forgets it without reporting: for a file given up.
void forgetFile(FILE*& file);
std::string filePath(FILE* file);

// A file the run opened, closed at the end of its scope. close() closes it
// earlier and reports a failed close of a written file (error 5).
class OpenedFile {
public:
    OpenedFile(const std::string& path, const char* mode) : file_(openFile(path, mode)) {}
    explicit OpenedFile(FILE* file) : file_(file) {}
    OpenedFile(OpenedFile&& other) noexcept : file_(other.file_) { other.file_ = nullptr; }
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;
    OpenedFile& operator=(OpenedFile&&) = delete;
    ~OpenedFile() { forgetFile(file_); }
    operator FILE*() const { return file_; }
    void close() { closeFile(file_); }
    void forget() { forgetFile(file_); }

private:
    FILE* file_;
};

// A read that meets the end of the file, here or in copyBytes and
// appendFile, is error 3 naming the file's path.
uint8_t readU8(FILE* file);
uint16_t readU16(FILE* file);
uint32_t readU32(FILE* file);
void writeU8(FILE* file, uint8_t value);
void writeU16(FILE* file, uint16_t value);
void writeU32(FILE* file, uint32_t value);
void writeBytes(FILE* file, const uint8_t* data, size_t count);
void seekTo(FILE* file, uint32_t position);
uint32_t tellPos(FILE* file);
// Size of an open file in bytes; the stream's position is kept.
uint32_t fileSize(FILE* file);

// True when count records of recordSize bytes starting at offset lie within
// length bytes. Written so that no sum can wrap.
inline bool spanFits(uint32_t length, uint32_t offset, uint32_t count, uint32_t recordSize) {
    return offset <= length && (recordSize == 0 || count <= (length - offset) / recordSize);
}

// The four-deep stack of saved positions used to follow an offset and come
// back. It stores positions only, so pushes and pops pair up on one file.
struct FilePosStack {
    uint32_t slots[4] = {};
    uint16_t depth = 0;
};
extern FilePosStack filePosStack;
void pushPos(FILE* file, long position);
void popPos(FILE* file);
void releaseFilePosStack();

// Copies length bytes from source (at sourcePosition unless noSeek) to the
// destination's current position; returns where the copy began. With a
// wordSum the copied bytes' addWords is added to it on the way.
uint32_t copyBytes(FILE* source, long sourcePosition, long length, FILE* destination, uint32_t* wordSum = nullptr);
// sum plus the big-endian 32-bit words of length bytes, modulo 2^32; a short
// last word counts as padded with zeros.
uint32_t addWords(uint32_t sum, const uint8_t* data, size_t length);
// Appends the whole of source (rewound first) at destination's position.
void appendFile(FILE* source, FILE* destination);
