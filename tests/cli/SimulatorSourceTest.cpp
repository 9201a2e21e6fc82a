// What vornsim knows of a program run from its source (labels, lines, which
// cells hold instructions), and the run's statistics and write log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Expectations.h"
#include "support/RunProgram.h"

namespace Vorn::Testing {
namespace {

const std::string examples = EXAMPLES_DIR;

ProgramResult vornsim(const std::vector<std::string>& arguments, const std::string& input = "") {
    return runProgram(VORNSIM_PATH, arguments, input, Limits{.seconds = 30, .memoryMb = 0});
}

class Source {
  public:
    explicit Source(const std::string& text) { writeFile(path, text); }
    TemporaryDirectory dir;
    const std::string path = dir.file("program.vorn");
};

// A program that forgets its "jump end" and one whose code runs into its data.
const char* const forgetful = "load O 9\nwrite\n";
const char* const intoData = "load O x\nwrite\n:x 5\n";

TEST(SimulatorSource, TheTraceNamesLinesAndLabels) {
    const ProgramResult result = vornsim({"-s", "--trace", examples + "/countdown.vorn"}, "1");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err,
              "step 1 @0 (line 2): read | I = 1\n"
              "step 2 @1 (line 3): store I count | [8] = 1\n"
              "step 3 @2 (line 4): load O count | O = 1\n"
              "step 4 @3 (line 5): jz O done | no jump\n"
              "step 5 @4 (line 6): write | out 1\n"
              "step 6 @5 (line 7): decr O | O = 0\n"
              "step 7 @6 (line 8): jump loop | jump 3\n"
              "step 8 @3 (line 5): jz O done | jump 7\n"
              "step 9 @7 (line 9): jump end | jump 65535\n");
    // A label comes before a definition or an alias of the same number.
    const Source named("= top fin\n= one 1\njump top\n:next jn A one\n:fin jump end\n");
    const ProgramResult aliases = vornsim({"-s", "--trace", named.path});
    EXPECT_EQ(aliases.status, 0);
    EXPECT_EQ(aliases.err,
              "step 1 @0 (line 3): jump fin | jump 2\nstep 2 @2 (line 5): jump end | jump 65535\n");
    const ProgramResult listed = runProgram(VORNLIST_PATH, {"-s", named.path});
    EXPECT_NE(listed.out.find("  jn A next "), std::string::npos) << listed.out;
}

TEST(SimulatorSource, MemoryRangesTakeLabels) {
    const Source program("jump end\n:list 1\n2\n:lend 3\n:after 4\n");
    const std::pair<std::string, std::string> cases[] = {
        {"list:lend", "[1] = 1 (0x00000001)\n[2] = 2 (0x00000002)\n[3] = 3 (0x00000003)\n"},
        {"after", "[4] = 4 (0x00000004)\n"},
        {"lend:0x4", "[3] = 3 (0x00000003)\n[4] = 4 (0x00000004)\n"},
        {"end", "[65535] = 0 (0x00000000)\n"},
    };
    for (const auto& [range, output] : cases) {
        const ProgramResult result = vornsim({"-s", "--memory", range, program.path});
        EXPECT_EQ(result.status, 0) << range;
        EXPECT_EQ(result.out, output) << range;
    }
    expectFailure(vornsim({"-s", "--memory", "list:nowhere", program.path}), 1,
                  "--memory: 'nowhere' is not a label of the program (vornsim --help lists "
                  "the options).");
    expectFailure(vornsim({"-s", "--memory", "lend:list", program.path}), 1,
                  "--memory: 'lend:list' ends before it starts (vornsim --help lists the "
                  "options).");
}

TEST(SimulatorSource, EnteringDataOrAnEmptyCellWarnsOnce) {
    const std::pair<const char*, std::string> cases[] = {
        {intoData,
         "Warning: execution enters address 2, a data word from line 3 (':x 5'), as an "
         "instruction.\n"},
        {forgetful,
         "Warning: execution enters address 2, a cell that no statement filled (the program "
         "ends at address 1, line 2), as an instruction.\n"},
        {"\n",
         "Warning: execution enters address 0, a cell that no statement filled (the "
         "source fills no cell), as an instruction.\n"},
    };
    for (const auto& [text, warning] : cases) {
        const Source program(text);
        const ProgramResult result = vornsim({"-s", program.path});
        EXPECT_EQ(result.status, 0) << text;
        EXPECT_EQ(result.err, warning) << text;
    }
    // From an image nothing says which words are instructions.
    const Source program(intoData);
    ASSERT_EQ(runProgram(VORNASM_PATH, {program.path, program.dir.file("image")}).status, 0);
    const ProgramResult image = vornsim({program.dir.file("image")});
    EXPECT_EQ(image.status, 0);
    EXPECT_EQ(image.err, "");
}

TEST(SimulatorSource, StrictMakesItAFault) {
    const Source program(intoData);
    const ProgramResult result = vornsim({"-s", "--strict", "--registers", program.path});
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.err,
              "Error: fault at address 2 (strict): execution enters a data word from line 3 "
              "(':x 5').\n");
    EXPECT_NE(result.out.find("\nPC = 2 (the run ended with a fault at 2)\n"), std::string::npos)
        << "the cell did not run";
    const ProgramResult traced = vornsim({"-s", "--strict", "--trace", program.path});
    EXPECT_EQ(traced.status, 3);
    EXPECT_EQ(traced.err,
              "step 1 @0 (line 1): load O x | O = 5\n"
              "step 2 @1 (line 2): write | out 5\n"
              "step 3 @2 (line 3): noop | fault\n"
              "Error: fault at address 2 (strict): execution enters a data word from line 3 "
              "(':x 5').\n");
    const ProgramResult clean = vornsim({"-s", "--strict", examples + "/countdown.vorn"}, "2");
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.err, "");
}

