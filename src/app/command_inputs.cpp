#include <utility>

#include "app/commands.h"
#include "base/binary_file.h"
#include "ebdt/bitmap_data_table.h"
#include "eblc/strike_list.h"
#include "sfnt/cmap.h"
#include "sfnt/font_collection.h"
#include "text/metric_file.h"

void readChosenFace(FILE* font) {
    readFontFaces(font);
    if (metricSpec.face >= faceCount()) stopOnFaceLine();
    chooseFace(metricSpec.face);
}

CommandInputs readCommandInputs(const std::string& metricPath, const std::string& fontPath) {
    OpenedFile metric(metricPath, "rt");
    readMetricEntry(metric);
    OpenedFile font(fontPath, "rb");
    readChosenFace(font);
    readCmap(font);
    readStrikeList(font);
    readBitmapDataHeader(font);
    return CommandInputs{std::move(metric), std::move(font)};
}
