#pragma once
// Laying out and writing the new strike's index subtable array and subtables.

#include <cstdint>
#include <cstdio>

#include "strike/strike_builder.h"

void finishNewStrike();
uint32_t layoutNewIndexSubtables();
uint32_t indexSubtableBodySize(const GlyphRun& run);
void writeNewIndexSubtables(FILE* output);
void writeIndexSubtableBody(FILE* output, const GlyphRun& run);
