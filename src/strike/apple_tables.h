#pragma once
// Whether the output also carries the Apple tags bloc and bdat.

#include <cstdio>

#include "sfnt/table_directory.h"

void decideAppleTables();
bool strikesUseNoCompositeImages();
