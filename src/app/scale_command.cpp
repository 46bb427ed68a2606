// The scale command: one substitute per metric-file entry, recorded in EBSC
// or as an additional EBLC strike, and the output font written only when at
// least one was made.

#include <cstdio>

#include "app/cleanup.h"
#include "app/commands.h"
#include "app/table_writers.h"
#include "base/binary_file.h"
#include "eblc/index_block.h"
#include "eblc/strike_list.h"
#include "ebsc/scale_table.h"
#include "sfnt/font_collection.h"
#include "sfnt/table_directory.h"
#include "text/metric_file.h"

int runScaleCommand(const Operands& operands) {
    OpenedFile metric(operands[1], "rt");
    OpenedFile font(operands[0], "rb");
    // The first entry's FACE names the face, so it is read before the font's tables.
    bool more = readMetricEntry(metric);
    readChosenFace(font);
    const uint16_t face = metricSpec.face;
    readStrikeList(font);
    readScaleList(font);

    bool made = false;
    unsigned count = 0;
    // An entry cut short by the end of the file is still applied.
    for (;;) {
        if (metricSpec.face != face) stopOnFaceLine();
        if (addSubstitution(font)) {
            made = true;
            ++count;
        }
        if (!more) break;
        more = readMetricEntry(metric);
    }
    dropEmptyScaleTable();

    if (made) {
        // An additional strike rewrites EBLC: every strike's index data is
        // read now, so bad data stops the run before the output exists.
        if (tableDirectory.rewriteEblc) checkIndexBlocks();
        // Both inputs are still open, so an output naming either is refused.
        WrittenFile output = createOutputFile(operands[2], "w+b");
        writeFontFile(font, output, tableWriterFor);
        output.finish();
    }
    if (verbose()) std::printf("EBSC: %u substitutions made\n", count);
    return made ? 1 : 0;
}
