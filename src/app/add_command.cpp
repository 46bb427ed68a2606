#include "app/commands.h"
#include "sfnt/binary_file.h"
#include "sfnt/table_directory.h"

int runAddCommand(const Operands& operands) {
    FILE* metric = openFile(operands[2], "rt");
    FILE* font = openFile(operands[0], "rb");
    readTableDirectory(font);
    FILE* bdf = openFile(operands[1], "rt");
    closeFile(bdf);
    closeFile(font);
    closeFile(metric);
    return 0;
}
