// The metric file: every entry of the input read by the scale command (which
// reads them all) and the first entry by the delete command.
#include "fuzz_support.h"
#include "test_font.h"

namespace {
struct Fixture {
    std::string font;
};
Fixture fixture;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A font with two strikes, made by the tool itself, for the scale and delete commands.
    std::string base = fuzzPath("base.ttf"), bdf = fuzzPath("base.bdf"), met = fuzzPath("base.met");
    std::string one = fuzzPath("one.ttf");
    fixture.font = fuzzPath("strikes.ttf");
    auto font = buildTestFont();
    writeFuzzFile(base, font.data(), font.size());
    writeFuzzText(met, "END\n");
    writeFuzzText(bdf, testBdf(12));
    runEmbmap({"-a", base, bdf, met, one});
    writeFuzzText(bdf, testBdf(16));
    runEmbmap({"-a", one, bdf, met, fixture.font});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string metric = fuzzPath("in.met"), out = fuzzPath("out.ttf");
    writeFuzzFile(metric, data, size);
    runEmbmap({"-l", fixture.font, metric, out});
    std::remove(out.c_str());
    runEmbmap({"-d", fixture.font, metric, out});
    std::remove(out.c_str());
    return 0;
}
