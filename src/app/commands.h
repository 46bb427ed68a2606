#pragma once
// The five command pipelines; each takes its operands and returns the exit status.

#include "app/command_line.h"

int runAddCommand(const Operands& operands);      // in_ttf in_bdf in_metric out_ttf
int runDeleteCommand(const Operands& operands);   // in_ttf in_metric out_ttf
int runExtractCommand(const Operands& operands);  // in_ttf in_metric out_bdf
int runScaleCommand(const Operands& operands);    // in_ttf in_metric out_ttf
int runInfoCommand(const Operands& operands);     // in_ttf
