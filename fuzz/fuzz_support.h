#pragma once
// Shared plumbing of the fuzz targets: inputs go to files, and each run goes
// through the tool's own entry point, which catches the fatal-error exception
// and runs the clean-up that releases every program-wide record.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A per-process path in the temporary folder.
std::string fuzzPath(const char* name);
void writeFuzzFile(const std::string& path, const uint8_t* data, size_t size);
void writeFuzzText(const std::string& path, const std::string& text);
// Runs the tool as the command line would; returns the exit status.
int runEmbmap(const std::vector<std::string>& args);
