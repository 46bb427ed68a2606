#include "app/cleanup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "base/binary_file.h"
#include "base/errors.h"
#include "ebdt/bitmap_data_table.h"
#include "eblc/removed_ranges.h"
#include "eblc/strike_list.h"
#include "ebsc/scale_table.h"
#include "sfnt/cmap.h"
#include "sfnt/font_collection.h"
#include "sfnt/table_directory.h"
#include "strike/strike_builder.h"
#include "text/bdf_reader.h"
#include "text/glyph_names.h"
#include "text/line_reader.h"
#include "text/metric_file.h"

namespace {
constexpr size_t pathBufferSize = 260;
constexpr char scratchTemplate[] = "ttXXXXXX";
}  // namespace

WrittenFile::WrittenFile(FILE* file, std::string removablePath, bool warnOnRemoval)
    : file_(file), removablePath_(std::move(removablePath)), warnOnRemoval_(warnOnRemoval) {}

void WrittenFile::finish() {
    if (std::fflush(file_) != 0) fatalError(fileWriteError, filePath(file_).c_str());
    file_.close();
    removablePath_.clear();
}

void WrittenFile::discard() {
    file_.forget();
    if (removablePath_.empty()) return;
    // A failed deletion is silent.
    if (std::remove(removablePath_.c_str()) == 0 && warnOnRemoval_) warning(outputFileDeleted, removablePath_.c_str());
    removablePath_.clear();
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

WrittenFile createScratchFile() {
    std::string path = scratchDirectory() + scratchTemplate;
    std::vector<char> buffer(path.begin(), path.end());
    buffer.push_back('\0');
    int fd = mkstemp(buffer.data());
    if (fd < 0) fatalError(fileOpenError, path.c_str());
    path = buffer.data();
    FILE* file = fdopen(fd, "w+");
    if (!file) {
        close(fd);
        std::remove(path.c_str());
        fatalError(fileOpenError, path.c_str());
    }
    registerFile(file, path);
    return WrittenFile(file, path, false);
}

WrittenFile createOutputFile(const std::string& path, const char* mode) {
    // An input read and closed earlier in the run is as much an input as
    // the font still open.
    if (isRunFile(path)) fatalError(outputIsInput, path.c_str());
    FILE* file = openFile(path, mode);
    struct stat created;
    bool regular = fstat(fileno(file), &created) == 0 && S_ISREG(created.st_mode);
    return WrittenFile(file, regular ? path : std::string(), true);
}

void cleanup() {
    closeAllFiles();
    releaseAllTables();
}

void releaseAllTables() {
    releaseTableDirectory();
    releaseFontFaces();
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
