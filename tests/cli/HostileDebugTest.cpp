// vorndbg under what a hostile or unlucky user gives it: program and command
// files that cannot be read or never end, outputs that cannot be written,
// closed standard descriptors, programs that read or write for ever. Each
// case runs the real binary through a shell, bounded in time and memory: a
// hang or a runaway allocation fails the case instead of the machine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Expectations.h"
#include "support/RunProgram.h"

namespace Vorn::Testing {
namespace {

// Generous enough for a sanitizer build; far below what a runaway needs.
constexpr Limits bounds{.seconds = 60, .memoryMb = 300};

const std::string vorndbg = VORNDBG_PATH;
const std::string cannotWrite = "cannot write the standard output.";

ProgramResult shell(const std::string& command, const std::vector<std::string>& arguments = {}) {
    return runShell(command, arguments, "", bounds);
}

// Each ends with one error line and status 1, nothing on standard output.
TEST(HostileDebug, FilesThatCannotBeReadOrNeverEndAreOneErrorLine) {
    const Source program("load A 1\n");
    // Reading /proc/self/mem at offset 0 fails with EIO; /dev/zero never ends
    // and has no line end.
    const std::string mem = "/proc/self/mem";
    const struct {
        std::vector<std::string> arguments;
        std::string input;
        std::string message;
    } cases[] = {
        {{"-s", mem}, "", "cannot read source file '" + mem + "'."},
        {{mem}, "", mem + ", line 1: the file could not be read (an input/output error)."},
        // The source is read as the assembler goes, as vornsim reads it.
        {{"-s", "/dev/zero"}, "", "(line 1) invalid token."},
        {{"-s", program.path, "-x", mem}, "", "cannot read command file '" + mem + "'."},
        {{"-s", program.path, "-x", "/dev/zero"},
         "",
         "line 1 of command file '/dev/zero' is longer than 1048576 bytes."},
        {{"-s", program.path},
         "p A\n" + std::string(2'000'000, 'x') + "\n",
         "line 2 of the standard input is longer than 1048576 bytes."},
    };
    for (const auto& test : cases) {
        const ProgramResult result = runProgram(vorndbg, test.arguments, test.input, bounds);
        EXPECT_EQ(result.limitPassed, "") << test.message;
        EXPECT_EQ(result.status, 1) << test.message;
        EXPECT_EQ(result.err, "Error: " + test.message + "\n");
        // The one command before the long line ran.
        EXPECT_EQ(result.out, test.input.empty() ? "" : "A = 0\n") << test.message;
    }
    const ProgramResult endless = shell("\"$0\" -s \"$1\" </dev/zero", {vorndbg, program.path});
    EXPECT_EQ(endless.limitPassed, "");
    expectFailure(endless, 1, "line 1 of the standard input is longer than 1048576 bytes.");
}

TEST(HostileDebug, AnOutputThatCannotBeWrittenEndsTheRunWithStatus1) {
    const Source writer(":loop write\njump loop\n");
    // Each command line reports vorndbg's exit status after its messages.
    const std::string outputs[] = {
        "printf 'print $pc\\n' | { \"$0\" -s \"$1\" >/dev/full; echo \"status $?\" >&2; }",
        "printf 'print $pc\\n' | { \"$0\" -s \"$1\" >&-; echo \"status $?\" >&2; }",
        // An endless writer stops at the first write that fails.
        "printf 'continue\\n' | { \"$0\" -s \"$1\" >/dev/full; echo \"status $?\" >&2; }",
        // The reader goes after one line; with SIGPIPE ignored the write fails.
        "trap '' PIPE; printf 'continue\\n' | { \"$0\" -s \"$1\"; echo \"status $?\" >&2; } | "
        "head -c 2 >/dev/null",
    };
    for (const std::string& command : outputs) {
        const ProgramResult result = shell(command, {vorndbg, writer.path});
        EXPECT_EQ(result.limitPassed, "") << command;
        EXPECT_EQ(result.err, "Error: " + cannotWrite + "\nstatus 1\n") << command;
    }
}

TEST(HostileDebug, AClosedStandardInputDoesNotTakeTheInputFile) {
    // With descriptor 0 closed, the input file would be opened as 0 and its
    // lines run as commands.
    const Source program("read\njump end\n");
    writeFile(program.dir.file("numbers"), "print $pc\n");
    const ProgramResult result = shell("\"$0\" -s \"$1\" --input \"$2\" <&-",
                                       {vorndbg, program.path, program.dir.file("numbers")});
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.status, 0);
}

// A program that reads on at the end of its input, for many steps: the
// session keeps nothing per read, with or without the history.
TEST(HostileDebug, ReadingPastTheEndOfTheInputTakesNoMemory) {
    const Source reader(":l read\njump l\n");
    for (const std::string history : {"--history=0", "--history=1000000000"}) {
        const ProgramResult result =
            runProgram(vorndbg, {history, "-s", reader.path, "--input", "/dev/null"},
                       "step 30000000\np $step\n", {.seconds = 120, .memoryMb = 120});
        EXPECT_EQ(result.limitPassed, "") << history << ": peak " << result.peakMemoryMb << " MB";
        EXPECT_EQ(result.status, 0) << history;
        EXPECT_NE(result.out.find("$step = 30000000\n"), std::string::npos) << result.out;
    }
    if (builtWithSanitizers()) {
        return;  // a sanitizer reserves more address space than the limit
    }
    const ProgramResult limited = shell(
        "ulimit -v 200000 && echo 'step 30000000' | exec \"$0\" --history 0 -s \"$1\" "
        "--input /dev/null",
        {vorndbg, reader.path});
    EXPECT_EQ(limited.status, 0);
    EXPECT_EQ(limited.err, "");
}

}  // namespace
}  // namespace Vorn::Testing
