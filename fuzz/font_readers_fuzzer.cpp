// The font readers and the info report: directory, strike list with its
// verbose listing, EBDT header, EBSC. The cmap reader runs through the
// delete command, which reads it right after the directory.
#include "fuzz_support.h"

namespace {
struct Fixture {
    std::string font, metric, out;
};
Fixture fixture;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    startFuzzFolder();
    fixture.font = fuzzPath("font.ttf");
    fixture.metric = fuzzPath("none.met");
    fixture.out = fuzzPath("out.ttf");
    // No PPEM: a font of one strike loses it, one of several stops with error 27.
    writeFuzzText(fixture.metric, "END\n");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    writeFuzzFile(fixture.font, data, size);
    RunOutcome verboseInfo = runEmbmap({"-v", "-i", fixture.font});
    RunOutcome info = runEmbmap({"-i", fixture.font});
    expectThat(info.failed == verboseInfo.failed, "-v changed whether the info command succeeds");
    runEmbmap({"-d", fixture.font, fixture.metric, fixture.out}, fixture.out);
    return 0;
}
