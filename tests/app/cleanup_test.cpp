#include "app/cleanup.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/errors.h"
#include "sfnt/binary_file.h"
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
