// vornsim as users run it: real files, standard streams and exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/Expectations.h"
#include "support/RunProgram.h"

namespace Vorn::Testing {
namespace {

const std::string examples = EXAMPLES_DIR;
const std::string usageHint = " (vornsim --help lists the options).";

ProgramResult vornsim(const std::vector<std::string>& arguments, const std::string& input = "") {
    return runProgram(VORNSIM_PATH, arguments, input);
}

TEST(SimulatorCommand, RunsAnImageWithStandardInput) {
    const ProgramResult result = vornsim({examples + "/countdown.image"}, "3\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "3\n2\n1\n");
    EXPECT_EQ(result.err, "");
}

TEST(SimulatorCommand, RunsASourceWithAnInputFile) {
    TemporaryDirectory dir;
    writeFile(dir.file("numbers"), "1 2\r\n3\n0\n");
    const ProgramResult result =
        vornsim({"--source", "--input", dir.file("numbers"), examples + "/sum.vorn"}, "100 0\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "6\n") << "the input file, not standard input";
    EXPECT_EQ(result.err, "");
}

TEST(SimulatorCommand, ReadLeavesIUnchangedWhenNoNumberComes) {
    const Source program(
        "read\nwrite\nload O seven\nread\nstore I x\nload O x\nwrite\nread\nload O x\nwrite\n"
        "jump end\n:seven 7\n:x 0\n");
    // O is 0 first; then I keeps 5 once the input holds no more numbers.
    const std::pair<const char*, const char*> cases[] = {
        {"5", "0\n5\n5\n"},
        {"5 x 6", "0\n5\n5\n"},
        {"", "0\n0\n0\n"},
    };
    for (const auto& [input, output] : cases) {
        const ProgramResult result = vornsim({"-s", program.path}, input);
        EXPECT_EQ(result.status, 0) << input;
        EXPECT_EQ(result.out, output) << input;
    }
}

TEST(SimulatorCommand, ProfileAndReadCheckOptionsReportTheirErrors) {
    TemporaryDirectory dir;
    writeFile(dir.file("a.vorn"), "load A 10\njump end\n");
    const ProgramResult unwritable =
        vornsim({"-s", "--profile", dir.file("no/such/dir/p.csv"), dir.file("a.vorn")});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(unwritable.err,
              "Error: cannot write the profile '" + dir.file("no/such/dir/p.csv") + "'.\n");
    const ProgramResult format =
        vornsim({"-s", "--profile", dir.file("p"), "--profile-format", "xml", dir.file("a.vorn")});
    EXPECT_EQ(format.status, 1);
    EXPECT_NE(format.err.find("--profile-format"), std::string::npos) << format.err;
    const ProgramResult seed = vornsim({"-s", "--random-memory", "-1", dir.file("a.vorn")});
    EXPECT_EQ(seed.status, 1);
    // Without --check-reads, reading memory nothing wrote says nothing.
    const ProgramResult quiet = vornsim({"-s", dir.file("a.vorn")});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
    const ProgramResult checked = vornsim({"-s", "--check-reads", dir.file("a.vorn")});
    EXPECT_EQ(checked.status, 0);
    EXPECT_EQ(checked.err,
              "Warning: line 1 (load A 10) reads address 10, which neither the "
              "program's image nor the run has written.\n");
    // An image has no lines: the instruction's address instead.
    writeFile(dir.file("a.image"), "268435466\n-805240833\n");
    const ProgramResult image = vornsim({"--check-reads", dir.file("a.image")});
    EXPECT_EQ(image.err,
              "Warning: the instruction at address 0 (load A 10) reads address 10, "
              "which neither the program's image nor the run has written.\n");
}

TEST(SimulatorCommand, TracesEachStepOnStandardError) {
    const ProgramResult result = vornsim({"--trace", examples + "/countdown.image"}, "1 x");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "1\n");
    EXPECT_EQ(result.err,
              "step 1 @0: read | I = 1\n"
              "step 2 @1: store I 8 | [8] = 1\n"
              "step 3 @2: load O 8 | O = 1\n"
              "step 4 @3: jz O 7 | no jump\n"
              "step 5 @4: write | out 1\n"
              "step 6 @5: decr O | O = 0\n"
              "step 7 @6: jump 3 | jump 3\n"
              "step 8 @3: jz O 7 | jump 7\n"
              "step 9 @7: jump 65535 | jump 65535\n");
}

TEST(SimulatorCommand, TracesEveryKindOfEffect) {
    const Source program(
        "noop\nread\nread\nzero A\njn A end\nneg A\nadd A\nload B p\nloadi C B\nstorei A B\n"
        "sub A\nincr D\n:p jump end\n");
    const ProgramResult result = vornsim({"-s", "--trace", program.path}, "4 nine");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err,
              "step 1 @0 (line 1): noop | no change\n"
              "step 2 @1 (line 2): read | I = 4\n"
              "step 3 @2 (line 3): read | I unchanged (not a number)\n"
              "step 4 @3 (line 4): zero A | A = 0\n"
              "step 5 @4 (line 5): jn A end | no jump\n"
              "step 6 @5 (line 6): neg A | A = -1\n"
              "step 7 @6 (line 7): add A | A = -2\n"
              "step 8 @7 (line 8): load B p | B = -805240833\n"
              "step 9 @8 (line 9): loadi C B | C = 0\n"
              "step 10 @9 (line 10): storei A B | [65535] = -2\n"
              "step 11 @10 (line 11): sub A | A = 0\n"
              "step 12 @11 (line 12): incr D | D = 1\n"
              "step 13 @12 (line 13): jump end | jump 65535\n");
}

TEST(SimulatorCommand, ATraceEndsAtTheStepLimit) {
    const Source program(":loop incr A\njump loop\n");
    const ProgramResult result = vornsim({"-s", "--trace", "--max-steps", "3", program.path});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err,
              "step 1 @0 (line 1): incr A | A = 1\n"
              "step 2 @1 (line 2): jump loop | jump 0\n"
              "step 3 @0 (line 1): incr A | A = 2\n"
              "Error: step limit reached: 3 steps run and the program has not halted (next "
              "address 1, line 2).\n");
}

TEST(SimulatorCommand, TheStepLimitCountsInstructions) {
    // Halts after exactly 4 steps.
    const Source program("incr A\nincr A\nincr A\njump end\n");
    const std::pair<const char*, int> cases[] = {{"0", 2}, {"3", 2}, {"4", 0}, {"5", 0}};
    for (const auto& [limit, status] : cases) {
        const ProgramResult result = vornsim({"-s", "--max-steps", limit, program.path});
        EXPECT_EQ(result.status, status) << limit;
        EXPECT_EQ(result.err.empty(), status == 0) << limit;
    }
}

TEST(SimulatorCommand, AFaultNamesTheInstructionAndItsAddress) {
    const Source program("load B n\nincr A\nstorei A B\njump end\n:n 100\n");
    const ProgramResult result = vornsim({"-s", "--registers", program.path});
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.err,
              "Error: fault at address 2, line 3 (storei A B): register B holds 100, a word "
              "without an address field.\n");
    EXPECT_NE(result.out.find("A = 1 (0x00000001)\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("PC = 3 (the run ended with a fault at 2)\n"), std::string::npos)
        << "the counter moved past it";

    const ProgramResult traced = vornsim({"-s", "--trace", program.path});
    EXPECT_EQ(traced.status, 3);
    EXPECT_NE(traced.err.find("step 3 @2 (line 3): storei A B | fault\nError: fault at address 2"),
              std::string::npos)
        << traced.err;
}

TEST(SimulatorCommand, PrintsRegistersAndMemoryAfterTheRun) {
    const ProgramResult result = vornsim({"--registers", "--memory", "7:8", "--memory",
                                          "0xFFFF:0xffff", examples + "/countdown.image"},
                                         "2");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "2\n1\n"
              "A = 0 (0x00000000)\nB = 0 (0x00000000)\nC = 0 (0x00000000)\n"
              "D = 0 (0x00000000)\nE = 0 (0x00000000)\nF = 0 (0x00000000)\n"
              "G = 0 (0x00000000)\nH = 0 (0x00000000)\nI = 2 (0x00000002)\n"
              "J = 0 (0x00000000)\nK = 0 (0x00000000)\nL = 0 (0x00000000)\n"
              "M = 0 (0x00000000)\nN = 0 (0x00000000)\nO = 0 (0x00000000)\n"
              "P = 0 (0x00000000)\nPC = 65535\n"
              "[7] = -805240833 (0xD000FFFF)\n[8] = 2 (0x00000002)\n"
              "[65535] = 0 (0x00000000)\n");
}

TEST(SimulatorCommand, AStepLimitStillPrintsTheState) {
    const Source program(":loop incr A\njump loop\n");
    const ProgramResult result =
        vornsim({"-s", "--max-steps", "5", "--memory", "0:0", program.path});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "[0] = -2147483648 (0x80000000)\n");
}

