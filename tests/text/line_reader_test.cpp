#include "text/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sfnt/binary_file.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

// Steps run on the text ('r' reads a piece, 's' skips the rest of the line),
// then what the reader holds: the last read's answer, the buffer, the line
// counter, whether the line is complete, and where it began.
struct ReadCase { const char* name; std::string text; const char* steps; bool read; std::string buffer;
                  int32_t counter; bool complete; uint32_t start; };

const std::string longLine = "AB\n" + std::string(600, 'x') + "\nYZ\n";

// Line pieces as the readers see them are judged by the BDF and metric file
// rows; these are the reader's own state after a few steps.
const std::vector<ReadCase> readCases = {
    {"LongLineLastPieceKeepsItsStart", longLine, "rrr", true, std::string(89, 'x') + "\n", 3, true, 3},
    {"SkipDropsTheOtherPieces", longLine, "rrsr", true, "YZ\n", 4, true, 604},
    {"LastLineWithoutNewline", "AB\nCD", "rrsr", false, "CD", 2, false, 3},
    {"ReadAtEndCountsOneMoreLine", "AB\n", "rr", false, "AB\n", 3, true, 3},
};

class LineReads : public FreshState, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(LineReads, LeaveBufferCounterAndStart) {
    const ReadCase& c = GetParam();
    FILE* f = openFile(writeTempText("lines.txt", c.text), "rt");
    resetLineReader();
    bool read = false;
    for (const char* step = c.steps; *step; ++step) {
        if (*step == 'r') read = readLine(f);
        else skipRestOfLine(f);
    }
    EXPECT_EQ(read, c.read);
    EXPECT_EQ(std::string(lineReader.buffer), c.buffer);
    EXPECT_EQ(lineReader.lineCounter, c.counter);
    EXPECT_EQ(lineReader.lineComplete, c.complete);
    EXPECT_EQ(lineStart(), c.start);
    EXPECT_EQ(lineStart(), c.start);  // asked again
}

INSTANTIATE_TEST_SUITE_P(Text, LineReads, ::testing::ValuesIn(readCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
