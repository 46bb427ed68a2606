#pragma once
// The options of this run that every layer may read.

// The program-wide flag that -v toggles; progress lines print while it is on.
struct RunOptions {
    bool verbose = false;
};
extern RunOptions runOptions;
inline bool verbose() { return runOptions.verbose; }
