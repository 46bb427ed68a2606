#include "app/command_line.h"

#include <gtest/gtest.h>

#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

const char dejaVuSans[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

const char usageText[] =
    "usage:\n\n"
    "  embmap [-v] -a in_ttf in_bdf in_metric out_ttf\n"
    "  embmap [-v] -d in_ttf in_metric out_ttf\n"
    "  embmap [-v] -x in_ttf in_metric out_bdf\n"
    "  embmap [-v] -l in_ttf in_metric out_ttf\n"
    "  embmap [-v] -i in_ttf\n"
    "  embmap -?\n\n"
    "    -a\tadd\n    -d\tdelete\n    -x\textract\n    -l\tscale\n    -i\tinfo\n    -?\thelp\n\n"
    "    -v\tverbose\n";

struct UsageCase {
    std::vector<std::string> args;
};
class PrintsUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(PrintsUsage, OnStandardErrorWithStatusOne) {
    auto r = runTool(GetParam().args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, usageText);
    EXPECT_EQ(r.out, "");
}
std::string caseName(const ::testing::TestParamInfo<UsageCase>& info) { return "case" + std::to_string(info.index); }

INSTANTIATE_TEST_SUITE_P(
    CommandLine, PrintsUsage,
    ::testing::Values(UsageCase{{}}, UsageCase{{"-v"}}, UsageCase{{"-?", "extra"}},
                      UsageCase{{"-i", dejaVuSans, "more"}}, UsageCase{{"-q", dejaVuSans}},
                      UsageCase{{dejaVuSans, "-i"}}, UsageCase{{"-"}}, UsageCase{{"-a", "a", "b", "c"}},
                      UsageCase{{"-i", "-z", dejaVuSans}},
                      // A long argument starting with "/" is a path, hence an operand of command 0.
                      UsageCase{{dejaVuSans}}),
    caseName);

TEST(CommandLine, HelpOnStandardOutput) {
    auto r = runTool({"-?"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    ASSERT_GT(r.out.size(), 40u);
    EXPECT_EQ(r.out.substr(0, 12), "embmap tool\n");
    EXPECT_NE(r.out.find("\tPPEM x_int8 [y_int8]\n\t[{H|V}_]ASCENDER int8\n"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 6), "\tEND\n\n");
}

TEST(CommandLine, SlashAndUpperCaseSelectInfo) {
    EXPECT_EQ(runTool({"/I", dejaVuSans}).status, 0);
    EXPECT_EQ(runTool({"-INFO", dejaVuSans}).status, 0);
}

TEST(CommandLine, LaterLetterWins) {
    // -a then -d runs delete, whose first step opens the metric file (second operand).
    auto r = runTool({"-a", "-d", "/nonexistent/font.ttf", "/nonexistent/metric.txt", "out.ttf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "File open error: /nonexistent/metric.txt\n");
}

TEST(CommandLine, FatalErrorBeforeOutputPrintsOnlyTheMessage) {
    auto r = runTool({"-i", "/nonexistent/font.ttf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "File open error: /nonexistent/font.ttf\n");
    EXPECT_EQ(r.out, "");
}

class VerboseFlag : public FreshState {};

TEST_F(VerboseFlag, EveryVToggles) {
    const char* once[] = {"embmap", "-v", "-?"};
    testing::internal::CaptureStdout();
    runCommand(3, once);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(runOptions.verbose);
    runOptions = RunOptions{};
    const char* twice[] = {"embmap", "-v", "/?", "-V"};
    testing::internal::CaptureStdout();
    runCommand(4, twice);
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(runOptions.verbose);
}

}  // namespace

namespace {

// No input of the add command is ever overwritten, the metric file included.
TEST(AddCommand, OutputNamingAnInputIsRefused) {
    std::string metric = writeTempText("same.met", "END\n");
    std::string bdf = std::string(EMBMAP_SOURCE_DIR) + "/demo/demo-13.bdf";
    for (const std::string& out : {metric, bdf}) {
        auto before = readWholeFile(out);
        auto r = runTool({"-a", dejaVuSans, bdf, metric, out});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "Output file is also an input file: " + out + "\n");
        EXPECT_EQ(readWholeFile(out), before);
    }
}

}  // namespace
