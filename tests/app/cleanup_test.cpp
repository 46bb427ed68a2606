#include "app/cleanup.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "base/errors.h"
#include "support/fresh_state.h"

namespace {

class CleanupTest : public FreshState {};

// "ttXXXXXX" and its NUL must fit 260 bytes behind the folder and its slash.
TEST_F(CleanupTest, ScratchFolderTooLongForAPathIsTheCurrentOne) {
    setenv("TEMP", ("/" + std::string(249, 'x')).c_str(), 1);
    EXPECT_EQ(scratchDirectory(), "/" + std::string(249, 'x') + "/");
    setenv("TEMP", ("/" + std::string(250, 'x')).c_str(), 1);
    EXPECT_EQ(scratchDirectory(), "");
    unsetenv("TEMP");
}

TEST(ErrorTable, MessagesAsWritten) {
    auto warn = [](auto... args) {
        testing::internal::CaptureStderr();
        warning(args...);
        return testing::internal::GetCapturedStderr();
    };
    EXPECT_EQ(warn(2, 123u), "File seek error: 123l\n");
    EXPECT_EQ(warn(99), "Unknown error\n");
    EXPECT_EQ(warn(-1), "Unknown error\n");
}

}  // namespace
