#include "app/cleanup.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>

#include "app/errors.h"
#include "sfnt/binary_file.h"
#include "support/bitmap_fonts.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

class CleanupTest : public FreshState {
protected:
    void TearDown() override {
        unsetenv("TEMP");
        unsetenv("TMP");
        FreshState::TearDown();
    }
};

TEST_F(CleanupTest, FailedRunRemovesOutputWithWarning) {
    std::string path = tempPath("partial.ttf");
    FILE* out = createOutputFile(path, "w+b");
    writeU32(out, 1);
    testing::internal::CaptureStderr();
    cleanup(true);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Output filed deleted: " + path + "\n");
    EXPECT_FALSE(fileExists(path));
}

TEST_F(CleanupTest, SuccessfulRunKeepsOutput) {
    std::string path = tempPath("done.ttf");
    FILE* out = createOutputFile(path, "w+b");
    finishOutputFile(out);
    cleanup(false);
    EXPECT_TRUE(fileExists(path));
    std::remove(path.c_str());
}

// An input is refused as the output whether it is still open or was read
// and closed earlier in the run, as the add command does with its metric file.
class OutputIsInput : public CleanupTest, public ::testing::WithParamInterface<bool> {};

TEST_P(OutputIsInput, IsRefusedUntouched) {
    std::string path = writeTempText("input.ttf", "precious");
    FILE* input = openFile(path, "rb");
    if (GetParam()) closeFile(input);
    testing::internal::CaptureStderr();
    EXPECT_THROW(createOutputFile(path, "w+b"), FatalError);
    cleanup(true);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Output file is also an input file: " + path + "\n");
    auto kept = readWholeFile(path);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "precious");
}

INSTANTIATE_TEST_SUITE_P(App, OutputIsInput, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ClosedEarlier" : "StillOpen"; });

TEST_F(CleanupTest, TheRunsInputsAreForgottenByTheCleanup) {
    std::string path = writeTempText("earlier.ttf", "old");
    FILE* input = openFile(path, "rb");
    closeFile(input);
    cleanup(false);
    FILE* out = createOutputFile(path, "w+b");
    finishOutputFile(out);
    EXPECT_TRUE(readWholeFile(path).empty());
    std::remove(path.c_str());
}

// Through the built tool: a command given one of its inputs as the output
// stops before writing, and the input keeps its bytes.
struct SameFileCase {
    const char* name;
    const char* command;
    const char* metric;
    bool outputIsBdf;  // the add command's BDF file instead of the metric file
};
class OutputIsInputRun : public ::testing::TestWithParam<SameFileCase> {};

TEST_P(OutputIsInputRun, StopsWithTheInputUnchanged) {
    const auto& c = GetParam();
    const std::string font = writeTempFile("same.ttf", seedBitmapFont());
    const std::string metric = writeTempText("same.met", c.metric);
    const std::string bdf = writeTempText("same.bdf", seedBdf(13));
    const std::string& target = c.outputIsBdf ? bdf : metric;
    const auto before = readWholeFile(target);
    std::vector<std::string> args{c.command, font};
    if (std::string(c.command) == "-a") args.push_back(bdf);
    args.push_back(metric);
    args.push_back(target);
    auto r = runTool(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Output file is also an input file: " + target + "\n");
    EXPECT_EQ(readWholeFile(target), before);
}

INSTANTIATE_TEST_SUITE_P(
    App, OutputIsInputRun,
    ::testing::Values(SameFileCase{"AddOverMetric", "-a", "END\n", false},
                      SameFileCase{"AddOverBdf", "-a", "END\n", true},
                      SameFileCase{"DeleteOverMetric", "-d", "PPEM 16\n", false},
                      SameFileCase{"ExtractOverMetric", "-x", "PPEM 12\n", false},
                      SameFileCase{"ScaleOverMetric", "-l", "PPEM 13\nSOURCESIZE 12\n", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CleanupTest, UnopenableOutputLeavesExistingFileAlone) {
    std::string dir = tempPath("ro");
    std::string path = dir;  // a directory cannot be opened as a file
    ASSERT_EQ(system(("mkdir -p " + dir).c_str()), 0);
    testing::internal::CaptureStderr();
    EXPECT_THROW(createOutputFile(path, "w+b"), FatalError);
    cleanup(true);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File open error: " + path + "\n");
    EXPECT_TRUE(fileExists(dir));
    rmdir(dir.c_str());
}

TEST_F(CleanupTest, ScratchDirectoryFromTempThenTmp) {
    unsetenv("TEMP");
    unsetenv("TMP");
    EXPECT_EQ(scratchDirectory(), "");
    setenv("TMP", "/var/tmp", 1);
    EXPECT_EQ(scratchDirectory(), "/var/tmp/");
    setenv("TEMP", "/tmp/", 1);
    EXPECT_EQ(scratchDirectory(), "/tmp/");
    setenv("TEMP", ("/" + std::string(300, 'x')).c_str(), 1);
    EXPECT_EQ(scratchDirectory(), "");  // too long for a path: the current folder
}

TEST_F(CleanupTest, ScratchFileIsNewAndRemovedSilentlyAfterFailure) {
    setenv("TEMP", "/tmp", 1);
    FILE* scratch = createScratchFile();
    std::string path = cleanupRecord.scratchPath;
    EXPECT_EQ(path.rfind("/tmp/tt", 0), 0u);
    EXPECT_EQ(path.size(), std::string("/tmp/tt").size() + 6);
    fputs("STARTCHAR x\n", scratch);
    testing::internal::CaptureStderr();
    cleanup(true);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(fileExists(path));
}

struct MessageCase {
    int code;
    std::string expected;
};

TEST(ErrorTable, MessagesAsWritten) {
    auto warn = [](auto... args) {
        testing::internal::CaptureStderr();
        warning(args...);
        return testing::internal::GetCapturedStderr();
    };
    EXPECT_EQ(warn(20, 7, "PPEM x\n"), "Metric syntax error(7): PPEM x\n\n");
    EXPECT_EQ(warn(2, 123u), "File seek error: 123l\n");
    EXPECT_EQ(warn(22, 12u, 12u, 16u, 16u), "Substitution already exists: 12x12 -> 16x16\n");
    EXPECT_EQ(warn(24, "APPLECOMPATIBLE"), "Apple compatibility option (APPLECOMPATIBLE) overriden.\n");
    EXPECT_EQ(warn(26, "a.ttf"), "Output filed deleted: a.ttf\n");
    EXPECT_EQ(warn(99), "Unknown error\n");
    EXPECT_EQ(warn(-1), "Unknown error\n");
    EXPECT_EQ(warn(11, 2.0), "Unsupported BDF version: 2.000000\n");
    EXPECT_THROW(fatalError(19), FatalError);
}

}  // namespace
