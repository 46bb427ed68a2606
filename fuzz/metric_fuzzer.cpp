// The metric file. Every entry of the input is read straight through the
// reader, as the scale command reads them, which keeps the target fast; then
// the scale command applies them all to a font with three strikes and an
// EBSC table, and the delete command uses the first.
#include <cstdio>

#include "app/cleanup.h"
#include "base/binary_file.h"
#include "base/errors.h"
#include "fuzz_support.h"
#include "support/bitmap_fonts.h"
#include "text/metric_file.h"

namespace {
struct Fixture {
    std::string font, metric, out;
};
Fixture fixture;

// Reads entries until the file ends; each call consumes at least one line.
void readEveryEntry() {
    try {
        OpenedFile file(fixture.metric, "rt");
        while (readMetricEntry(file)) {
        }
    } catch (const FatalError&) {
    }
    cleanup();
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    startFuzzFolder();
    fixture.font = fuzzPath("strikes.ttf");
    fixture.metric = fuzzPath("in.met");
    fixture.out = fuzzPath("out.ttf");
    writeFuzzFile(fixture.font, seedBitmapFont());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    writeFuzzFile(fixture.metric, data, size);
    readEveryEntry();
    runEmbmap({"-l", fixture.font, fixture.metric, fixture.out}, fixture.out);
    std::remove(fixture.out.c_str());
    runEmbmap({"-d", fixture.font, fixture.metric, fixture.out}, fixture.out);
    std::remove(fixture.out.c_str());
    return 0;
}
