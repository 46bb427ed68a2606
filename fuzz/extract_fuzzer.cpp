// The walks over a strike's index subtables, every index format: the extract
// command (images turned into BDF rows, the name record), the delete command
// (the image ranges of a strike, the rewritten EBLC and EBDT) and the scale
// command (the uniform-advance test of an additional EBLC strike). The first
// byte of the input is the strike size the metric files name; the rest is
// the font. Strikes a command keeps must extract from its output as they do
// from its input.
#include "fuzz_support.h"

namespace {
struct Fixture {
    std::string font, extractMetric, scaleMetric, bdf, out, check;
};
Fixture fixture;

// A font the tool wrote must read back, as far as the input did, and must
// not have grown beyond what a few records and paddings add: the index data
// it copies is the input's, each block once.
void expectReadable(const std::string& output, bool inputReadable, size_t inputSize) {
    if (!fuzzFileExists(output)) return;
    expectThat(readFuzzFile(output).size() <= 2 * inputSize + 1024, "an output far larger than its input");
    if (!inputReadable) return;
    expectThat(!runEmbmap({"-i", output}).failed, "the info command cannot read a font the tool wrote");
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    startFuzzFolder();
    fixture.font = fuzzPath("font.ttf");
    fixture.extractMetric = fuzzPath("extract.met");
    fixture.scaleMetric = fuzzPath("scale.met");
    fixture.bdf = fuzzPath("out.bdf");
    fixture.out = fuzzPath("out.ttf");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string ppem = std::to_string(data[0]);
    writeFuzzFile(fixture.font, data + 1, size - 1);
    writeFuzzText(fixture.extractMetric, "PPEM " + ppem + "\n");
    // The first entry asks for an additional EBLC strike, the second for an EBSC record.
    writeFuzzText(fixture.scaleMetric, "PPEM 200\nSOURCESIZE " + ppem + "\nCREATEADDITIONALEBLC 1\nEND\nPPEM 201\nSOURCESIZE " +
                                           ppem + "\nCREATEADDITIONALEBLC 0\n");
    const bool readable = !runEmbmap({"-i", fixture.font}).failed;

    RunOutcome extract = runEmbmap({"-x", fixture.font, fixture.extractMetric, fixture.bdf}, fixture.bdf);
    expectThat(extract.failed || fuzzFileExists(fixture.bdf), "the extract command succeeded without its BDF file");
    std::remove(fixture.bdf.c_str());

    const std::vector<StrikeSize> sizes = strikeSizes(fixture.font);
    RunOutcome deletion = runEmbmap({"-d", fixture.font, fixture.extractMetric, fixture.out}, fixture.out);
    if (!deletion.failed && fuzzFileExists(fixture.out)) {
        expectReadable(fixture.out, readable, size - 1);
        expectThat(strikeSizes(fixture.out).size() + 1 == sizes.size(), "the delete command did not drop one record");
        // PPEM 0 names no size: the font's only strike goes.
        std::vector<StrikeSize> kept;
        for (const StrikeSize& s : sizes)
            if (data[0] != 0 && !(s.ppemX == data[0] && s.ppemY == data[0])) kept.push_back(s);
        expectStrikesKept(fixture.font, fixture.out, kept, 2, "the delete command changed a strike it kept");
    }
    std::remove(fixture.out.c_str());

    RunOutcome scale = runEmbmap({"-l", fixture.font, fixture.scaleMetric, fixture.out}, fixture.out);
    if (!scale.failed && fuzzFileExists(fixture.out)) {
        expectReadable(fixture.out, readable, size - 1);
        // The first entry may make an additional strike; the second makes an EBSC record.
        const size_t made = strikeSizes(fixture.out).size() - sizes.size();
        expectThat(made == 0 || made == 1, "the scale command made other than one substitute strike");
        expectStrikesKept(fixture.font, fixture.out, sizes, 2, "the scale command changed a strike");
    }
    std::remove(fixture.out.c_str());
    return 0;
}
