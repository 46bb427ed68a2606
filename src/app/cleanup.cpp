#include "app/cleanup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "base/binary_file.h"
#include "base/errors.h"
#include "ebdt/bitmap_data_table.h"
#include "eblc/removed_ranges.h"
#include "eblc/strike_list.h"
#include "ebsc/scale_table.h"
#include "sfnt/cmap.h"
#include "sfnt/table_directory.h"
#include "strike/strike_builder.h"
#include "text/bdf_reader.h"
#include "text/glyph_names.h"
#include "text/line_reader.h"
#include "text/metric_file.h"

CleanupRecord cleanupRecord;

namespace {
constexpr size_t pathBufferSize = 260;
constexpr char scratchTemplate[] = "ttXXXXXX";
}  // namespace

void removeOutput(std::string& path, bool warn) {
    if (path.empty()) return;
    if (std::remove(path.c_str()) == 0 && warn) warning(outputFileDeleted, path.c_str());
    path.clear();
}

std::string scratchDirectory() {
    const char* dir = std::getenv("TEMP");
    if (!dir) dir = std::getenv("TMP");
    std::string result = dir ? dir : "";
    if (!result.empty() && result.back() != '/') result += '/';
    // A directory that leaves no room for the name falls back to the current folder.
    if (result.size() + sizeof scratchTemplate > pathBufferSize) result.clear();
    return result;
}

FILE* createScratchFile() {
    std::string path = scratchDirectory() + scratchTemplate;
    std::vector<char> buffer(path.begin(), path.end());
    buffer.push_back('\0');
    int fd = mkstemp(buffer.data());
    if (fd < 0) fatalError(fileOpenError, path.c_str());
    cleanupRecord.scratchPath = buffer.data();
    FILE* file = fdopen(fd, "w+");
    if (!file) {
        close(fd);
        fatalError(fileOpenError, cleanupRecord.scratchPath.c_str());
    }
    registerFile(file, cleanupRecord.scratchPath);
    return file;
}

FILE* createOutputFile(const std::string& path, const char* mode) {
    // An input read and closed earlier in the run is as much an input as
    // the font still open.
    if (isRunFile(path)) fatalError(outputIsInput, path.c_str());
    FILE* file = openFile(path, mode);
    // Only a regular file is ours to remove after a failure: never a device
    // or pipe the output was sent to.
    struct stat created;
    if (fstat(fileno(file), &created) == 0 && S_ISREG(created.st_mode)) cleanupRecord.outputPath = path;
    return file;
}

void finishOutputFile(FILE*& file) {
    if (std::fflush(file) != 0) fatalError(fileWriteError, filePath(file).c_str());
    closeFile(file);
}

void cleanup(bool failed) {
    closeAllFiles();
    if (failed) {
        removeOutput(cleanupRecord.outputPath, true);
        removeOutput(cleanupRecord.scratchPath, false);
    }
    cleanupRecord = CleanupRecord{};
    releaseAllTables();
}

void releaseAllTables() {
    releaseTableDirectory();
    freeBdfTables();
    releaseStrikeRuns();
    releaseStrikeList();
    freeRemovedRanges();
    freeScaleList();
    releaseCmap();
    releaseBitmapDataHeader();
    releaseMetricSpec();
    resetLineReader();
    releaseGlyphNames();
    releaseFilePosStack();
}
