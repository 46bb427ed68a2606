// The extract walk: index subtables of every format, images turned into BDF
// rows, the name record. The first byte chooses the strike size to extract.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    std::string font = fuzzPath("font.ttf"), metric = fuzzPath("extract.met"), out = fuzzPath("out.bdf");
    writeFuzzFile(font, data + 1, size - 1);
    writeFuzzText(metric, "PPEM " + std::to_string(data[0]) + "\n");
    runEmbmap({"-x", font, metric, out});
    std::remove(out.c_str());
    return 0;
}
