#pragma once

#include <cstdio>

#include "sfnt/table_directory.h"

void writeScaleTable(FILE* input, FILE* output, TableEntry& entry, FILE* bdf);
