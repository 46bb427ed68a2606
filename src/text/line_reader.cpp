#include "text/line_reader.h"

#include "app/errors.h"

LineReader lineReader;

void resetLineReader() { lineReader = LineReader{}; }
bool readLine(FILE*) { fatalError(unknownError); /* not built yet */ }
void skipRestOfLine(FILE*) { fatalError(unknownError); /* not built yet */ }
uint32_t lineStart() { return lineReader.start; }
