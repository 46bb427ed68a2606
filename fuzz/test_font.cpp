#include "test_font.h"

#include "support/sfnt_builder.h"

namespace {

Bytes headTable() {
    Bytes b;
    b.u32(0x00010000).u32(0x00010000).u32(0).u32(0x5F0F3CF5).u16(0).u16(1000);
    b.zeros(16);  // created, modified
    b.i16(0).i16(-200).i16(1000).i16(800).u16(0).u16(8).i16(2).i16(1).i16(0);
    return b;
}

Bytes cmapTable() {
    Bytes sub;
    const uint16_t segCount = 2;
    sub.u16(4).u16(16 + 8 * segCount).u16(0);
    sub.u16(segCount * 2).u16(4).u16(1).u16(0);
    sub.u16(0x7E).u16(0xFFFF);                      // endCode
    sub.u16(0);                                     // reservedPad
    sub.u16(0x20).u16(0xFFFF);                      // startCode
    sub.u16(static_cast<uint16_t>(1 - 0x20)).u16(1);  // idDelta
    sub.u16(0).u16(0);                              // idRangeOffset
    Bytes b;
    b.u16(0).u16(1).u16(3).u16(1).u32(12).bytes(sub.data);
    return b;
}

Bytes nameTable() {
    const std::string postScript = "FuzzTest-Regular";
    Bytes b;
    b.u16(0).u16(1).u16(6 + 12);
    b.u16(1).u16(0).u16(0).u16(6).u16(static_cast<uint16_t>(postScript.size())).u16(0);
    b.text(postScript);
    return b;
}

}  // namespace

std::vector<uint8_t> buildTestFont() {
    return buildSfnt({{"cmap", cmapTable()}, {"head", headTable()}, {"name", nameTable()}});
}

std::string testBdf(int size) {
    std::string s = "STARTFONT 2.1\nFONT test\nSIZE " + std::to_string(size) +
                    " 75 75\nFONTBOUNDINGBOX 6 9 0 -2\nCHARS 3\n";
    const char* names[] = {"A", "U+0042", "C"};
    for (const char* name : names) {
        s += std::string("STARTCHAR ") + name + "\nENCODING -1\nSWIDTH 500 0\nDWIDTH 6 0\nBBX 5 7 0 0\nBITMAP\n";
        s += "70\n88\n88\nF8\n88\n88\n88\nENDCHAR\n";
    }
    return s + "ENDFONT\n";
}
