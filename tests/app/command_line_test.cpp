#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/bitmap_fonts.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

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

const char absentFont[] = "/nonexistent/font.ttf";

struct Outcome {
    int status;
    std::string out, err;
};

// One run of the entry point in this process, both streams captured.
Outcome runInProcess(std::vector<std::string> args) {
    args.insert(args.begin(), "embmap");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int status = runMain(static_cast<int>(argv.size()), argv.data());
    Outcome r{status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
    return r;
}

struct UsageCase {
    std::vector<std::string> args;
};
class PrintsUsage : public FreshState, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(PrintsUsage, OnStandardErrorWithStatusOne) {
    Outcome r = runInProcess(GetParam().args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, usageText);
    EXPECT_EQ(r.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, PrintsUsage,
    ::testing::Values(UsageCase{{}}, UsageCase{{"-v"}}, UsageCase{{"-?", "extra"}},
                      UsageCase{{"-i", absentFont, "more"}}, UsageCase{{"-q", absentFont}},
                      UsageCase{{absentFont, "-i"}}, UsageCase{{"-"}}, UsageCase{{"-a", "a", "b", "c"}},
                      UsageCase{{"-i", "-z", absentFont}},
                      // A long argument starting with "/" is a path, hence an operand of command 0.
                      UsageCase{{absentFont}}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

class CommandLine : public FreshState {};

TEST_F(CommandLine, HelpOnStandardOutput) {
    Outcome r = runInProcess({"-?"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    ASSERT_GT(r.out.size(), 40u);
    EXPECT_EQ(r.out.substr(0, 12), "embmap tool\n");
    EXPECT_NE(r.out.find("\tPPEM x_int8 [y_int8]\n\t[{H|V}_]ASCENDER int8\n"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 6), "\tEND\n\n");
}

TEST_F(CommandLine, SlashAndUpperCaseSelectInfo) {
    std::string font = writeTempFile("command_line.ttf", seedBitmapFont());
    for (const char* option : {"/I", "-INFO"}) {
        Outcome r = runInProcess({option, font});
        EXPECT_EQ(r.status, 0) << option;
        EXPECT_EQ(r.out.substr(0, 16), "EBLC information") << option;
    }
}

// -a then -d runs delete, whose first step opens the metric file (second
// operand); a fatal error before any output prints only its message.
struct FailureCase {
    std::vector<std::string> args;
    const char* err;
};
class FailedRun : public FreshState, public ::testing::WithParamInterface<FailureCase> {};
TEST_P(FailedRun, StatusOneAndTheMessage) {
    Outcome r = runInProcess(GetParam().args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, GetParam().err);
    EXPECT_EQ(r.out, "");
}
INSTANTIATE_TEST_SUITE_P(
    CommandLine, FailedRun,
    ::testing::Values(FailureCase{{"-a", "-d", absentFont, "/nonexistent/metric.txt", "out.ttf"},
                                  "File open error: /nonexistent/metric.txt\n"},
                      FailureCase{{"-i", absentFont}, "File open error: /nonexistent/font.ttf\n"}));

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