TEST(SimulatorCommand, RejectsBadUsage) {
    const std::string image = examples + "/countdown.image";
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "no FILE given"},
        {{"--bogus", image}, "unknown option '--bogus'"},
        {{image, "extra"}, "unexpected argument 'extra'"},
        {{"--memory", "1:2", image, "extra"}, "unexpected argument 'extra'"},
        {{"--max-steps=", image}, "--max-steps: the value after '=' is empty"},
        {{"--max-steps", "5", "--max-steps", "6", image}, "--max-steps is given more than once"},
        {{"--trace=3", image}, "--trace takes no value"},
        {{std::string("no\nsuch\x1b[31m"), "extra"}, "unexpected argument 'extra'"},
        {{"--max-steps", "\x1b[31m", image},
         "--max-steps: '\\x1B[31m' is not a whole number from 0 to 2^64 - 1"},
        {{"--max-steps", "-1", image},
         "--max-steps: '-1' is not a whole number from 0 to 2^64 - 1"},
        {{"--max-steps", "ten", image},
         "--max-steps: 'ten' is not a whole number from 0 to 2^64 - 1"},
        {{"--max-steps", "18446744073709551616", image},
         "--max-steps: '18446744073709551616' is not a whole number from 0 to 2^64 - 1"},
        {{"--memory", "9:8", image}, "--memory: '9:8' ends before it starts"},
        {{"--memory", "0:65536", image},
         "--memory: '65536' is not an address from 0 to 65535 (or 0xFFFF)"},
        {{"--memory", "1:x-y", image},
         "--memory: 'x-y' is not an address from 0 to 65535 (or 0xFFFF)"},
        {{"--memory", "count", image}, "--memory: 'count' is a name, and an image has no labels"},
        {{"--input"}, "--input needs a value"},
    };
    for (const auto& [arguments, message] : cases) {
        expectFailure(vornsim(arguments), 1, std::string(message) + usageHint);
    }
}

