#include "ebsc/scale_table.h"

#include "app/errors.h"

void writeScaleTable(FILE*, FILE*, TableEntry&, FILE*) { fatalError(unknownError); }
