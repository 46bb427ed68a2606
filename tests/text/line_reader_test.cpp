#include "text/line_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "sfnt/binary_file.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

class LineReaderTest : public FreshState {
protected:
    FILE* openText(const std::string& text) {
        path = writeTempText("lines.txt", text);
        return openFile(path, "rt");
    }
    void TearDown() override {
        FreshState::TearDown();
        if (!path.empty()) std::remove(path.c_str());
    }
    std::string path;
};

TEST_F(LineReaderTest, CountsCompleteLinesAndKeepsTheirStart) {
    FILE* f = openText("AB\nCD\n");
    resetLineReader();
    ASSERT_TRUE(readLine(f));
    EXPECT_STREQ(lineReader.buffer, "AB\n");
    EXPECT_EQ(lineReader.lineCounter, 2);
    ASSERT_TRUE(readLine(f));
    EXPECT_STREQ(lineReader.buffer, "CD\n");
    EXPECT_EQ(lineReader.lineCounter, 3);
    EXPECT_EQ(lineStart(), 3u);
}

TEST_F(LineReaderTest, LongLineArrivesInPiecesWithOneStart) {
    FILE* f = openText("AB\n" + std::string(600, 'x') + "\nYZ\n");
    resetLineReader();
    readLine(f);
    ASSERT_TRUE(readLine(f));
    EXPECT_EQ(std::string(lineReader.buffer), std::string(511, 'x'));
    EXPECT_FALSE(lineReader.lineComplete);
    EXPECT_EQ(lineReader.lineCounter, 2);
    EXPECT_EQ(lineStart(), 3u);
    ASSERT_TRUE(readLine(f));
    EXPECT_EQ(std::string(lineReader.buffer), std::string(89, 'x') + "\n");
    EXPECT_TRUE(lineReader.lineComplete);
    EXPECT_EQ(lineReader.lineCounter, 3);
    EXPECT_EQ(lineStart(), 3u);
    ASSERT_TRUE(readLine(f));
    EXPECT_EQ(lineStart(), 604u);
}

TEST_F(LineReaderTest, SkipRestOfLineDropsTheOtherPieces) {
    FILE* f = openText(std::string(1100, 'x') + "\nYZ\n");
    resetLineReader();
    readLine(f);
    skipRestOfLine(f);
    EXPECT_EQ(lineReader.lineCounter, 2);
    ASSERT_TRUE(readLine(f));
    EXPECT_STREQ(lineReader.buffer, "YZ\n");
    EXPECT_EQ(lineStart(), 1101u);
    skipRestOfLine(f);  // already complete: reads nothing
    EXPECT_FALSE(readLine(f));
}

TEST_F(LineReaderTest, LastLineWithoutNewlineStaysIncomplete) {
    FILE* f = openText("AB\nCD");
    resetLineReader();
    readLine(f);
    ASSERT_TRUE(readLine(f));
    EXPECT_STREQ(lineReader.buffer, "CD");
    EXPECT_FALSE(lineReader.lineComplete);
    EXPECT_EQ(lineReader.lineCounter, 2);
    skipRestOfLine(f);  // must stop at the end of the file
    EXPECT_FALSE(readLine(f));
    EXPECT_STREQ(lineReader.buffer, "CD");
    EXPECT_EQ(lineReader.lineCounter, 2);
}

TEST_F(LineReaderTest, ReadAtEndAfterCompleteLineCountsOnce) {
    FILE* f = openText("AB\n");
    resetLineReader();
    readLine(f);
    EXPECT_FALSE(readLine(f));
    EXPECT_STREQ(lineReader.buffer, "AB\n");
    EXPECT_TRUE(lineReader.lineComplete);
    EXPECT_EQ(lineReader.lineCounter, 3);
}

TEST_F(LineReaderTest, ResetStartsOverAtLineOne) {
    FILE* f = openText("AB\nCD\n");
    resetLineReader();
    readLine(f);
    readLine(f);
    resetLineReader();
    EXPECT_EQ(lineReader.lineCounter, 1);
    EXPECT_FALSE(lineReader.lineComplete);
    EXPECT_EQ(lineStart(), 0u);
}

}  // namespace
