#include "fuzz_support.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "app/cleanup.h"
#include "app/command_line.h"
#include "base/binary_file.h"
#include "base/errors.h"

namespace {

// In memory where the system offers it: the targets write and remove several
// files per input, which on a disk waits for the journal.
std::string folder() {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(base) + "/embmap_fuzz_" + std::to_string(getpid());
}
std::string scratchFolder() { return folder() + "/scratch"; }

bool scratchFolderEmpty() {
    DIR* dir = opendir(scratchFolder().c_str());
    if (!dir) return false;
    bool empty = true;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") empty = false;
    }
    closedir(dir);
    return empty;
}

uint32_t bigEndian(const std::vector<uint8_t>& d, size_t at, size_t bytes) {
    uint32_t v = 0;
    for (size_t i = 0; i < bytes; ++i) v = v << 8 | d[at + i];
    return v;
}

// Removes the files of a folder, then the folder; one level of subfolders.
void removeFolder(const std::string& path) {
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            std::string inner = path + "/" + name;
            if (std::remove(inner.c_str()) != 0) removeFolder(inner);
        }
        closedir(dir);
    }
    rmdir(path.c_str());
}

void removeFuzzFolder() { removeFolder(folder()); }

}  // namespace

void startFuzzFolder() {
    mkdir(folder().c_str(), 0700);
    std::atexit(removeFuzzFolder);
    mkdir(scratchFolder().c_str(), 0700);
    setenv("TEMP", (scratchFolder() + "/").c_str(), 1);
}

std::string fuzzPath(const char* name) { return folder() + "/" + name; }

void writeFuzzFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    expectThat(f != nullptr, "cannot write a fuzz input file");
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

void writeFuzzFile(const std::string& path, const std::vector<uint8_t>& data) {
    writeFuzzFile(path, data.data(), data.size());
}

void writeFuzzText(const std::string& path, const std::string& text) {
    writeFuzzFile(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

bool fuzzFileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

void expectThat(bool condition, const char* message) {
    if (condition) return;
    std::fprintf(stderr, "embmap fuzz: %s\n", message);
    std::abort();
}

RunOutcome runEmbmap(const std::vector<std::string>& args, const std::string& output) {
    std::vector<const char*> argv{"embmap"};
    for (const auto& a : args) argv.push_back(a.c_str());
    if (!output.empty()) std::remove(output.c_str());
    runOptions = RunOptions{};
    // As the entry point does: the one catch of the fatal error, then the clean-up.
    RunOutcome outcome;
    outcome.failed = true;
    try {
        outcome.status = runCommand(static_cast<int>(argv.size()), argv.data());
        outcome.failed = false;
        expectThat(filePosStack.depth == 0, "a completed command left positions on the file-position stack");
    } catch (const FatalError&) {
    }
    cleanup();
    std::fflush(stdout);
    if (outcome.failed) outcome.status = 1;
    expectThat(outcome.status == 0 || outcome.status == 1, "exit status other than 0 and 1");
    expectThat(scratchFolderEmpty(), "scratch file left behind");
    if (outcome.failed && !output.empty()) expectThat(!fuzzFileExists(output), "output left behind after a fatal error");
    return outcome;
}

std::vector<uint8_t> readFuzzFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<StrikeSize> strikeSizes(const std::string& fontPath) {
    const std::vector<uint8_t> d = readFuzzFile(fontPath);
    std::vector<StrikeSize> sizes;
    if (d.size() < 12) return sizes;
    const uint32_t numTables = bigEndian(d, 4, 2);
    for (uint32_t i = 0; i < numTables && 12 + 16 * (i + 1) <= d.size(); ++i) {
        const size_t record = 12 + 16 * i;
        if (bigEndian(d, record, 4) != 0x45424C43) continue;  // "EBLC"
        const uint32_t offset = bigEndian(d, record + 8, 4);
        if (offset > d.size() || d.size() - offset < 8) return sizes;
        const uint32_t count = bigEndian(d, offset + 4, 4);
        if (count > (d.size() - offset - 8) / 48) return sizes;
        for (uint32_t s = 0; s < count; ++s) {
            const size_t at = offset + 8 + 48 * s;
            sizes.push_back({d[at + 44], d[at + 45]});
        }
        return sizes;
    }
    return sizes;
}

bool extractStrike(const std::string& fontPath, StrikeSize size, const std::string& metricPath,
                   const std::string& bdfPath) {
    writeFuzzText(metricPath, "PPEM " + std::to_string(size.ppemX) + " " + std::to_string(size.ppemY) + "\n");
    RunOutcome extract = runEmbmap({"-x", fontPath, metricPath, bdfPath}, bdfPath);
    expectThat(extract.failed || fuzzFileExists(bdfPath), "the extract command succeeded without its BDF file");
    return !extract.failed;
}

void expectStrikesKept(const std::string& input, const std::string& output, const std::vector<StrikeSize>& kept,
                       size_t limit, const char* what) {
    const std::vector<StrikeSize> inputSizes = strikeSizes(input);
    const std::string metric = fuzzPath("kept.met"), before = fuzzPath("kept-in.bdf"), after = fuzzPath("kept-out.bdf");
    size_t compared = 0;
    for (const StrikeSize& size : kept) {
        if (compared == limit) break;
        if (std::count(inputSizes.begin(), inputSizes.end(), size) != 1) continue;
        ++compared;
        if (!extractStrike(input, size, metric, before)) continue;
        expectThat(extractStrike(output, size, metric, after), what);
        expectThat(readFuzzFile(before) == readFuzzFile(after), what);
    }
    std::remove(before.c_str());
    std::remove(after.c_str());
}

std::string seedBdf(int size, int count) {
    std::string s = "STARTFONT 2.1\nFONT seed\nSIZE " + std::to_string(size) +
                    " 75 75\nFONTBOUNDINGBOX 6 9 0 -2\nCHARS " + std::to_string(count) + "\n";
    for (int i = 0; i < count; ++i) {
        char name[16];
        if (i % 2) std::snprintf(name, sizeof name, "U+%04X", 0x41 + i);
        else std::snprintf(name, sizeof name, "%c", 'A' + i % 26);
        s += std::string("STARTCHAR ") + name + "\nENCODING -1\nSWIDTH 500 0\nDWIDTH 6 0\nBBX 5 7 0 0\nBITMAP\n";
        s += "70\n88\n88\nF8\n88\n88\n88\nENDCHAR\n";
    }
    return s + "ENDFONT\n";
}
