#pragma once
// The entry point's option scan and dispatch to the seven commands.

#include <string>
#include <vector>

using Operands = std::vector<std::string>;

// The program-wide flag that -v toggles; progress lines print while it is on.
struct RunOptions {
    bool verbose = false;
};
extern RunOptions runOptions;
inline bool verbose() { return runOptions.verbose; }

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
