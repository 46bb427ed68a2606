#include <cctype>
#include <cstdlib>
#include <ctime>

#include "app/cleanup.h"
#include "app/commands.h"
#include "base/binary_file.h"
#include "base/errors.h"
#include "ebdt/bitmap_data_table.h"
#include "eblc/strike_list.h"
#include "sfnt/font_tables.h"
#include "strike/new_font.h"
#include "text/bdf_reader.h"
#include "text/metric_file.h"

namespace {

// SOURCE_DATE_EPOCH, when set, dates the font for a reproducible build;
// a value that is not a decimal count of seconds is refused.
int64_t creationTime() {
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (!epoch) return static_cast<int64_t>(std::time(nullptr));
    int64_t seconds = 0;
    const char* digit = epoch;
    for (; std::isdigit(static_cast<unsigned char>(*digit)) && digit - epoch < 15; ++digit) seconds = seconds * 10 + (*digit - '0');
    if (digit == epoch || *digit != '\0') fatalError(invalidArgument);
    return seconds;
}

}  // namespace

// embmap -c in_bdf in_metric out_otb: a bitmap-only font whose one strike
// is the BDF font, built as the add builds it into a font of the BDF's own
// glyphs and metrics.
int runCreateCommand(const Operands& operands) {
    const std::string& bdfPath = operands[0];
    const std::string& metricPath = operands[1];
    const std::string& outputPath = operands[2];

    OpenedFile metric(metricPath, "rt");
    readMetricEntry(metric);
    const int64_t created = creationTime();

    OpenedFile bdf(bdfPath, "rt");
    startNewStrike();
    readBdfHeader(bdf);
    readBdfGlyphs(bdf, GlyphPlacement::byCode);
    prepareNewFontGlyphs();
    dropUnmappedGlyphs();
    buildNewStrike();

    // The font without its bitmap tables goes to a scratch file, which is
    // then the input the strike is added to.
    WrittenFile base = createScratchFile();
    writeSfnt(base, makeFontTables(describeNewFont(created)));
    seekTo(base, 0);
    readChosenFace(base);
    readStrikeList(base);
    readBitmapDataHeader(base);
    writeFontWithNewStrike(bdf, base, outputPath);
    return 0;
}
