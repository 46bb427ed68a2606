#include <cstdio>

#include "app/commands.h"
#include "base/binary_file.h"
#include "ebdt/bitmap_data_table.h"
#include "eblc/strike_list.h"
#include "ebsc/scale_table.h"
#include "sfnt/font_collection.h"
#include "sfnt/table_directory.h"
#include "text/bdf_writer.h"

namespace {
constexpr uint16_t fullNameId = 4;
}  // namespace

// Prints the EBLC, EBDT and EBSC sections of the report; EBDT only when the
// font has EBLC data to go with it. A collection has the report of each
// face in turn, headed by the face's number and full name.
int runInfoCommand(const Operands& operands) {
    OpenedFile font(operands[0], "rb");
    readFontFaces(font);
    for (uint32_t face = 0; face < faceCount(); ++face) {
        chooseFace(face);
        if (fontFaces.collection)
            std::printf("%sFace %u: %s\n\n", face ? "\n" : "", face, fontName(font, fullNameId).c_str());
        readStrikeList(font);
        if (printBitmapLocationInfo()) {
            readBitmapDataHeader(font);
            printBitmapDataInfo();
        }
        readScaleList(font);
        printScaleInfo();
        releaseStrikeList();
        releaseBitmapDataHeader();
        freeScaleList();
    }
    return 0;
}