TEST(SimulatorSource, StatsTellTheStepsAndTheEnd) {
    const Source loop(":loop incr A\njump loop\n");
    const Source fault("load B n\nstorei A B\njump end\n:n 100\n");
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string tail;
    } cases[] = {
        {{"--stats", examples + "/countdown.image"}, 0, "steps: 9\nend: halted\n"},
        {{"--stats", "--trace", examples + "/countdown.image"}, 0, "steps: 9\nend: halted\n"},
        {{"--stats", "-s", "--max-steps", "7", loop.path}, 2, "steps: 7\nend: step-limit\n"},
        // The faulting instruction did not run.
        {{"--stats", "-s", fault.path}, 3, "steps: 1\nend: fault\n"},
    };
    for (const auto& [arguments, status, tail] : cases) {
        const ProgramResult result = vornsim(arguments, "1");
        EXPECT_EQ(result.status, status) << arguments[1];
        EXPECT_TRUE(result.err.ends_with(tail)) << result.err;
    }
}

TEST(SimulatorSource, TheWriteLogHasEveryMemoryWrite) {
    const Source program(
        "read\nstore I x\nload B p\nstorei I B\nstore I x\nstorei I A\njump end\n:x 0\n:p "
        "jump y\n:y 9\n");
    TemporaryDirectory dir;
    const ProgramResult result = vornsim({"-s", "--writes", dir.file("w.csv"), program.path}, "4");
    EXPECT_EQ(result.status, 3) << "the last storei faults and writes nothing";
    EXPECT_EQ(readFile(dir.file("w.csv")),
              "step,instruction_address,address,old_value,new_value\n"
              "2,1,7,0,4\n"
              "4,3,9,9,4\n"
              "5,4,7,4,4\n");
    const ProgramResult image =
        vornsim({"--writes", dir.file("c.csv"), "--trace", examples + "/countdown.image"}, "3");
    EXPECT_EQ(image.status, 0);
    EXPECT_EQ(readFile(dir.file("c.csv")),
              "step,instruction_address,address,old_value,new_value\n2,1,8,0,3\n");
    expectFailure(vornsim({"--writes", dir.path(), examples + "/countdown.image"}), 1,
                  "cannot write the write log '" + dir.path() + "'.");
    const ProgramResult full = vornsim({"--writes", "/dev/full", "-s", program.path}, "4");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "Error: cannot write the write log '/dev/full'.\n");
}

}  // namespace
}  // namespace Vorn::Testing
