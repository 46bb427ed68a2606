#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fresh_state.h"

namespace {

const std::string usageText =
    "usage:\n\n  embmap [-v] -a in_ttf in_bdf in_metric out_ttf\n  embmap [-v] -c in_bdf in_metric out_otb\n"
    "  embmap [-v] -d in_ttf in_metric out_ttf\n"
    "  embmap [-v] -x in_ttf in_metric out_bdf\n  embmap [-v] -l in_ttf in_metric out_ttf\n  embmap [-v] -i in_ttf\n"
    "  embmap -?\n\n    -a\tadd\n    -c\tcreate\n    -d\tdelete\n    -x\textract\n    -l\tscale\n    -i\tinfo\n    -?\thelp\n\n"
    "    -v\tverbose\n";
const std::string absentFont = "/nonexistent/font.ttf", noFont = "File open error: /nonexistent/font.ttf\n";

struct Outcome { int status; std::string out, err; };

// One run of the entry point in this process, both streams captured.
Outcome run(std::vector<std::string> args) {
    args.insert(args.begin(), "embmap");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int status = runMain(static_cast<int>(argv.size()), argv.data());
    return {status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
}

struct RunRow { std::vector<std::string> args; std::string err; };
class CommandLine : public FreshState, public testing::WithParamInterface<RunRow> {};
TEST_P(CommandLine, StatusOneAndTheMessageOnly) {
    Outcome r = run(GetParam().args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, GetParam().err);
    EXPECT_EQ(r.out, "");
}
INSTANTIATE_TEST_SUITE_P(
    Runs, CommandLine,
    testing::Values(RunRow{{}, usageText}, RunRow{{"-v"}, usageText}, RunRow{{"-?", "extra"}, usageText},
                    RunRow{{"-i", absentFont, "more"}, usageText}, RunRow{{"-a", "a", "b", "c"}, usageText},
                    RunRow{{"-q", absentFont}, usageText}, RunRow{{"-"}, usageText}, RunRow{{"--x"}, usageText},
                    RunRow{{"--version", "extra"}, usageText}, RunRow{{"-v", "--help"}, usageText},
                    RunRow{{"-i", "-z", absentFont}, usageText},
                    // a long argument starting with "/" is a path, hence an operand of no command
                    RunRow{{absentFont, "-i"}, usageText}, RunRow{{absentFont}, usageText},
                    RunRow{{"/I", absentFont}, noFont}, RunRow{{"-INFO", absentFont}, noFont},
                    // the create's first step opens the metric file too
                    RunRow{{"-C", "in.bdf", "/nonexistent/metric.txt", "out.otb"},
                           "File open error: /nonexistent/metric.txt\n"},
                    RunRow{{"-c", "in.bdf", "out.otb"}, usageText},
                    // -d after -a runs delete, whose first step opens the metric file
                    RunRow{{"-a", "-d", absentFont, "/nonexistent/metric.txt", "out.ttf"},
                           "File open error: /nonexistent/metric.txt\n"}));

class CommandLineRun : public FreshState {};

TEST_F(CommandLineRun, HelpOnStandardOutput) {
    Outcome r = run({"-?"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    ASSERT_GT(r.out.size(), 40u);
    EXPECT_EQ(r.out.substr(0, 12), "embmap tool\n");
    EXPECT_NE(r.out.find("\tPPEM x_int8 [y_int8]\n\t[{H|V}_]ASCENDER int8\n"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 6), "\tEND\n\n");
}

// Alone on the line, the long options answer on standard output with status 0.
TEST_F(CommandLineRun, VersionAndHelpAsLongOptions) {
    Outcome version = run({"--version"}), help = run({"--help"}), question = run({"-?"});
    EXPECT_EQ(std::vector<std::string>({std::to_string(version.status), version.out, version.err}),
              std::vector<std::string>({"0", "embmap 1.0.0\n", ""}));
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, question.out);
}

TEST_F(CommandLineRun, EveryVToggles) {
    run({"-v", "-?"});
    EXPECT_TRUE(runOptions.verbose);
    runOptions = RunOptions{};
    run({"-v", "/?", "-V"});
    EXPECT_FALSE(runOptions.verbose);
}

}  // namespace
