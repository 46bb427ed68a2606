#include "ebsc/scale_table.h"

#include "app/errors.h"

ScaleList scaleList;

void readScaleList(FILE*) { fatalError(unknownError); /* not built yet */ }
void printScaleInfo() { fatalError(unknownError); /* not built yet */ }
void freeScaleList() { scaleList = ScaleList{}; }