TEST(SimulatorCommand, ReportsFilesThatCannotBeRead) {
    TemporaryDirectory dir;
    const std::string image = examples + "/countdown.image";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{dir.file("missing")}, "cannot read image file '" + dir.file("missing") + "'."},
        {{dir.path()}, "cannot read image file '" + dir.path() + "'."},
        {{"-s", dir.file("missing")}, "cannot read source file '" + dir.file("missing") + "'."},
        {{"--input", dir.file("none"), image},
         "cannot read input file '" + dir.file("none") + "'."},
        {{"--input", dir.path(), image}, "cannot read input file '" + dir.path() + "'."},
    };
    for (const auto& [arguments, message] : cases) {
        expectFailure(vornsim(arguments), 1, message);
    }
}

TEST(SimulatorCommand, AMalformedImageNamesItsLine) {
    TemporaryDirectory dir;
    const std::pair<std::string, std::string> cases[] = {
        {"1\n2\nthree\n", "line 3: 'three' is not a signed decimal number"},
        {"1\n\n2\n", "line 2: empty line, expected a signed decimal number"},
        {"-2147483649\n", "line 1: '-2147483649' does not fit in 32 bits"},
    };
    for (const auto& [text, problem] : cases) {
        writeFile(dir.file("bad.image"), text);
        const ProgramResult result = vornsim({dir.file("bad.image")});
        EXPECT_EQ(result.status, 1) << problem;
        EXPECT_EQ(result.err, "Error: " + dir.file("bad.image") + ", " + problem + ".\n");
    }
    const ProgramResult source = vornsim({examples + "/sum.vorn"});
    EXPECT_EQ(source.status, 1);
    EXPECT_EQ(source.err, "Error: " + examples +
                              "/sum.vorn, line 1: '; Reads numbers until a zero and writes ...' "
                              "is not a signed decimal number (an assembly source needs "
                              "--source).\n");
}

// vornasm's exact error line, then the analysis's hint on a line of its own
// where it has one; vornasm itself writes the one line only.
TEST(SimulatorCommand, ReportsAssemblyErrorsAsTheAssemblerDoesWithTheHint) {
    const std::pair<std::string, std::string> cases[] = {
        {"5\n6\nload Q 1\n",
         "A register operand is one of the registers A to P, written out; a name defined with "
         "'=' cannot stand for a register."},
        {"jump nowhere\n",
         "'nowhere' is first used on line 1, and no label (':nowhere') or definition "
         "('= nowhere ...') gives it a value."},
        {"= a b\n= b a\na\n", ""},
    };
    for (const auto& [text, hint] : cases) {
        const Source program(text);
        const ProgramResult assembled =
            runProgram(VORNASM_PATH, {program.path, program.dir.file("image")});
        const ProgramResult result = vornsim({"--source", program.path});
        EXPECT_EQ(result.status, 1) << text;
        EXPECT_EQ(std::count(assembled.err.begin(), assembled.err.end(), '\n'), 1) << text;
        EXPECT_EQ(result.err, assembled.err + (hint.empty() ? "" : "hint: " + hint + "\n")) << text;
        EXPECT_TRUE(result.err.starts_with("Error: ")) << text;
        EXPECT_EQ(result.out, "");
    }
}

TEST(SimulatorCommand, ReportsAnOutputThatCannotBeWritten) {
    const ProgramResult result = runProgram(
        "/bin/sh",
        {"-c", std::string(VORNSIM_PATH) + " \"$0\" >/dev/full", examples + "/countdown.image"},
        "2");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Error: cannot write the standard output.\n");
}

TEST(SimulatorCommand, HelpAndVersion) {
    const ProgramResult help = vornsim({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    for (const char* option : {"--source", "--input", "--max-steps", "--trace", "--registers",
                               "--memory", "Exit status"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
    const ProgramResult version = vornsim({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("vornsim ") + VORN_VERSION + "\n");
}

}  // namespace
}  // namespace Vorn::Testing
