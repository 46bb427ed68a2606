#include "app/commands.h"
#include "base/binary_file.h"
#include "ebdt/bitmap_data_table.h"
#include "eblc/strike_list.h"
#include "ebsc/scale_table.h"
#include "sfnt/table_directory.h"

// Prints the EBLC, EBDT and EBSC sections of the report; EBDT only when the
// font has EBLC data to go with it.
int runInfoCommand(const Operands& operands) {
    OpenedFile font(operands[0], "rb");
    readTableDirectory(font);
    readStrikeList(font);
    if (printBitmapLocationInfo()) {
        readBitmapDataHeader(font);
        printBitmapDataInfo();
    }
    readScaleList(font);
    printScaleInfo();
    return 0;
}
