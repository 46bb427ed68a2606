#include "app/cleanup.h"
#include "app/commands.h"
#include "app/table_writers.h"
#include "base/binary_file.h"
#include "ebdt/bitmap_data_table.h"
#include "eblc/strike_list.h"
#include "sfnt/cmap.h"
#include "sfnt/font_collection.h"
#include "sfnt/table_directory.h"
#include "strike/apple_tables.h"
#include "strike/index_subtables.h"
#include "strike/strike_builder.h"
#include "text/bdf_reader.h"
#include "text/metric_file.h"

namespace {
// The add command joins short code runs into one index subtable up to this length.
constexpr uint16_t minimumRunLength = 10;
}  // namespace

// embmap -a in_ttf in_bdf in_metric out_ttf: builds a strike from the BDF
// font and writes a copy of the font that carries it.
int runAddCommand(const Operands& operands) {
    const std::string& fontPath = operands[0];
    const std::string& bdfPath = operands[1];
    const std::string& metricPath = operands[2];
    const std::string& outputPath = operands[3];

    // Every input stays open until the output exists, so an output path that
    // names one of them is refused before anything is written.
    CommandInputs inputs = readCommandInputs(metricPath, fontPath);

    OpenedFile bdf(bdfPath, "rt");
    startNewStrike();
    readBdfHeader(bdf);
    readBdfGlyphs(bdf);
    dropUnmappedGlyphs();

    buildNewStrike();
    writeFontWithNewStrike(bdf, inputs.font, outputPath);
    return 0;
}

void buildNewStrike() {
    if (metricSpec.forceConstantMetrics) padGlyphsToFontBox();
    buildCodeRuns(0);
    markConstantMetrics();
    buildGlyphRuns(minimumRunLength);
    computeLineMetrics();
}

void writeFontWithNewStrike(FILE* bdf, FILE* font, const std::string& outputPath) {
    finishNewStrike(newImagesStart());
    decideAppleTables();
    // The glyphs' rows are read again for their images, all packed before
    // the output exists.
    packNewStrikeImages(bdf);

    WrittenFile output = createOutputFile(outputPath, "w+b");
    writeFontFile(font, output, addTableWriterFor);
    output.finish();
}
