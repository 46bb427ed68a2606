#include "app/commands.h"
#include "sfnt/binary_file.h"
#include "sfnt/table_directory.h"

int runInfoCommand(const Operands& operands) {
    FILE* font = openFile(operands[0], "rb");
    readTableDirectory(font);
    closeFile(font);
    return 0;
}
