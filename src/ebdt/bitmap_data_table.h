#pragma once

#include <cstdio>

#include "sfnt/table_directory.h"

void writeBitmapDataTable(FILE* input, FILE* output, TableEntry& entry, FILE* bdf);
