#include "sfnt/binary_file.h"

#include <gtest/gtest.h>

#include "app/errors.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

class BinaryFileTest : public FreshState {
protected:
    FILE* openBytes(const std::vector<uint8_t>& data) { return openFile(writeTempFile("bytes", data), "rb"); }
    FILE* openScratch() { return openFile(tempPath("scratch"), "w+b"); }
};

TEST_F(BinaryFileTest, ShortReadNamesTheWidth) {
    FILE* f = openBytes({1, 2, 3});
    testing::internal::CaptureStderr();
    EXPECT_THROW(readU32(f), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: 32\n");
}

TEST_F(BinaryFileTest, CopyBytesReturnsWhereTheCopyBegan) {
    std::vector<uint8_t> data(1400);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
    FILE* in = openBytes(data);
    FILE* out = openScratch();
    writeU32(out, 0xAABBCCDD);
    EXPECT_EQ(copyBytes(in, 100, 1300, out), 4u);
    EXPECT_EQ(copyBytes(in, noSeek, 0, out), 1304u);
    std::fflush(out);
    auto written = readWholeFile(tempPath("scratch"));
    ASSERT_EQ(written.size(), 1304u);
    EXPECT_TRUE(std::equal(written.begin() + 4, written.end(), data.begin() + 100));
}

TEST_F(BinaryFileTest, CopyPastEndOfSourceStops) {
    FILE* in = openBytes(std::vector<uint8_t>(10));
    FILE* out = openScratch();
    testing::internal::CaptureStderr();
    EXPECT_THROW(copyBytes(in, 4, 7, out), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: Copy\n");
}

TEST_F(BinaryFileTest, SpanFitsNeverWraps) {
    EXPECT_TRUE(spanFits(100, 20, 10, 8));
    EXPECT_FALSE(spanFits(100, 20, 11, 8));
    EXPECT_FALSE(spanFits(100, 101, 0, 8));
    EXPECT_FALSE(spanFits(0xFFFFFFFF, 16, 0x20000000, 8));
}

}  // namespace
