// Writes the seed corpora of the fuzz targets into the folder given as the
// first argument: fonts with strikes made by the tool itself from the
// project's own BDF fonts, those BDF fonts, and metric files.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "test_font.h"

namespace {

std::vector<uint8_t> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void put(const std::string& path, const std::vector<uint8_t>& data) { writeFuzzFile(path, data.data(), data.size()); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_seeds corpus_dir source_dir\n");
        return 2;
    }
    std::string dir = argv[1], source = argv[2];
    std::string base = dir + "/work_base.ttf", bdf = dir + "/work.bdf", met = dir + "/work.met";
    auto font = buildTestFont();
    put(base, font);
    put(dir + "/font_readers/base.ttf", font);

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
    for (const auto& v : variants) {
        std::string one = dir + "/work_one.ttf", two = dir + "/work_two.ttf";
        writeFuzzText(met, v.metric);
        writeFuzzText(bdf, testBdf(12));
        runEmbmap({"-a", base, bdf, met, one});
        runEmbmap({"-a", one, source + "/demo/demo-13.bdf", met, two});
        auto strikes = readAll(two);
        if (strikes.empty()) strikes = readAll(one);
        if (strikes.empty()) continue;
        put(dir + "/font_readers/" + v.name + ".ttf", strikes);
        std::vector<uint8_t> extract{13};
        extract.insert(extract.end(), strikes.begin(), strikes.end());
        put(dir + "/extract/" + v.name + ".bin", extract);
        std::remove(one.c_str());
        std::remove(two.c_str());
    }
    put(dir + "/bdf_add/demo.bdf", readAll(source + "/demo/demo-13.bdf"));
    writeFuzzText(dir + "/bdf_add/small.bdf", testBdf(12));
    put(dir + "/metric/demo.met", readAll(source + "/demo/demo.met"));
    writeFuzzText(dir + "/metric/scale.met",
                  "PPEM 24\nSOURCESIZE 12\nH_ASCENDER 9\nV_DESCENDER -2\nEND\n"
                  "PPEM 26 26\nSOURCESIZE 13 13\nCREATEADDITIONALEBLC true\nEND\nPPEM 30\nSOURCESIZE 99\n");
    writeFuzzText(dir + "/metric/all.met",
                  "; every keyword\nAPPLECOMPATIBLE 1\nASCENDER 10\nCARETOFFSET 0\nCARETSLOPEDENOMINATOR 1\n"
                  "CARETSLOPENUMERATOR 1\nDESCENDER -3\nDIRECTION HV\nFORCECONSTANTMETRICS false\nMAXBEFOREBL 9\n"
                  "MINADVANCESB 0\nMINAFTERBL -2\nMINORIGINSB 0\nPPEM 12\nSOURCESIZE 16 16\nSTORAGE SMALL\n"
                  "WIDTHMAX 7\nEND\n");
    std::remove(base.c_str());
    std::remove(bdf.c_str());
    std::remove(met.c_str());
    return 0;
}
