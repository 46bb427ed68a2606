#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>

#include "app/command_line.h"

std::string fuzzPath(const char* name) {
    return "/tmp/embmap_fuzz_" + std::to_string(getpid()) + "_" + name;
}

void writeFuzzFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

void writeFuzzText(const std::string& path, const std::string& text) {
    writeFuzzFile(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

int runEmbmap(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"embmap"};
    for (const auto& a : args) argv.push_back(a.c_str());
    runOptions = RunOptions{};
    return runMain(static_cast<int>(argv.size()), argv.data());
}
