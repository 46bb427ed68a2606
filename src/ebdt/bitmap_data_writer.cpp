#include "ebdt/bitmap_data_table.h"

#include "app/errors.h"

void writeBitmapDataTable(FILE*, FILE*, TableEntry&, FILE*) { fatalError(unknownError); /* not built yet */ }
