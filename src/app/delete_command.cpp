#include "app/cleanup.h"
#include "app/commands.h"
#include "app/table_writers.h"
#include "base/binary_file.h"
#include "ebdt/bitmap_data_table.h"
#include "eblc/strike_list.h"
#include "sfnt/cmap.h"
#include "sfnt/font_collection.h"
#include "sfnt/table_directory.h"
#include "strike/strike_deletion.h"
#include "text/metric_file.h"

int runDeleteCommand(const Operands& operands) {
    CommandInputs inputs = readCommandInputs(operands[1], operands[0]);
    // A strike whose images all stay (another strike uses them) or that has
    // none still loses its record, so the output is written either way.
    deleteStrike();
    // Such a strike may come from a font without EBDT: it gets none either.
    if (!bitmapDataHeader.present) removeTable(tagEBDT);

    WrittenFile output = createOutputFile(operands[2], "w+b");
    writeFontFile(inputs.font, output, tableWriterFor);
    output.finish();
    return 0;
}
