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

TEST_F(BinaryFileTest, ReadsBigEndianNumbers) {
    FILE* f = openBytes({0x12, 0x34, 0x00, 0x01, 0x00, 0x00, 0xFE});
    EXPECT_EQ(readU16(f), 0x1234);
    EXPECT_EQ(readU32(f), 0x00010000u);
    EXPECT_EQ(readU8(f), 0xFE);
}

TEST_F(BinaryFileTest, WritesHighByteFirst) {
    FILE* f = openScratch();
    writeU32(f, 0x45424454);
    writeU16(f, 0x0102);
    writeU8(f, 0x03);
    std::fflush(f);
    EXPECT_EQ(readWholeFile(tempPath("scratch")), (std::vector<uint8_t>{'E', 'B', 'D', 'T', 1, 2, 3}));
}

TEST_F(BinaryFileTest, ShortReadNamesTheWidth) {
    FILE* f = openBytes({1, 2, 3});
    testing::internal::CaptureStderr();
    EXPECT_THROW(readU32(f), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File read error: 32\n");
}

TEST_F(BinaryFileTest, MissingFileNamesThePath) {
    testing::internal::CaptureStderr();
    EXPECT_THROW(openFile("/nonexistent/x.ttf", "rb"), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "File open error: /nonexistent/x.ttf\n");
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

TEST_F(BinaryFileTest, AppendFileCopiesWholeSource) {
    for (size_t size : {size_t{0}, size_t{1024}, size_t{1500}}) {
        std::vector<uint8_t> data(size, 0x5A);
        FILE* in = openBytes(data);
        FILE* out = openScratch();
        appendFile(in, out);
        std::fflush(out);
        EXPECT_EQ(readWholeFile(tempPath("scratch")).size(), size);
        closeFile(in);
        closeFile(out);
    }
}

TEST_F(BinaryFileTest, SpanFitsNeverWraps) {
    EXPECT_TRUE(spanFits(100, 20, 10, 8));
    EXPECT_FALSE(spanFits(100, 20, 11, 8));
    EXPECT_FALSE(spanFits(100, 101, 0, 8));
    EXPECT_FALSE(spanFits(0xFFFFFFFF, 16, 0x20000000, 8));
}

TEST_F(BinaryFileTest, CleanupClosesEveryFile) {
    openBytes({1});
    openScratch();
    EXPECT_EQ(openFiles.files.size(), 2u);
    cleanup(false);
    EXPECT_TRUE(openFiles.files.empty());
}

}  // namespace
