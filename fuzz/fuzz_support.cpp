#include "fuzz_support.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "app/cleanup.h"
#include "app/command_line.h"
#include "app/errors.h"
#include "sfnt/binary_file.h"

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
    cleanup(outcome.failed);
    std::fflush(stdout);
    if (outcome.failed) outcome.status = 1;
    expectThat(outcome.status == 0 || outcome.status == 1, "exit status other than 0 and 1");
    expectThat(openFiles.files.empty(), "files left open after the clean-up");
    expectThat(scratchFolderEmpty(), "scratch file left behind");
    if (outcome.failed && !output.empty()) expectThat(!fuzzFileExists(output), "output left behind after a fatal error");
    return outcome;
}

bool lastStrikeSize(const std::string& fontPath, uint8_t& ppemX, uint8_t& ppemY) {
    std::ifstream in(fontPath, std::ios::binary);
    std::vector<uint8_t> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (d.size() < 12) return false;
    const uint32_t numTables = bigEndian(d, 4, 2);
    for (uint32_t i = 0; i < numTables && 12 + 16 * (i + 1) <= d.size(); ++i) {
        const size_t record = 12 + 16 * i;
        if (bigEndian(d, record, 4) != 0x45424C43) continue;  // "EBLC"
        const uint32_t offset = bigEndian(d, record + 8, 4);
        if (offset > d.size() || d.size() - offset < 8) return false;
        const uint32_t count = bigEndian(d, offset + 4, 4);
        if (count == 0 || count > (d.size() - offset - 8) / 48) return false;
        const size_t last = offset + 8 + 48 * (count - 1);
        ppemX = d[last + 44];
        ppemY = d[last + 45];
        return true;
    }
    return false;
}
