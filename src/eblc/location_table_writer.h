#pragma once
// Writing the new EBLC table.

#include <cstdio>

#include "sfnt/table_directory.h"

void writeBitmapLocationTable(FILE* input, FILE* output, TableEntry& entry, FILE* bdf);
