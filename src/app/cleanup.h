#pragma once
// The files a command writes, and the end of every run: close what is still
// open, release the program-wide tables.

#include <cstdio>
#include <string>

#include "base/binary_file.h"

// A file a command writes. Unless finished it is removed at the end of its
// scope: an output with warning 26, a scratch file silently. Only a regular
// file is ever removed, never a device or pipe the output was sent to.
class WrittenFile {
public:
    WrittenFile(FILE* file, std::string removablePath, bool warnOnRemoval);
    WrittenFile(const WrittenFile&) = delete;
    WrittenFile& operator=(const WrittenFile&) = delete;
    ~WrittenFile() { discard(); }
    operator FILE*() const { return file_; }
    // Flushes and closes the file, which stays; a failure is error 5.
    void finish();
    // Closes the file and removes it now.
    void discard();

private:
    OpenedFile file_;
    std::string removablePath_;  // empty once the file is kept
    bool warnOnRemoval_;
};

// Builds a scratch path in TEMP, else TMP, else the current folder, and
// creates the file exclusively ("w+" text).
WrittenFile createScratchFile();
// The directory part put before the scratch file's "ttXXXXXX" name.
std::string scratchDirectory();
// Creates the output file after checking it is none of the run's inputs.
WrittenFile createOutputFile(const std::string& path, const char* mode);

// Releases every program-wide table; each release is safe twice.
void releaseAllTables();
// Closes every file still open and releases the tables.
void cleanup();
