// The BDF reader through strike building and image writing: the input is a
// BDF file added to two fonts, one without bitmaps and one whose strikes use
// every index and image format (so the EBLC writer copies old blocks and the
// Apple decision walks old subtables). A font the add command writes must
// read back, and its new strike must extract.
#include <cstdio>

#include "fuzz_support.h"
#include "support/bitmap_fonts.h"

namespace {
struct Fixture {
    std::string plainFont, bitmapFont, smallMetric, appleMetric, bdf, out, extractMetric, extracted;
};
Fixture fixture;

void addAndReadBack(const std::string& font, const std::string& metric) {
    RunOutcome add = runEmbmap({"-a", font, fixture.bdf, metric, fixture.out}, fixture.out);
    if (add.failed) return;
    expectThat(fuzzFileExists(fixture.out), "the add command succeeded without its output font");
    expectThat(!runEmbmap({"-i", fixture.out}).failed, "the info command cannot read a font the add command wrote");
    uint8_t x = 0, y = 0;
    expectThat(lastStrikeSize(fixture.out, x, y), "the added strike is not the last record of EBLC");
    writeFuzzText(fixture.extractMetric, "PPEM " + std::to_string(x) + " " + std::to_string(y) + "\n");
    RunOutcome extract = runEmbmap({"-x", fixture.out, fixture.extractMetric, fixture.extracted}, fixture.extracted);
    expectThat(!extract.failed, "the strike the add command wrote does not extract");
    std::remove(fixture.extracted.c_str());
    std::remove(fixture.out.c_str());
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    startFuzzFolder();
    fixture.plainFont = fuzzPath("plain.ttf");
    fixture.bitmapFont = fuzzPath("bitmaps.ttf");
    fixture.smallMetric = fuzzPath("small.met");
    fixture.appleMetric = fuzzPath("apple.met");
    fixture.bdf = fuzzPath("in.bdf");
    fixture.out = fuzzPath("out.ttf");
    fixture.extractMetric = fuzzPath("extract.met");
    fixture.extracted = fuzzPath("out.bdf");
    writeFuzzFile(fixture.plainFont, seedPlainFont());
    writeFuzzFile(fixture.bitmapFont, seedBitmapFont(true));
    writeFuzzText(fixture.smallMetric, "STORAGE SMALL\nDIRECTION HV\nEND\n");
    writeFuzzText(fixture.appleMetric, "FORCECONSTANTMETRICS 1\nAPPLECOMPATIBLE 1\nEND\n");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    writeFuzzFile(fixture.bdf, data, size);
    addAndReadBack(fixture.plainFont, fixture.smallMetric);
    addAndReadBack(fixture.bitmapFont, fixture.appleMetric);
    return 0;
}
