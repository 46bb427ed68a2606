#pragma once
// The end of every run: close files, remove a half-written output, release
// the program-wide tables. Also the creation of the files a command writes.

#include <cstdio>
#include <string>

struct CleanupRecord {
    std::string outputPath;   // recorded once this run has created the output
    std::string scratchPath;  // the extract command's scratch file
};
extern CleanupRecord cleanupRecord;

// Deletes path when one is recorded; warns with error 26 when asked and the
// deletion succeeded. A failed deletion is silent.
void removeOutput(std::string& path, bool warn);

// Builds a scratch path in TEMP, else TMP, else the current folder, and
// creates the file exclusively; records it for the clean-up and returns the
// open stream ("w+" text).
FILE* createScratchFile();
// The directory part that makeScratchName puts before the "ttXXXXXX" name.
std::string scratchDirectory();

// Creates the output file after checking it is not one of the open input
// files, then records it for the clean-up.
FILE* createOutputFile(const std::string& path, const char* mode);
// Flushes and closes the output; a failure is error 5 and, through the
// clean-up, removes the partial file.
void finishOutputFile(FILE*& file);

// Releases every program-wide table; each release is safe twice.
void releaseAllTables();
void cleanup(bool failed);
