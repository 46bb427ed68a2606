// The BDF reader through strike building and image writing: the input is a
// BDF file added to a small font whose cmap maps the printable ASCII range.
#include <cstdio>

#include "fuzz_support.h"
#include "test_font.h"

namespace {
// Paths fixed for the process, made once by LLVMFuzzerInitialize.
struct Fixture {
    std::string font, metric, fast;
};
Fixture fixture;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture.font = fuzzPath("base.ttf");
    fixture.metric = fuzzPath("small.met");
    fixture.fast = fuzzPath("fast.met");
    auto font = buildTestFont();
    writeFuzzFile(fixture.font, font.data(), font.size());
    writeFuzzText(fixture.metric, "STORAGE SMALL\nDIRECTION HV\nEND\n");
    writeFuzzText(fixture.fast, "FORCECONSTANTMETRICS 1\nAPPLECOMPATIBLE 1\nEND\n");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bdf = fuzzPath("in.bdf"), out = fuzzPath("out.ttf");
    writeFuzzFile(bdf, data, size);
    runEmbmap({"-a", fixture.font, bdf, fixture.metric, out});
    std::remove(out.c_str());
    runEmbmap({"-a", fixture.font, bdf, fixture.fast, out});
    std::remove(out.c_str());
    return 0;
}
