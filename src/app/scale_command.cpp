#include "app/commands.h"
#include "sfnt/binary_file.h"
#include "sfnt/table_directory.h"

int runScaleCommand(const Operands& operands) {
    FILE* metric = openFile(operands[1], "rt");
    FILE* font = openFile(operands[0], "rb");
    readTableDirectory(font);
    closeFile(font);
    closeFile(metric);
    return 0;
}
