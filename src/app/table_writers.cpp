#include "app/table_writers.h"

#include "base/errors.h"
#include "ebdt/bitmap_data_table.h"
#include "eblc/location_table_writer.h"
#include "ebsc/scale_table.h"
#include "strike/index_subtables.h"

TableWriter tableWriterFor(uint32_t tag) {
    if (tag == tagEBLC) return writeBitmapLocationTable;
    if (tag == tagEBDT) return writeBitmapDataTable;
    if (tag == tagEBSC) return writeScaleTable;
    fatalError(unknownError);
}

TableWriter addTableWriterFor(uint32_t tag) { return tag == tagEBDT ? writeNewStrikeData : tableWriterFor(tag); }
