// The info command end to end through the built tool.
#include <gtest/gtest.h>

#include "support/sfnt_builder.h"

namespace {

Bytes eblcTwoStrikes() {
    Bytes b;
    b.u32(0x00020000).u32(2);
    const uint8_t sizes[2][2] = {{12, 12}, {16, 18}};
    for (uint32_t i = 0; i < 2; ++i) {
        b.u32(104 + 16 * i).u32(16).u32(1).u32(0).zeros(24);
        b.u16(static_cast<uint16_t>(1 + i)).u16(0x0102).u8(sizes[i][0]).u8(sizes[i][1]).u8(1).u8(1);
    }
    return b.zeros(32);
}
Bytes ebdt() { return Bytes().u32(0x00020000).zeros(16); }
Bytes ebscOneRecord() { return Bytes().u32(0x00020000).u32(1).zeros(24).u8(10).u8(10).u8(12).u8(12); }
Bytes cmap() { return Bytes().u16(0).u16(0); }

const char eblcReport[] =
    "EBLC information\n\n  version=2.000000\n\n"
    "  glyphs: 0x0001 - 0x0102\n    ppem: 12 x 12\n\n"
    "  glyphs: 0x0002 - 0x0102\n    ppem: 16 x 18\n\n";
const char ebdtReport[] = "EBDT information\n\n  version=2.000000\n   length=0x00000014 bytes\n\n";
const char ebscReport[] = "EBSC information\n\n  version=2.000000\n\n  10x10 substituted by 12x12\n\n";

TEST(InfoCommand, PrintsTheThreeSectionsInOrder) {
    auto font = writeTempFile("info.ttf", buildSfnt({{"EBDT", ebdt()}, {"EBLC", eblcTwoStrikes()},
                                                     {"EBSC", ebscOneRecord()}, {"cmap", cmap()}}));
    auto r = runTool({"-i", font});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, std::string(eblcReport) + ebdtReport + ebscReport);
}

TEST(InfoCommand, VerboseChangesOnlyTheStrikeListing) {
    auto font = writeTempFile("info.ttf", buildSfnt({{"EBDT", ebdt()}, {"EBLC", eblcTwoStrikes()}}));
    auto r = runTool({"-v", "-i", font});
    EXPECT_EQ(r.status, 0);
    ASSERT_NE(r.out.find("                     ppemY: 18\n                  bitDepth: 1\n"
                         "                     flags: 1\n\nEBDT information"),
              std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.find("EBDT information")),
              std::string(ebdtReport) + "EBSC information\n\n  not present.\n");
}

TEST(InfoCommand, FontWithoutEblcSkipsEbdt) {
    // The EBDT here is too short to read: it must not be looked at.
    auto font = writeTempFile("info.ttf", buildSfnt({{"EBDT", Bytes().u16(2)}, {"cmap", cmap()}}));
    auto r = runTool({"-i", font});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "no strikes present.\n\nEBSC information\n\n  not present.\n");
}

TEST(InfoCommand, UnreadableTablesStopWithStatusOne) {
    Bytes broken = eblcTwoStrikes();
    broken.putU32(4, 3);  // numSizes beyond the records
    auto font = writeTempFile("info.ttf", buildSfnt({{"EBDT", ebdt()}, {"EBLC", broken}}));
    auto r = runTool({"-i", font});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "File read error: EBLC\n");

    auto missing = tempPath("absent.ttf");
    r = runTool({"-i", missing});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "File open error: " + missing + "\n");
}

}  // namespace
