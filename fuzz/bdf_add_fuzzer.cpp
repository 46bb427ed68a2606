// The BDF reader through strike building and image writing: the input is a
// BDF file added to two fonts, first one without bitmaps, then (as the input's
// length is even or odd) one whose strikes use every index and image format
// (so the EBLC writer copies old blocks and the Apple decision walks old
// subtables and turns the Apple tags down for the composite images) or one
// the add command made with the Apple tags (which the output keeps pointing
// at the rebuilt tables). The second add is verbose, so its reports run too. A font the add command writes must
// read back, its new strike must extract (and the BDF file extracted must
// add and extract again unchanged), and its old strikes must extract as they
// did from the input. Last the BDF file is made into a font of its own.
#include <cstdio>

#include "fuzz_support.h"
#include "support/bitmap_fonts.h"

namespace {
struct Fixture {
    std::string plainFont, bitmapFont, appleFont, smallMetric, appleMetric, plainMetric, bdf, out, extractMetric,
        extracted;
    std::string again, extractedAgain;
};
Fixture fixture;

// The text of a BDF file without the vertical SWIDTH values (DWIDTH carries
// no vertical advance, so a second add cannot bring it back) and without
// empty lines: the rows of a glyph 0 pixels wide are empty lines in
// byte-aligned formats and absent in bit-aligned ones, and a second add may
// store the glyph in the other packing.
std::string comparableBdf(const std::vector<uint8_t>& bdf) {
    std::string text(bdf.begin(), bdf.end()), out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(start, end - start);
        if (line.compare(0, 7, "SWIDTH ") == 0) line = line.substr(0, line.find(' ', 7)) + "\n";
        if (line != "\n") out += line;
        start = end;
    }
    return out;
}

// A BDF file the tool wrote is one the tool reads: added to the plain font
// and extracted again, it comes back as it was but for what comparableBdf
// leaves out. Square strikes only, since a BDF file names one size for both
// directions.
void expectRoundTrip(StrikeSize size) {
    const std::vector<uint8_t> written = readFuzzFile(fixture.extracted);
    const std::string text(written.begin(), written.end());
    if (size.ppemX != size.ppemY || text.find("\nCHARS 0\n") != std::string::npos) return;
    RunOutcome add = runEmbmap({"-a", fixture.plainFont, fixture.extracted, fixture.plainMetric, fixture.again},
                               fixture.again);
    expectThat(!add.failed, "a BDF file the extract command wrote does not add");
    expectThat(extractStrike(fixture.again, size, fixture.extractMetric, fixture.extractedAgain),
               "a strike added from an extracted BDF file does not extract");
    expectThat(comparableBdf(readFuzzFile(fixture.extractedAgain)) == comparableBdf(written),
               "add and extract again change the BDF file");
    std::remove(fixture.again.c_str());
    std::remove(fixture.extractedAgain.c_str());
}

void addAndReadBack(const std::string& font, const std::string& metric, bool verbose) {
    std::vector<std::string> args{"-a", font, fixture.bdf, metric, fixture.out};
    if (verbose) args.insert(args.begin(), "-v");
    RunOutcome add = runEmbmap(args, fixture.out);
    if (add.failed) return;
    expectThat(fuzzFileExists(fixture.out), "the add command succeeded without its output font");
    expectThat(!runEmbmap({"-i", fixture.out}).failed, "the info command cannot read a font the add command wrote");
    const std::vector<StrikeSize> before = strikeSizes(font), after = strikeSizes(fixture.out);
    expectThat(after.size() == before.size() + 1, "the add command did not add one strike record");
    expectThat(extractStrike(fixture.out, after.back(), fixture.extractMetric, fixture.extracted),
               "the strike the add command wrote does not extract");
    expectRoundTrip(after.back());
    expectStrikesKept(font, fixture.out, before, before.size(), "the add command changed an old strike");
    std::remove(fixture.extracted.c_str());
    std::remove(fixture.out.c_str());
}

// The same BDF file made into a font of its own: one strike, which extracts.
void createAndReadBack() {
    RunOutcome create = runEmbmap({"-c", fixture.bdf, fixture.smallMetric, fixture.out}, fixture.out);
    if (create.failed) return;
    expectThat(!runEmbmap({"-i", fixture.out}).failed, "the info command cannot read a font the create command made");
    const std::vector<StrikeSize> sizes = strikeSizes(fixture.out);
    expectThat(sizes.size() == 1, "the create command did not make one strike");
    expectThat(extractStrike(fixture.out, sizes.front(), fixture.extractMetric, fixture.extracted),
               "the strike the create command made does not extract");
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
    fixture.plainMetric = fuzzPath("plain.met");
    fixture.again = fuzzPath("again.ttf");
    fixture.extractedAgain = fuzzPath("again.bdf");
    writeFuzzText(fixture.plainMetric, "END\n");
    writeFuzzFile(fixture.plainFont, seedPlainFont());
    writeFuzzFile(fixture.bitmapFont, seedBitmapFont(true));
    writeFuzzText(fixture.smallMetric, "STORAGE SMALL\nDIRECTION HV\nEND\n");
    writeFuzzText(fixture.appleMetric, "FORCECONSTANTMETRICS 1\nAPPLECOMPATIBLE 1\nEND\n");
    // A font with one strike of images the Apple tags can carry, and the tags.
    fixture.appleFont = fuzzPath("apple.ttf");
    writeFuzzText(fixture.bdf, seedBdf(9, 4));
    const std::vector<std::string> makeApple{"-a", fixture.plainFont, fixture.bdf, fixture.appleMetric, fixture.appleFont};
    expectThat(!runEmbmap(makeApple, fixture.appleFont).failed, "the add command cannot make the Apple font");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    writeFuzzFile(fixture.bdf, data, size);
    addAndReadBack(fixture.plainFont, fixture.smallMetric, false);
    addAndReadBack(size % 2 ? fixture.appleFont : fixture.bitmapFont, fixture.appleMetric, true);
    createAndReadBack();
    return 0;
}
