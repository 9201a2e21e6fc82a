// vorngrade as teachers run it: real files, standard streams and exit status.
// The report formats themselves are checked byte for byte by the files under
// tests/grading/.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Expectations.h"
#include "support/RunProgram.h"

namespace Vorn::Testing {
namespace {

const std::string examples = EXAMPLES_DIR;
const std::string usageHint = " (vorngrade --help lists the options).";

ProgramResult vorngrade(const std::vector<std::string>& arguments) {
    return runProgram(VORNGRADE_PATH, arguments, "", {.seconds = 60, .memoryMb = 1024});
}

const std::string sumSuite = R"(name = "sum"
[[case]]
name = "two"
input = [1, 2, 0]
output = [3]
[[case]]
name = "none"
input = [0]
output = [0]
memory = { sum = 0 }
)";

// A suite and programs written to a fresh directory.
class Files {
  public:
    explicit Files(const std::string& suiteText = sumSuite) { writeFile(suite, suiteText); }
    std::string program(const std::string& name, const std::string& text) const {
        writeFile(dir.file(name), text);
        return dir.file(name);
    }
    TemporaryDirectory dir;
    const std::string suite = dir.file("sum.toml");
};

TEST(GraderCommand, AllPassedIsStatusZero) {
    const Files files;
    const ProgramResult result = vorngrade({files.suite, examples + "/sum.vorn"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, examples +
                              "/sum.vorn: 2/2\n  pass            two (1/1)\n"
                              "  pass            none (1/1)\nsum: 1 of 1 program passed "
                              "every case\n");
    EXPECT_EQ(result.err, "");
}

TEST(GraderCommand, HelpAndVersion) {
    const ProgramResult help = vorngrade({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"SUITE", "PROGRAM", "--image", "--json", "--junit", "--csv",
                               "--gradescope", "--prairielearn", "--github-classroom", "--teacher",
                               "--summary", "--print-input", "--jobs", "--color", "Exit status"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
    const ProgramResult version = vorngrade({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("vorngrade ") + VORN_VERSION + "\n");
}

TEST(GraderCommand, UsageAndFileErrorsAreStatusTwo) {
    const Files files;
    const std::string program = examples + "/sum.vorn";
    const std::string missing = files.dir.file("missing.toml");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "no SUITE given" + usageHint},
        {{files.suite}, "no PROGRAM given" + usageHint},
        {{"-j", "0", files.suite, program}, "--jobs: Value 0 not in range 1 to 1024" + usageHint},
        {{"--color", "sometimes", files.suite, program},
         "--color: sometimes not in {auto,always,never}" + usageHint},
        {{missing, program}, "cannot read suite file '" + missing + "'."},
        {{files.dir.path(), program}, "cannot read suite file '" + files.dir.path() + "'."},
        {{"--junit", files.dir.path(), files.suite, program},
         "cannot write the JUnit report '" + files.dir.path() + "'."},
        {{"--csv", files.dir.file("no/such/dir.csv"), files.suite, program},
         "cannot write the CSV report '" + files.dir.file("no/such/dir.csv") + "'."},
        {{"--gradescope", files.dir.file("r.json"), files.suite, program, program},
         "--gradescope reports one submission: give one PROGRAM, not 2."},
        {{"--summary", "--json", files.suite, program}, "--json excludes --summary" + usageHint},
    };
    for (const auto& [arguments, message] : cases) {
        const ProgramResult result = vorngrade(arguments);
        EXPECT_EQ(result.status, 2) << message;
        EXPECT_EQ(result.err, "Error: " + message + "\n");
        if (message.find("report") == std::string::npos) {
            EXPECT_EQ(result.out, "") << message;
        }
    }
}

// Programs finish in any order; the reports keep the order given.
TEST(GraderCommand, ParallelReportsKeepTheOrderGiven) {
    const Files files;
    const std::string good = examples + "/sum.vorn";
    const std::string slow = files.program("slow.vorn",
                                           "= n 300000\n"
                                           "load A count\n:loop jz A done\n"
                                           "decr A\njump loop\n:done jump end\n"
                                           ":count n\n");
    std::vector<std::string> arguments = {"--json", "-j", "4", files.suite};
    std::string expectedOrder;
    for (int i = 0; i < 24; ++i) {
        const std::string program =
            i % 3 == 0 ? slow : files.program(std::to_string(i) + ".vorn", readFile(good));
        arguments.push_back(program);
        expectedOrder += program + "\n";
    }
    const ProgramResult result = vorngrade(arguments);
    EXPECT_EQ(result.status, 1);
    std::string order;
    for (std::size_t at = result.out.find("\"file\":\""); at != std::string::npos;
         at = result.out.find("\"file\":\"", at + 1)) {
        const std::size_t start = at + 8;
        order += result.out.substr(start, result.out.find('"', start) - start) + "\n";
    }
    EXPECT_EQ(order, expectedOrder);
}

TEST(GraderCommand, ImagesAreGradedWithoutLabels) {
    const Files files;
    const std::string image = examples + "/sum.image";
    const ProgramResult result = vorngrade({"--image", files.suite, image});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, image +
                              ": 1/2\n  pass            two (1/1)\n"
                              "  wrong-state     none (0/1)\n"
                              "      " +
                              files.suite +
                              ", line 10: case[2].memory.sum: the program defines no label 'sum' "
                              "(a memory image has no labels: give its source with --symbols).\n"
                              "      replay: printf '%s\\n' 0 | vornsim " +
                              image +
                              " --max-steps 1000000 --trace\n"
                              "      debug: vorndbg " +
                              image +
                              " --input <(printf '%s\\n' 0)\nsum: 0 of 1 program passed every "
                              "case\n");
    const std::string bad = files.program("bad.image", "1\nx\n");
    const ProgramResult malformed = vorngrade({"--json", "--image", files.suite, bad});
    // The error once, for the program; each case has its verdict.
    EXPECT_NE(malformed.out.find("\"error\":\"Error: " + bad +
                                 ", line 2: 'x' is not a signed decimal number.\""),
              std::string::npos)
        << malformed.out;
    EXPECT_NE(malformed.out.find("\"verdict\":\"assembly-error\",\"points\":0,\"visibility\":"
                                 "\"visible\",\"steps\":0,\"expected\":[3],\"output\":[],"
                                 "\"output_lines\":0,\"message\":\"\"}"),
              std::string::npos)
        << malformed.out;
}

// With the labels of its source, an image's memory is checked by label; a
// strict case's replay command runs as printed, --strict included.
TEST(GraderCommand, ImagesTakeTheirSourcesSymbolsAndReplayAsPrinted) {
    const Files files("strict = true\n" + sumSuite);
    const std::string image = examples + "/sum.image";
    const ProgramResult labelled =
        vorngrade({"--image", "--symbols", examples + "/sum.vorn", files.suite, image});
    EXPECT_EQ(labelled.status, 0) << labelled.out;
    expectFailure(
        vorngrade({"--image", "--symbols", files.dir.file("none.vorn"), files.suite, image}), 2,
        "--symbols '" + files.dir.file("none.vorn") + "': cannot read source file '" +
            files.dir.file("none.vorn") + "'.");
    expectFailure(vorngrade({"--symbols", examples + "/sum.vorn", files.suite, image}), 2,
                  "--symbols requires --image" + usageHint);

    const ProgramResult failed = vorngrade({"--image", files.suite, examples + "/countdown.image"});
    const std::size_t start = failed.out.find("replay: ");
    ASSERT_NE(start, std::string::npos) << failed.out;
    const std::string replay =
        failed.out.substr(start + 8, failed.out.find('\n', start) - start - 8);
    EXPECT_NE(replay.find(" --strict --trace"), std::string::npos) << replay;
    const std::string simulator = VORNSIM_PATH;
    const ProgramResult replayed = runProgram(
        "/bin/bash",
        {"-c", "PATH=\"$0:$PATH\" && " + replay, simulator.substr(0, simulator.rfind('/'))});
    EXPECT_EQ(replayed.status, 0) << replay << "\n" << replayed.err;
    EXPECT_NE(replayed.err.find("step 1 @0:"), std::string::npos) << replayed.err.substr(0, 300);
}

// --similarity compares submissions instead of grading them: a copy under a
// hostile name is found, named escaped in each format, and its lines shown.
TEST(GraderCommand, SimilarityFindsACopyUnderAnyName) {
    const Files files;
    const std::string original = examples + "/sum.vorn";
    const std::string copy =
        files.program("it's\n<b>\"]]>.vorn",
                      "; mine\n  zero A\n:again read\n  jz I finish ; stop\n  add I\n  jump again\n"
                      ":finish store A total\n  load O total\n  write\n  jump end\n:total 0\n");
    const std::string other = examples + "/table.vorn";
    const ProgramResult text = vorngrade({"--similarity", original, other, copy});
    EXPECT_EQ(text.status, 1) << text.err;
    EXPECT_EQ(text.out.substr(0, 6), "1.00  ") << text.out;
    EXPECT_NE(text.out.find("it's\\x0A<b>\"]]>.vorn\n      lines 2-11 ~ lines 2-11\n"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("1 pair of 3 submissions at or above 0.50 similarity"),
              std::string::npos);

    const std::string page = files.dir.file("page.html");
    const ProgramResult json =
        vorngrade({"--similarity", "--json", "--html", page, original, other, copy});
    EXPECT_EQ(json.status, 1);
    EXPECT_NE(json.out.find(R"(it's\n<b>\"]]>.vorn","similarity":1.0,)"
                            R"("matches":[{"a_lines":[2,11],"b_lines":[2,11]}]})"),
              std::string::npos)
        << json.out;
    const std::string html = readFile(page);
    EXPECT_NE(html.find("it&#39;s\n&lt;b&gt;&quot;]]&gt;.vorn</h2>"), std::string::npos) << html;
    EXPECT_EQ(html.find("<b>"), std::string::npos);

    const ProgramResult none = vorngrade({"--similarity", "--threshold", "0.9", original, other});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out,
              "0 pairs of 2 submissions at or above 0.90 similarity (a signal for a "
              "person to read, not a verdict)\n");
    expectFailure(vorngrade({"--similarity", original, files.dir.file("gone.vorn")}), 2,
                  "cannot read source file '" + files.dir.file("gone.vorn") + "'.");
    expectFailure(vorngrade({"--threshold", "0.3", files.suite, original}), 2,
                  "--threshold requires --similarity" + usageHint);
}

// Colour on a terminal only, unless --color says otherwise.
TEST(GraderCommand, ColourOnlyOnATerminal) {
    const Files files;
    const std::string program = examples + "/sum.vorn";
    EXPECT_EQ(vorngrade({files.suite, program}).out.find('\x1b'), std::string::npos);
    EXPECT_NE(vorngrade({"--color", "always", files.suite, program}).out.find("\x1b[32mpass"),
              std::string::npos);
    // script(1) runs the command on a pseudo-terminal.
    const std::string command = std::string(VORNGRADE_PATH) + " " + files.suite + " " + program;
    const ProgramResult terminal =
        runProgram("/usr/bin/script", {"-qec", command, "/dev/null"}, "", {.seconds = 60});
    EXPECT_EQ(terminal.status, 0);
    EXPECT_NE(terminal.out.find("\x1b[32mpass"), std::string::npos) << terminal.out;
    const ProgramResult never = runProgram(
        "/usr/bin/script",
        {"-qec", std::string(VORNGRADE_PATH) + " --color never " + files.suite + " " + program,
         "/dev/null"},
        "", {.seconds = 60});
    EXPECT_EQ(never.out.find('\x1b'), std::string::npos) << never.out;
}

}  // namespace
}  // namespace Vorn::Testing
