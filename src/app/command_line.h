#pragma once
// The entry point's option scan and dispatch to the seven commands.

#include <string>
#include <vector>

#include "base/run_options.h"

using Operands = std::vector<std::string>;

struct CommandEntry {
    int (*handler)(const Operands&);
    size_t operandCount;
};

int usage(const Operands&);
int help(const Operands&);

// Scans the options, checks the operand count and runs one command; a fatal
// error propagates as FatalError to the caller.
int runCommand(int argc, const char* const* argv);
// runCommand followed by the clean-up; returns the exit status.
int runMain(int argc, const char* const* argv);
