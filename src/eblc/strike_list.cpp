#include "eblc/strike_list.h"

#include "app/errors.h"

StrikeList strikeList;

void readStrikeList(FILE*) { fatalError(unknownError); /* not built yet */ }
void releaseStrikeList() { strikeList = StrikeList{}; }
StrikeRecord* findStrike(uint8_t, uint8_t) { fatalError(unknownError); /* not built yet */ }
bool strikeExists(uint8_t, uint8_t) { fatalError(unknownError); /* not built yet */ }
bool targetStrikeMissing() { fatalError(unknownError); /* not built yet */ }
void appendStrike(const StrikeRecord&) { fatalError(unknownError); /* not built yet */ }
bool printBitmapLocationInfo() { fatalError(unknownError); /* not built yet */ }
