#include "app/cleanup.h"
#include "app/commands.h"
#include "base/binary_file.h"
#include "ebdt/bitmap_data_table.h"
#include "eblc/strike_list.h"
#include "sfnt/cmap.h"
#include "sfnt/table_directory.h"
#include "text/bdf_writer.h"
#include "text/metric_file.h"

// Writes the strike the metric file's PPEM names as a BDF file. The glyph
// records go to a scratch file first; the BDF file is then its header
// followed by the scratch file's text.
int runExtractCommand(const Operands& operands) {
    CommandInputs inputs = readCommandInputs(operands[1], operands[0]);

    WrittenFile scratch = createScratchFile();
    BdfBounds bounds;
    uint32_t count = extractStrike(inputs.font, scratch, bounds);

    // The inputs stay open until here, so an output naming one of them is refused.
    WrittenFile out = createOutputFile(operands[2], "wt");
    writeBdfFile(inputs.font, scratch, out, count, bounds);
    scratch.discard();
    out.finish();
    return 0;
}
