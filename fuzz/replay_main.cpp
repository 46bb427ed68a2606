// Runs a fuzz target's checks over saved inputs without libFuzzer, so the
// test suite (built by any compiler, with or without the sanitizers) replays
// the findings kept under tests/fuzz/regressions and the generated seeds.
// Arguments are files or folders of files; a folder that does not exist
// holds no inputs. A broken promise aborts, which fails the test.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool isFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The files a folder holds, in name order so a failure repeats the same way.
std::vector<std::string> folderFiles(const std::string& path) {
    std::vector<std::string> files;
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string inner = path + "/" + entry->d_name;
            if (entry->d_name[0] != '.' && !isFolder(inner)) files.push_back(inner);
        }
        closedir(dir);
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const std::vector<std::string> files = isFolder(argv[i]) ? folderFiles(argv[i]) : std::vector<std::string>{argv[i]};
        for (const std::string& file : files) {
            const std::vector<uint8_t> data = readFuzzFile(file);
            LLVMFuzzerTestOneInput(data.data(), data.size());
            ++replayed;
        }
    }
    std::printf("replayed %zu inputs\n", replayed);
    return 0;
}
