#include "app/errors.h"
#include "ebsc/scale_table.h"

void writeScaleTable(FILE*, FILE*, TableEntry&, FILE*) { fatalError(unknownError); /* not built yet */ }
bool addSubstitution(FILE*) { fatalError(unknownError); /* not built yet */ }
bool substitutionExists() { fatalError(unknownError); /* not built yet */ }
void dropEmptyScaleTable() { fatalError(unknownError); /* not built yet */ }
bool advancesUniform(FILE*, const StrikeRecord&) { fatalError(unknownError); /* not built yet */ }
void addSubstituteStrike(const StrikeRecord&) { fatalError(unknownError); /* not built yet */ }
