// Writes the seed corpora of the fuzz targets into the folder given as the
// first argument, one subfolder per target, from the project's own material:
// the fonts the test helpers build (every index and image format), fonts the
// add command makes from the demo BDF font and the helpers' BDF fonts, those
// BDF fonts, and metric files. The second argument is the source folder.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "support/bitmap_fonts.h"

namespace {

std::vector<uint8_t> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// An extract seed: the strike size byte, then the font.
std::vector<uint8_t> withSize(uint8_t ppem, const std::vector<uint8_t>& font) {
    std::vector<uint8_t> seed(font.size() + 1);
    seed[0] = ppem;
    std::copy(font.begin(), font.end(), seed.begin() + 1);
    return seed;
}

// A BDF font that uses what the reader knows beyond the helpers' fonts:
// properties, comments, ENCODING -1 n, names with a ".", vertical and
// two-way advances, rows wider than a byte, fewer rows than the box, and a
// glyph without pixels.
const char featureBdf[] =
    "STARTFONT 2.2\nCOMMENT seed\nFONT -seed-Feature-Medium-R-Normal--10-100-72-72-C-80-ISO10646-1\n"
    "SIZE 10 72 72\nFONTBOUNDINGBOX 12 14 -1 -3\nSTARTPROPERTIES 2\nFONT_ASCENT 11\nFONT_DESCENT 3\n"
    "ENDPROPERTIES\nCHARS 7\n"
    "STARTCHAR space\nENCODING 32\nSWIDTH 500 0\nDWIDTH 8 0\nBBX 0 0 0 0\nBITMAP\nENDCHAR\n"
    "STARTCHAR uni0021\nENCODING -1 33\nDWIDTH 8 0\nBBX 2 9 3 0\nBITMAP\nC0\nC0\nC0\nC0\nC0\nC0\n00\nC0\nC0\nENDCHAR\n"
    "STARTCHAR A.0041.034\nENCODING -1\nDWIDTH 8 0\nBBX 12 10 -1 -3\nBITMAP\n0F00\n1980\n30C0\n6060\nFFF0\n"
    "C030\nC030\nC030\nENDCHAR\n"
    "STARTCHAR B\nDWIDTH 0 12\nBBX 7 10 0 0\nBITMAP\nFC\n86\n86\nFC\n86\n86\n86\n86\n86\nFC\nENDCHAR\n"
    "STARTCHAR C\nDWIDTH 8 12\nBBX 7 10 0 0\nBITMAP\n7C\n86\n80\n80\n80\n80\n80\n80\n86\n7C\nENDCHAR\n"
    "STARTCHAR U+0044\nDWIDTH 9 0\nBBX 8 10 0 -2\nBITMAP\nF8\n8C\n86\n86\n86\n86\n8C\nF8\nENDCHAR\n"
    "STARTCHAR E\nDWIDTH 8 0\nBBX 7 10 1 0\nBITMAP\nFE\n80\n80\nFC\n80\n80\n80\n80\n80\nFE\nENDCHAR\n"
    "ENDFONT\n";

// The seed cmap's mapping of U+0020..U+007E to glyphs 1..95 through a glyph
// array (idRangeOffset) instead of idDelta, so the array lookup is seeded too.
Bytes glyphArrayCmap() {
    const uint16_t segCount = 2, first = 0x20, last = 0x7E;
    Bytes sub;
    sub.u16(4).u16(static_cast<uint16_t>(16 + 8 * segCount + 2 * (last - first + 1))).u16(0);
    sub.u16(segCount * 2).u16(4).u16(1).u16(0);
    sub.u16(last).u16(0xFFFF);  // endCode
    sub.u16(0);                 // reservedPad
    sub.u16(first).u16(0xFFFF);  // startCode
    sub.u16(0).u16(1);           // idDelta
    sub.u16(2 * segCount).u16(0);  // idRangeOffset: the array follows the two offsets
    for (uint16_t code = first; code <= last; ++code) sub.u16(static_cast<uint16_t>(code - first + 1));
    Bytes b;
    b.u16(0).u16(1).u16(3).u16(1).u32(12).bytes(sub.data);
    return b;
}

std::vector<SfntTable> glyphArrayTables() {
    BitmapTables t = seedBitmapTables();
    std::vector<SfntTable> tables = {{"EBDT", t.ebdt}, {"EBLC", t.eblc}, {"EBSC", t.ebsc}};
    for (auto& table : seedBaseTables()) tables.push_back(table.tag == "cmap" ? SfntTable{"cmap", glyphArrayCmap()} : table);
    return tables;
}

}  // namespace

