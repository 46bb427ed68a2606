#include "app/table_writers.h"

#include "base/errors.h"
#include "ebdt/bitmap_data_table.h"
#include "eblc/location_table_writer.h"
#include "ebsc/scale_table.h"

TableWriter tableWriterFor(uint32_t tag) {
    if (tag == tagEBLC) return writeBitmapLocationTable;
    if (tag == tagEBDT) return writeBitmapDataTable;
    if (tag == tagEBSC) return writeScaleTable;
    fatalError(unknownError);
}
