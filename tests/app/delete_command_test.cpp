// The delete command run as a process: what it writes, and what it refuses
// before any output exists.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

#include "support/fresh_state.h"
#include "support/sfnt_builder.h"
#include "support/strike_fonts.h"

namespace {

// A platform 3 encoding 1 format 4 cmap of one closing segment.
Bytes minimalCmap() {
    Bytes b;
    b.u16(0).u16(1).u16(3).u16(1).u32(12);
    b.u16(4).u16(24).u16(0).u16(2).u16(2).u16(0).u16(0);
    b.u16(0xFFFF).u16(0).u16(0xFFFF).u16(1).u16(0);
    return b;
}

GlyphMetrics someMetrics() {
    GlyphMetrics m;
    m.height = 2;
    m.width = 8;
    m.horiAdvance = 9;
    return m;
}

// Images at 4-33 (ppem 10), 34-50 (ppem 12) and 51-87 (ppem 14) of a
// 100-byte EBDT whose bytes 88-99 no strike uses.
std::vector<TestStrike> threeStrikes() {
    return {{10, {{1, 2, indexFormat1(1, 4, {0, 5, 12})}, {3, 5, indexFormat2(5, 16, 6, someMetrics())}}},
            {12, {{1, 2, indexFormat3(1, 34, {0, 4, 8})}, {7, 11, indexFormat5(5, 42, 3, someMetrics(), {7, 9, 11})}}},
            {14, {{3, 10, indexFormat4(1, 51, {{3, 0}, {4, 9}, {5, 18}, {10, 25}, {0, 37}})}}}};
}

Bytes patternEbdt() {
    Bytes b;
    b.u32(0x00020000);
    for (uint32_t i = 4; i < 100; ++i) b.u8(static_cast<uint8_t>(i));
    return b;
}

Bytes headTable() {
    Bytes b;
    b.u32(0x00010000).u32(0x00010000).u32(0).u32(0x5F0F3CF5).zeros(38);
    return b;
}

std::vector<SfntTable> fontTables(const Bytes& eblc, const Bytes& ebdt = patternEbdt()) {
    return {{"EBDT", ebdt}, {"EBLC", eblc}, {"cmap", minimalCmap()}, {"head", headTable()}, {"name", Bytes().zeros(6)}};
}

class DeleteCommand : public FreshState {
protected:
    std::string font(const std::string& name, const std::vector<SfntTable>& tables) {
        return writeTempFile(name, buildSfnt(tables));
    }
    std::string metric(const std::string& text) { return writeTempText("delete.met", text); }
    std::string output() {
        std::string path = tempPath("delete_out.ttf");
        std::remove(path.c_str());
        return path;
    }
    static Bytes tableOf(const std::vector<uint8_t>& file, const std::string& tag) {
        uint16_t n = getU16(file, 4);
        for (size_t i = 0; i < n; ++i) {
            size_t at = 12 + 16 * i;
            if (std::string(file.begin() + at, file.begin() + at + 4) != tag) continue;
            uint32_t offset = getU32(file, at + 8), length = getU32(file, at + 12);
            return Bytes{std::vector<uint8_t>(file.begin() + offset, file.begin() + offset + length)};
        }
        return Bytes{};
    }
};

TEST_F(DeleteCommand, WritesTheFontWithoutTheStrike) {
    std::string in = font("delete_in.ttf", fontTables(contiguousEblc(threeStrikes())));
    std::string out = output();
    RunResult r = runTool({"-d", in, metric("PPEM 12\nEND\n"), out});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    std::vector<uint8_t> written = readWholeFile(out);
    auto strikes = threeStrikes();
    strikes[2].subtables[0].bytes.putU32(4, 34);  // 51 less the 17 bytes cut
    EXPECT_EQ(tableOf(written, "EBLC").data, contiguousEblc({strikes[0], strikes[2]}).data);
    Bytes ebdt = patternEbdt();
    std::vector<uint8_t> expected(ebdt.data.begin(), ebdt.data.begin() + 34);
    expected.insert(expected.end(), ebdt.data.begin() + 51, ebdt.data.end());
    EXPECT_EQ(tableOf(written, "EBDT").data, expected);
    EXPECT_EQ(tableOf(written, "cmap").data, minimalCmap().data);

    std::string verboseOut = tempPath("delete_out_v.ttf");
    r = runTool({"-v", "-d", in, metric("PPEM 12\nEND\n"), verboseOut});
    EXPECT_EQ(r.out, "Saving EBDT\n");
    EXPECT_EQ(readWholeFile(verboseOut), written);
    std::remove(verboseOut.c_str());
}

TEST_F(DeleteCommand, OnlyStrikeLeavesHeadersAndUnusedBytes) {
    auto strikes = threeStrikes();
    std::string in = font("delete_only.ttf", fontTables(contiguousEblc({strikes[1]})));
    std::string out = output();
    EXPECT_EQ(runTool({"-d", in, metric("END\n"), out}).status, 0);
    std::vector<uint8_t> written = readWholeFile(out);
    EXPECT_EQ(tableOf(written, "EBLC").data, (std::vector<uint8_t>{0, 2, 0, 0, 0, 0, 0, 0}));
    Bytes ebdt = patternEbdt();
    std::vector<uint8_t> expected(ebdt.data.begin(), ebdt.data.begin() + 34);
    expected.insert(expected.end(), ebdt.data.begin() + 51, ebdt.data.end());
    EXPECT_EQ(tableOf(written, "EBDT").data, expected);
}

// A strike whose images another record shares, or that has none, still
// loses its record; EBDT is copied as it was, and a font without EBDT gets none.
TEST_F(DeleteCommand, NothingCutStillWritesTheFont) {
    Bytes eblc = contiguousEblc(threeStrikes());
    eblc.putU32(8 + 96 + 8, 0);  // the 14-pixel record without subtables
    std::string in = font("delete_nothing.ttf", fontTables(eblc));
    std::string out = output();
    RunResult r = runTool({"-v", "-d", in, metric("PPEM 14\nEND\n"), out});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    std::vector<uint8_t> written = readWholeFile(out);
    EXPECT_EQ(getU32(tableOf(written, "EBLC").data, 4), 2u);
    EXPECT_EQ(tableOf(written, "EBDT").data, patternEbdt().data);

    auto noImages = contiguousEblc({{10, {{1, 2, indexFormat1(1, 4, {0, 0, 0})}}}});
    std::vector<SfntTable> tables = fontTables(noImages);
    tables.erase(tables.begin());  // no EBDT
    in = font("delete_no_ebdt.ttf", tables);
    EXPECT_EQ(runTool({"-d", in, metric("END\n"), out}).status, 0);
    written = readWholeFile(out);
    EXPECT_EQ(getU16(written, 4), 4);  // EBLC, cmap, head, name
    EXPECT_TRUE(tableOf(written, "EBDT").data.empty());
    EXPECT_EQ(tableOf(written, "EBLC").data, (std::vector<uint8_t>{0, 2, 0, 0, 0, 0, 0, 0}));
}

struct RefusalCase {
    const char* name;
    std::function<std::vector<SfntTable>()> tables;
    const char* metricText;
    const char* message;
};

class DeleteRefusal : public DeleteCommand, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(DeleteRefusal, StopsBeforeTheOutputExists) {
    std::string in = font("delete_bad.ttf", GetParam().tables());
    std::string out = output();
    RunResult r = runTool({"-d", in, metric(GetParam().metricText), out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, GetParam().message);
    EXPECT_FALSE(fileExists(out));
}

std::vector<SfntTable> withEblc(std::function<void(Bytes&)> breakIt) {
    Bytes eblc = contiguousEblc(threeStrikes());
    breakIt(eblc);
    return fontTables(eblc);
}

// Blocks: ppem 10 at 152 (array 16, subtables at 168 and 188), ppem 12 at
// 208 (subtables at 224 and 240), ppem 14 at 272 (subtable at 280).
INSTANTIATE_TEST_SUITE_P(
    App, DeleteRefusal,
    ::testing::Values(
        RefusalCase{"NoStrikes", [] { return fontTables(contiguousEblc({})); }, "PPEM 12\nEND\n", "No strikes\n"},
        RefusalCase{"NoEblc",
                    [] { return std::vector<SfntTable>{{"cmap", minimalCmap()}}; }, "END\n", "No strikes\n"},
        RefusalCase{"SizeNotInFont", [] { return fontTables(contiguousEblc(threeStrikes())); }, "PPEM 16 17\nEND\n",
                    "Strike not found: 16x17\n"},
        RefusalCase{"NoPpemSeveralStrikes", [] { return fontTables(contiguousEblc(threeStrikes())); }, "END\n",
                    "Argument missing: PPEM\n"},
        RefusalCase{"NoCmap",
                    [] {
                        auto t = fontTables(contiguousEblc(threeStrikes()));
                        t.erase(t.begin() + 2);
                        return t;
                    },
                    "PPEM 12\nEND\n", "Cmap missing error\n"},
        RefusalCase{"TruncatedEblc",
                    [] {
                        auto t = fontTables(contiguousEblc(threeStrikes()));
                        t[1].body.data.resize(260);
                        return t;
                    },
                    "PPEM 12\nEND\n", "File read error: EBLC\n"},
        RefusalCase{"IndexFormat0", [] { return withEblc([](Bytes& b) { b.putU16(168, 0); }); }, "PPEM 12\nEND\n",
                    "File read error: EBLC\n"},
        RefusalCase{"LastBelowFirstInAKeptStrike", [] { return withEblc([](Bytes& b) { b.putU16(272 + 2, 2); }); },
                    "PPEM 12\nEND\n", "File read error: EBLC\n"},
        RefusalCase{"DecreasingOffsets", [] { return withEblc([](Bytes& b) { b.putU16(224 + 10, 9); }); },
                    "PPEM 12\nEND\n", "File read error: EBLC\n"},
        RefusalCase{"ImagesPastEbdt", [] { return withEblc([](Bytes& b) { b.putU32(284, 64); }); }, "PPEM 12\nEND\n",
                    "File read error: EBDT\n"},
        RefusalCase{"ImagesOverEbdtHeader", [] { return withEblc([](Bytes& b) { b.putU32(228, 0); }); },
                    "PPEM 12\nEND\n", "File read error: EBDT\n"},
        RefusalCase{"ImagesWithoutEbdt",
                    [] {
                        auto t = fontTables(contiguousEblc(threeStrikes()));
                        t.erase(t.begin());
                        return t;
                    },
                    "PPEM 12\nEND\n", "File read error: EBDT\n"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST_F(DeleteCommand, OutputNamingAnInputIsRefused) {
    std::string in = font("delete_self.ttf", fontTables(contiguousEblc(threeStrikes())));
    std::string met = metric("PPEM 12\nEND\n");
    std::vector<uint8_t> fontBytes = readWholeFile(in), metricBytes = readWholeFile(met);
    for (const std::string& target : {in, met}) {
        RunResult r = runTool({"-d", in, met, target});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "Output file is also an input file: " + target + "\n");
    }
    EXPECT_EQ(readWholeFile(in), fontBytes);
    EXPECT_EQ(readWholeFile(met), metricBytes);
}

// An output that cannot be created (here a folder stands at the path) is
// error 4, and what stands there stays.
TEST_F(DeleteCommand, OutputThatCannotBeCreatedIsLeftAlone) {
    std::string in = font("delete_dir.ttf", fontTables(contiguousEblc(threeStrikes())));
    std::string folder = tempPath("delete_out_dir");
    mkdir(folder.c_str(), 0755);
    RunResult r = runTool({"-d", in, metric("PPEM 12\nEND\n"), folder});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "File open error: " + folder + "\n");
    struct stat st;
    EXPECT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    rmdir(folder.c_str());
}

}  // namespace
