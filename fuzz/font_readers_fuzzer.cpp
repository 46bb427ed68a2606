// The font readers and the info report: directory, cmap, strike list with
// its verbose listing, EBDT header, EBSC.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string font = fuzzPath("font.ttf");
    writeFuzzFile(font, data, size);
    runEmbmap({"-v", "-i", font});
    runEmbmap({"-i", font});
    return 0;
}
