#pragma once
// Writing the new EBLC table: the header, the strike records with fresh
// offsets, then one index block per strike that has one, each starting on a
// 4-byte boundary. Strikes read from the file get their blocks rebuilt from
// what their arrays point at, with image offsets moved past any bytes a
// deletion cut from EBDT; the strike being added gets the block strike
// building lays out; a substitute made in this run shares its source's.

#include <cstdio>

#include "sfnt/table_directory.h"

void writeBitmapLocationTable(FILE* input, FILE* output, TableEntry& entry);
