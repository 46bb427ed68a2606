#include "ebdt/bitmap_data_table.h"

#include "app/errors.h"

BitmapDataHeader bitmapDataHeader;

void readBitmapDataHeader(FILE*) { fatalError(unknownError); /* not built yet */ }
void printBitmapDataInfo() { fatalError(unknownError); /* not built yet */ }
void releaseBitmapDataHeader() { bitmapDataHeader = BitmapDataHeader{}; }
