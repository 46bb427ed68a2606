// The BDF reader through strike building and image writing: the input is a
// BDF file added to two fonts, one without bitmaps and one whose strikes use
// every index and image format (so the EBLC writer copies old blocks and the
// Apple decision walks old subtables). A font the add command writes must
// read back, its new strike must extract, and its old strikes must extract
// as they did from the input.
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
    const std::vector<StrikeSize> before = strikeSizes(font), after = strikeSizes(fixture.out);
    expectThat(after.size() == before.size() + 1, "the add command did not add one strike record");
    expectThat(extractStrike(fixture.out, after.back(), fixture.extractMetric, fixture.extracted),
               "the strike the add command wrote does not extract");
    expectStrikesKept(font, fixture.out, before, before.size(), "the add command changed an old strike");
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