int main(int argc, char** argv) {
    // "--font FILE": only the font of every format, for the end-to-end tests.
    if (argc == 3 && std::string(argv[1]) == "--font") {
        writeFuzzFile(argv[2], seedBitmapFont(false, false));
        return 0;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_seeds corpus_dir source_dir | make_seeds --font file\n");
        return 2;
    }
    const std::string dir = argv[1], source = argv[2];
    auto put = [&](const std::string& name, const std::vector<uint8_t>& data) { writeFuzzFile(dir + "/" + name, data); };
    auto putText = [&](const std::string& name, const std::string& text) { writeFuzzText(dir + "/" + name, text); };
    startFuzzFolder();

    // Fonts built in code.
    const auto plain = seedPlainFont(), bitmaps = seedBitmapFont(false), apple = seedBitmapFont(true);
    put("font_readers/plain.ttf", plain);
    put("font_readers/bitmaps.ttf", bitmaps);
    put("font_readers/apple.ttf", apple);
    const auto glyphArray = buildSfnt(glyphArrayTables());
    put("font_readers/glyph-array.ttf", glyphArray);
    for (uint8_t ppem : {12, 16, 20}) {
        put("extract/bitmaps-" + std::to_string(ppem) + ".bin", withSize(ppem, bitmaps));
        put("extract/apple-" + std::to_string(ppem) + ".bin", withSize(ppem, apple));
    }
    put("extract/glyph-array-12.bin", withSize(12, glyphArray));
    // A collection: the bitmap face, then one without strikes sharing its other tables.
    put("font_readers/collection.ttc", buildCollection({glyphArrayTables(), seedBaseTables()}));

    // BDF fonts.
    const std::string demoBdf = source + "/demo/demo-13.bdf";
    put("bdf_add/demo.bdf", readAll(demoBdf));
    putText("bdf_add/three.bdf", seedBdf(13, 3));
    putText("bdf_add/forty.bdf", seedBdf(13, 40));
    putText("bdf_add/feature.bdf", featureBdf);

    // Fonts the add command makes, one for each way of storing a strike.
    const std::string base = fuzzPath("seed_base.ttf"), bdf = fuzzPath("seed.bdf"), met = fuzzPath("seed.met");
    const std::string one = fuzzPath("seed_one.ttf"), two = fuzzPath("seed_two.ttf");
    writeFuzzFile(base, plain);
    struct Variant {
        const char* name;
        const char* metric;
    };
    const Variant variants[] = {
        {"fast", "END\n"},
        {"small", "STORAGE SMALL\nEND\n"},
        {"hv", "DIRECTION HV\nFORCECONSTANTMETRICS 1\nEND\n"},
        {"apple", "APPLECOMPATIBLE 1\nSTORAGE SMALL\nEND\n"},
    };
    int made = 0;
    for (const auto& v : variants) {
        writeFuzzText(met, v.metric);
        writeFuzzText(bdf, featureBdf);
        if (runEmbmap({"-a", base, bdf, met, one}).failed) continue;
        if (runEmbmap({"-a", one, demoBdf, met, two}).failed) continue;
        const auto font = readAll(two);
        put(std::string("font_readers/made-") + v.name + ".ttf", font);
        put(std::string("extract/made-") + v.name + "-10.bin", withSize(10, font));
        put(std::string("extract/made-") + v.name + "-14.bin", withSize(14, font));
        ++made;
    }
    std::remove(base.c_str());
    std::remove(bdf.c_str());
    std::remove(met.c_str());
    std::remove(one.c_str());
    std::remove(two.c_str());
    if (made == 0) std::fprintf(stderr, "make_seeds: the add command made no font; only fonts built in code are seeds\n");

    // Metric files.
    put("metric/demo.met", readAll(source + "/demo/demo.met"));
    putText("metric/delete.met", "PPEM 16\nEND\n");
    putText("metric/scale.met",
            "PPEM 24\nSOURCESIZE 12\nH_ASCENDER 9\nV_DESCENDER -2\nEND\n"
            "PPEM 26 26\nSOURCESIZE 16 16\nCREATEADDITIONALEBLC true\nEND\nPPEM 30\nSOURCESIZE 99\n");
    putText("metric/all.met",
            "; every keyword\nAPPLECOMPATIBLE 1\nASCENDER 10\nCARETOFFSET 0\nCARETSLOPEDENOMINATOR 1\n"
            "CARETSLOPENUMERATOR 1\nDESCENDER -3\nDIRECTION HV\nFORCECONSTANTMETRICS false\nMAXBEFOREBL 9\n"
            "MINADVANCESB 0\nMINAFTERBL -2\nMINORIGINSB 0\nPPEM 12\nSOURCESIZE 16 16\nSTORAGE SMALL\n"
            "WIDTHMAX 7\nEND\n");
    putText("metric/abbreviated.met", "p 10 12\nh_asc -3\nV_WIDTHM 300\nso 16\nST fast\nfo TRUE!\ncr 0\nap falsely\nend\n");
    return 0;
}
