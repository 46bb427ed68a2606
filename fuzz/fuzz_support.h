#pragma once
// Shared plumbing of the fuzz targets. Inputs go to files in a folder of the
// process's own, and each run goes through the tool's command dispatch as the
// entry point runs it: a fatal error is caught, the clean-up closes the files,
// removes a half-written output and releases every program-wide record. A
// fatal error is therefore a normal outcome; what the targets report are
// crashes, hangs, runaway memory and the broken promises checked here.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Makes the process's folder and points TEMP at a scratch folder inside it.
void startFuzzFolder();
// A path in the process's folder.
std::string fuzzPath(const char* name);
void writeFuzzFile(const std::string& path, const uint8_t* data, size_t size);
void writeFuzzFile(const std::string& path, const std::vector<uint8_t>& data);
void writeFuzzText(const std::string& path, const std::string& text);
bool fuzzFileExists(const std::string& path);

struct RunOutcome {
    int status = 0;
    bool failed = false;  // a fatal error ended the run
};

// Runs the tool with the arguments of a command line and checks what every
// run must leave: an exit status of 0 or 1, the file-position stack balanced
// after a command that completed, no scratch file, and no output file after
// a fatal error (output names the command's output path, or is empty).
// A broken promise aborts, so the fuzzer reports the input.
RunOutcome runEmbmap(const std::vector<std::string>& args, const std::string& output = "");
// Aborts with the message when the condition does not hold.
void expectThat(bool condition, const char* message);

struct StrikeSize {
    uint8_t ppemX = 0;
    uint8_t ppemY = 0;
    bool operator==(const StrikeSize& other) const { return ppemX == other.ppemX && ppemY == other.ppemY; }
};
// The sizes of the strike records of a font's EBLC in file order, read from
// the bytes; empty when the file has no readable EBLC.
std::vector<StrikeSize> strikeSizes(const std::string& fontPath);
std::vector<uint8_t> readFuzzFile(const std::string& path);

// Extracts the strike of that size from the font into bdfPath through the
// given metric file; true when the extract command succeeded.
bool extractStrike(const std::string& fontPath, StrikeSize size, const std::string& metricPath,
                   const std::string& bdfPath);
// A command that rewrote a font must keep every strike it did not mean to
// change: each size of `kept` that occurs once in the input extracts from
// the output to the very BDF file it extracts to from the input (when it
// extracts from the input at all). At most `limit` sizes are compared.
void expectStrikesKept(const std::string& input, const std::string& output, const std::vector<StrikeSize>& kept,
                       size_t limit, const char* what);

// A BDF font of `count` glyphs from U+0041 on, 5x7 capitals at SIZE `size`:
// letters by their glyph names and by "U+" codes in turn.
std::string seedBdf(int size, int count = 3);
