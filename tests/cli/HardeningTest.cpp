// The tools under what a hostile or unlucky user gives them: files that
// cannot be read, too little memory, closed standard descriptors, outputs
// that cannot be written, inputs that are not numbers, a full disk, bytes
// that would upset a terminal. Each case runs the real binaries through a
// shell, bounded in time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Expectations.h"
#include "support/RunProgram.h"

namespace Vorn::Testing {
namespace {

constexpr Limits bounds{.seconds = 30, .memoryMb = 0};

const std::string vornasm = VORNASM_PATH;
const std::string vornsim = VORNSIM_PATH;
const std::string vornlist = VORNLIST_PATH;
const std::string examples = EXAMPLES_DIR;
const std::string cannotWrite = "Error: cannot write the standard output.\n";

// Runs a shell command line; "$0", "$1"... are `arguments`.
ProgramResult shell(const std::string& command, const std::vector<std::string>& arguments = {},
                    const std::string& input = "") {
    std::vector<std::string> all = {"-c", command};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return runProgram("/bin/sh", all, input, bounds);
}

// A source written to a fresh directory.
class Source {
  public:
    explicit Source(const std::string& text) { writeFile(path, text); }
    TemporaryDirectory dir;
    const std::string path = dir.file("program.vorn");
};

const char* const endlessWriter = ":loop write\njump loop\n";

TEST(Hardening, AReadErrorIsOneErrorLine) {
    // Reading this file at offset 0 fails with EIO.
    const std::string mem = "/proc/self/mem";
    TemporaryDirectory dir;
    const std::pair<ProgramResult, std::string> cases[] = {
        {runProgram(vornasm, {mem, dir.file("out.img")}, "", bounds), "invalid input file."},
        {runProgram(vornsim, {mem}, "", bounds),
         mem + ", line 1: the file could not be read (an input/output error)."},
        {runProgram(vornsim, {"-s", mem}, "", bounds), "cannot read source file '" + mem + "'."},
        {runProgram(vornlist, {mem}, "", bounds),
         mem + ", line 1: the file could not be read (an input/output error)."},
        {runProgram(vornlist, {"-s", mem}, "", bounds), "cannot read source file '" + mem + "'."},
    };
    for (const auto& [result, message] : cases) {
        expectFailure(result, 1, message);
    }
    EXPECT_EQ(readFile(dir.file("out.img")), "");
}

TEST(Hardening, OutOfMemoryIsOneErrorLine) {
    if (builtWithSanitizers()) {
        GTEST_SKIP() << "a sanitizer reserves more address space than the limit";
    }
    // The name is copied into the symbol table, which the limit cannot hold.
    const Source program("= " + std::string(30'000'000, 'a') + " 5\n");
    const ProgramResult result = shell("ulimit -v 60000 && exec \"$0\" \"$1\" \"$2\"",
                                       {vornasm, program.path, program.dir.file("out.img")});
    expectFailure(result, 1, "out of memory.");
}

TEST(Hardening, ClosedStandardDescriptorsTakeNoFile) {
    const Source program("load A 1 2\n");
    const std::string error =
        "Error: (line 1, token number('2')) expecting end-of-line or end-of-file.\n";
    for (const std::string redirection : {"2>&-", "<&-", ">&-", "<&- >&- 2>&-"}) {
        const ProgramResult result = shell("\"$0\" \"$1\" \"$2\" " + redirection,
                                           {vornasm, program.path, program.dir.file("out.img")});
        EXPECT_EQ(result.status, 0) << redirection;
        EXPECT_EQ(readFile(program.dir.file("out.img")), "") << redirection;
        // With standard error closed the message goes nowhere, and not into the image.
        EXPECT_EQ(result.err, redirection.find("2>&-") == std::string::npos ? error : "")
            << redirection;
    }

    // A closed output stops an endless writer; a closed input is an input error.
    const Source writer(endlessWriter);
    const ProgramResult output = shell("\"$0\" -s \"$1\" >&-", {vornsim, writer.path});
    EXPECT_EQ(output.status, 1);
    EXPECT_EQ(output.err, cannotWrite);
    const ProgramResult input =
        shell("\"$0\" \"$1\" <&-", {vornsim, examples + "/countdown.image"});
    expectFailure(input, 1,
                  "cannot read the standard input (an input error, not the end of the input).");
}

TEST(Hardening, AFailedWriteEndsTheRun) {
    const Source writer(endlessWriter);
    const std::string outputs[] = {
        "\"$0\" -s \"$1\" >/dev/full",
        "\"$0\" -s \"$1\" >&-",
        // The reader goes after one line; with SIGPIPE ignored the write fails.
        "trap '' PIPE; \"$0\" -s \"$1\" | head -c 2 >/dev/null; exit \"$(($? + 0))\"",
    };
    for (const std::string& command : outputs) {
        const ProgramResult result = shell(command, {vornsim, writer.path});
        EXPECT_EQ(result.limitPassed, "") << command;
        EXPECT_EQ(result.err, cannotWrite) << command;
    }
    const ProgramResult piped =
        shell("trap '' PIPE; \"$0\" -s \"$1\" 2>\"$2\" | head -c 2 >/dev/null; cat \"$2\"",
              {vornsim, writer.path, writer.dir.file("err")});
    EXPECT_EQ(piped.limitPassed, "");
    EXPECT_EQ(piped.out, cannotWrite);

    for (const std::string& tool : {vornsim, vornlist}) {
        for (const char* option : {"--help", "--version"}) {
            const ProgramResult result = shell("\"$0\" \"$1\" >/dev/full", {tool, option});
            expectFailure(result, 1, "cannot write the standard output.");
        }
    }
    // The trace: a short one fails at the end, an endless one at once.
    const ProgramResult shortTrace =
        shell("\"$0\" --trace \"$1\" 2>/dev/full", {vornsim, examples + "/countdown.image"}, "2");
    EXPECT_EQ(shortTrace.status, 1);
    EXPECT_EQ(shortTrace.out, "2\n");
    const Source loop(":loop incr A\njump loop\n");
    const ProgramResult endlessTrace =
        shell("\"$0\" --trace -s \"$1\" 2>/dev/full", {vornsim, loop.path});
    EXPECT_EQ(endlessTrace.limitPassed, "");
    EXPECT_EQ(endlessTrace.status, 1);
}

TEST(Hardening, ManyWritesToAFileAreTheSameBytes) {
    const Source program(
        "load O count\n:loop write\ndecr O\njz O done\njump loop\n:done jump end\n"
        ":count 100000\n");
    const ProgramResult result =
        shell("\"$0\" -s \"$1\" >\"$2\"", {vornsim, program.path, program.dir.file("out")});
    EXPECT_EQ(result.status, 0);
    std::string expected;
    for (int value = 100000; value > 0; --value) {
        expected += std::to_string(value) + "\n";
    }
    EXPECT_TRUE(readFile(program.dir.file("out")) == expected);
}

TEST(Hardening, OutputComesBeforeEachRead) {
    // The program's first line reaches the pipe before it waits for input:
    // the shell answers only once it has read it.
    const Source program("load O one\nwrite\nread\nload O two\nwrite\njump end\n:one 1\n:two 2\n");
    const ProgramResult result = shell(
        "mkfifo \"$2/in\" \"$2/out\"; \"$0\" -s \"$1\" <\"$2/in\" >\"$2/out\" & "
        "exec 3>\"$2/in\" 4<\"$2/out\"; read -r first <&4; echo 7 >&3; exec 3>&-; "
        "read -r second <&4; echo \"$first $second\"; wait",
        {vornsim, program.path, program.dir.path()});
    EXPECT_EQ(result.limitPassed, "");
    EXPECT_EQ(result.out, "1 2\n");
}

TEST(Hardening, OnATerminalEachLineIsWrittenAtOnce) {
    // The program writes a line and loops until it is killed: at a terminal
    // (a pseudo-terminal, through script) the line is out already; into a
    // file it is still in the buffer.
    const Source program("load O x\nwrite\n:loop jump loop\n:x 5\n");
    const ProgramResult terminal =
        shell("script -qec \"timeout -s KILL 1 '$0' -s '$1'\" /dev/null", {vornsim, program.path});
    // A shell that waits for timeout may add its own notice of the kill
    // ("Killed") after the program's line.
    EXPECT_TRUE(terminal.out.starts_with("5\r\n")) << terminal.out;
    const ProgramResult file = shell("timeout -s KILL 1 \"$0\" -s \"$1\" >\"$2\"; cat \"$2\"",
                                     {vornsim, program.path, program.dir.file("out")});
    EXPECT_EQ(file.out, "");
}

TEST(Hardening, AnInputErrorIsNotTheEndOfTheInput) {
    const std::string image = examples + "/countdown.image";
    const ProgramResult directory = shell("\"$0\" --trace \"$1\" <\"$2\"", {vornsim, image, "/"});
    EXPECT_EQ(directory.status, 1);
    EXPECT_EQ(directory.err,
              "step 1 @0: read | I unchanged (input error)\n"
              "Error: cannot read the standard input (an input error, not the end of the "
              "input).\n");
    const ProgramResult ended = shell("\"$0\" \"$1\" </dev/null", {vornsim, image});
    EXPECT_EQ(ended.status, 0);
    EXPECT_EQ(ended.err, "");
}

TEST(Hardening, ReadTakesANumberAsAStreamDoes) {
    const Source program("read\nread\njump end\n");
    const std::pair<const char*, const char*> cases[] = {
        {"0x10", "I = 0 | I unchanged (not a number)"},
        {"12abc", "I = 12 | I unchanged (not a number)"},
        {"5.5", "I = 5 | I unchanged (not a number)"},
        {"1e3", "I = 1 | I unchanged (not a number)"},
        {"-2147483648 7", "I = -2147483648 | I = 7"},
        // After a word that is not taken, no later read takes anything.
        {"2147483648 7", "I unchanged (out of range) | I unchanged (not a number)"},
        {"-2147483649", "I unchanged (out of range) | I unchanged (end of input)"},
        {"+5 x", "I = 5 | I unchanged (not a number)"},
        {" \n", "I unchanged (end of input) | I unchanged (end of input)"},
    };
    for (const auto& [input, effects] : cases) {
        const ProgramResult result = runProgram(vornsim, {"--trace", "-s", program.path}, input);
        EXPECT_EQ(result.status, 0) << input;
        const std::string effectText = effects;
        const std::size_t bar = effectText.find(" | ");
        EXPECT_EQ(result.err, "step 1 @0 (line 1): read | " + effectText.substr(0, bar) +
                                  "\nstep 2 @1 (line 2): read | " + effectText.substr(bar + 3) +
                                  "\nstep 3 @2 (line 3): jump end | jump 65535\n")
            << input;
    }
}

TEST(Hardening, AFullDiskLeavesNoCutImage) {
    // A file size limit of one 512-byte block: the write fails with EFBIG.
    const Source program(repeatedLine("load A 100", 1000));
    const ProgramResult result = shell("trap '' XFSZ; ulimit -f 1 && exec \"$0\" \"$1\" \"$2\"",
                                       {vornasm, program.path, program.dir.file("out.img")});
    expectFailure(result, 1, "cannot write output file.");
    EXPECT_EQ(readFile(program.dir.file("out.img")), "");
}

TEST(Hardening, NamesAndValuesAreEscapedInMessages) {
    const std::string name = "no\nsuch\x1b[31m";
    expectFailure(runProgram(vornsim, {name}, "", bounds), 1,
                  "cannot read image file 'no\\x0Asuch\\x1B[31m'.");
    expectFailure(runProgram(vornlist, {"-s", name}, "", bounds), 1,
                  "cannot read source file 'no\\x0Asuch\\x1B[31m'.");
    expectFailure(runProgram(vornsim, {"--bogus\n", name}, "", bounds), 1,
                  "unknown option '--bogus\\x0A' (vornsim --help lists the options).");
    TemporaryDirectory dir;
    writeFile(dir.file("bad\n.image"), "1\nx\n");
    expectFailure(runProgram(vornsim, {dir.file("bad\n.image")}, "", bounds), 1,
                  dir.path() + "/bad\\x0A.image, line 2: 'x' is not a signed decimal number.");
}

TEST(Hardening, AListingStaysInProportionToItsSource) {
    std::string text = ":" + std::string(1'000'000, 'n') + " 0\n";
    for (int i = 0; i < 100; ++i) {
        text += ":label" + std::to_string(i) + " " + std::to_string(i) + "\n";
    }
    const Source program(text);
    const ProgramResult result = runProgram(vornlist, {"-s", program.path}, "", bounds);
    EXPECT_EQ(result.status, 0);
    EXPECT_LT(result.out.size(), 3 * text.size()) << "the listing is " << result.out.size();
    // Names up to 24 bytes share one column width; a longer one overflows it.
    EXPECT_NE(result.out.find("\nlabel0" + std::string(18 + 2 + 10, ' ') + "1  0x00000001\n"),
              std::string::npos);
}

TEST(Hardening, RegistersAfterAFaultAtTheLastAddressSaySo) {
    // storei at 65534 through B, which holds 0: a word without an address field.
    const Source program("* 65534 noop\nstorei A B\n");
    const ProgramResult result =
        runProgram(vornsim, {"-s", "--registers", program.path}, "", bounds);
    EXPECT_EQ(result.status, 3);
    EXPECT_NE(result.out.find("\nPC = 65535 (the run ended with a fault at 65534)\n"),
              std::string::npos)
        << result.out;
}

}  // namespace
}  // namespace Vorn::Testing
