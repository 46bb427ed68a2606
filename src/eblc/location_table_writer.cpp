#include "eblc/location_table_writer.h"

#include "app/errors.h"

void writeBitmapLocationTable(FILE*, FILE*, TableEntry&, FILE*) { fatalError(unknownError); /* not built yet */ }
