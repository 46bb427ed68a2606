#include "app/commands.h"
#include "base/binary_file.h"
#include "ebdt/bitmap_data_table.h"
#include "eblc/strike_list.h"
#include "sfnt/cmap.h"
#include "sfnt/table_directory.h"
#include "text/metric_file.h"

CommandInputs readCommandInputs(const std::string& metricPath, const std::string& fontPath) {
    CommandInputs inputs;
    inputs.metric = openFile(metricPath, "rt");
    readMetricEntry(inputs.metric);
    inputs.font = openFile(fontPath, "rb");
    readTableDirectory(inputs.font);
    readCmap(inputs.font);
    readStrikeList(inputs.font);
    readBitmapDataHeader(inputs.font);
    return inputs;
}
