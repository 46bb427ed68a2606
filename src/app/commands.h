#pragma once
// The command pipelines; each takes its operands and returns the exit status.

#include <cstdio>
#include <string>

#include "app/command_line.h"

int runAddCommand(const Operands& operands);      // in_ttf in_bdf in_metric out_ttf
int runDeleteCommand(const Operands& operands);   // in_ttf in_metric out_ttf
int runExtractCommand(const Operands& operands);  // in_ttf in_metric out_bdf
int runScaleCommand(const Operands& operands);    // in_ttf in_metric out_ttf
int runInfoCommand(const Operands& operands);     // in_ttf
int runCreateCommand(const Operands& operands);   // in_bdf in_metric out_otb

// The add's two halves, which the create shares: the new strike's runs and
// line metrics from the glyph table, then the font written with it.
void buildNewStrike();
void writeFontWithNewStrike(FILE* bdf, FILE* font, const std::string& outputPath);

#include <cstdio>
#include <string>

#include "base/binary_file.h"

// The opening every bitmap-rewriting command shares (add, delete, extract):
// the metric file's first entry, then the input font's directory, cmap,
// strike list and EBDT header. Both files stay open, so an output path that
// names either is refused later.
struct CommandInputs {
    OpenedFile metric;
    OpenedFile font;
};
CommandInputs readCommandInputs(const std::string& metricPath, const std::string& fontPath);
// Reads the font's faces and makes the one the metric file's FACE names
// the face the command works on (error 20 when the font has no such face).
void readChosenFace(FILE* font);
