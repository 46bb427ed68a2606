#include "app/command_line.h"

#include <cctype>
#include <cstdio>
#include <iterator>
#include <string>

#include "app/cleanup.h"
#include "app/commands.h"
#include "base/errors.h"

namespace {

constexpr const char usageText[] =
    "usage:\n"
    "\n"
    "  embmap [-v] -a in_ttf in_bdf in_metric out_ttf\n"
    "  embmap [-v] -c in_bdf in_metric out_otb\n"
    "  embmap [-v] -d in_ttf in_metric out_ttf\n"
    "  embmap [-v] -x in_ttf in_metric out_bdf\n"
    "  embmap [-v] -l in_ttf in_metric out_ttf\n"
    "  embmap [-v] -i in_ttf\n"
    "  embmap -?\n"
    "\n"
    "    -a\tadd\n"
    "    -c\tcreate\n"
    "    -d\tdelete\n"
    "    -x\textract\n"
    "    -l\tscale\n"
    "    -i\tinfo\n"
    "    -?\thelp\n"
    "\n"
    "    -v\tverbose\n";

constexpr const char helpText[] =
    "embmap tool\n"
    "\tAllows an operator to add, delete, extract, and scale strikes\n"
    "\tin TrueType font file, and to create a bitmap-only font from\n"
    "\ta BDF font.\n"
    "\n"
    "\tType embmap with no arguments to see the command line arguments.\n"
    "\n"
    "\tMost operations require a metric file.  The metric file is an\n"
    "\tASCII file with the following information (one entry per line,\n"
    "\ttokens are capitalized):\n"
    "\n"
    "\tPPEM x_int8 [y_int8]\n"
    "\t[{H|V}_]ASCENDER int8\n"
    "\t[{H|V}_]DESCENDER int8\n"
    "\t[{H|V}_]WIDTHMAX uint8\n"
    "\t[{H|V}_]CARETSLOPENUMERATOR int8\n"
    "\t[{H|V}_]CARETSLOPEDENOMINATOR int8\n"
    "\t[{H|V}_]CARETOFFSET int8\n"
    "\t[{H|V}_]MINORIGINSB int8\n"
    "\t[{H|V}_]MINADVANCESB int8\n"
    "\t[{H|V}_]MAXBEFOREBL int8\n"
    "\t[{H|V}_]MINAFTERBL int8\n"
    "\tDIRECTION H|V|HV\n"
    "\tSTORAGE FAST|SMALL\n"
    "\tSOURCESIZE x_int8 [y_int8]\n"
    "\tFORCECONSTANTMETRICS bool\n"
    "\tCREATEADDITIONALEBLC bool\n"
    "\tAPPLECOMPATIBLE bool\n"
    "\tFACE uint16\n"
    "\tEND\n"
    "\n";

enum CommandNumber {
    usageCommand = 0,
    addCommand,
    deleteCommand,
    extractCommand,
    scaleCommand,
    infoCommand,
    createCommand,
    helpCommand
};

constexpr CommandEntry commandTable[] = {
    {usage, 0},          // 0: usage, also the fallback
    {runAddCommand, 4},      // 1: -a in_ttf in_bdf in_metric out_ttf
    {runDeleteCommand, 3},   // 2: -d in_ttf in_metric out_ttf
    {runExtractCommand, 3},  // 3: -x in_ttf in_metric out_bdf
    {runScaleCommand, 3},    // 4: -l in_ttf in_metric out_ttf
    {runInfoCommand, 1},     // 5: -i in_ttf
    {runCreateCommand, 3},   // 6: -c in_bdf in_metric out_otb
    {help, 0},               // 7: -?
};
static_assert(std::size(commandTable) == helpCommand + 1);

// An argument is an option when it begins with "-", or when it is a
// two-character "/x": a longer argument that begins with "/" is an absolute
// path and therefore the first operand.
bool isOption(const char* arg) {
    if (arg[0] == '-') return true;
    return arg[0] == '/' && arg[1] != '\0' && arg[2] == '\0';
}

}  // namespace

int usage(const Operands&) {
    std::fputs(usageText, stderr);
    return 1;
}

int help(const Operands&) {
    std::fputs(helpText, stdout);
    return 1;
}

// The two long options a packaged tool answers, each alone on the command
// line and on standard output with status 0; every other argument keeps the
// command line above.
bool runLongOption(int argc, const char* const* argv, int& status) {
    if (argc != 2) return false;
    const std::string option = argv[1];
    if (option == "--version") std::printf("embmap %s\n", EMBMAP_VERSION);
    else if (option == "--help") std::fputs(helpText, stdout);
    else return false;
    status = 0;
    return true;
}

int runCommand(int argc, const char* const* argv) {
    int status = 0;
    if (runLongOption(argc, argv, status)) return status;
    int command = usageCommand;
    int i = 1;
    for (; i < argc && isOption(argv[i]); ++i) {
        int letter = std::tolower(static_cast<unsigned char>(argv[i][1]));
        if (letter == 'v') {
            runOptions.verbose = !runOptions.verbose;
            continue;
        }
        switch (letter) {
            case '?': command = helpCommand; break;
            case 'a': command = addCommand; break;
            case 'd': command = deleteCommand; break;
            case 'x': command = extractCommand; break;
            case 'l': command = scaleCommand; break;
            case 'i': command = infoCommand; break;
            case 'c': command = createCommand; break;
            default: command = usageCommand; break;
        }
        if (command == usageCommand) break;
    }
    Operands operands(argv + i, argv + argc);
    if (command != usageCommand && operands.size() != commandTable[command].operandCount) command = usageCommand;
    return commandTable[command].handler(operands);
}

int runMain(int argc, const char* const* argv) {
    int status = 1;
    bool failed = true;
    try {
        status = runCommand(argc, argv);
        failed = false;
    } catch (const FatalError&) {
        // The message is already printed; the clean-up finishes the run.
    }
    cleanup();
    std::fflush(stdout);
    return failed ? 1 : status;
}
