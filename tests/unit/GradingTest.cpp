// The grading core without a command: suites from text, one case's run from a
// source, and the report writers on names that hold every byte.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "grading/Grade.h"
#include "grading/Parallel.h"
#include "grading/Report.h"
#include "grading/Suite.h"

namespace Vorn::Grading {
namespace {

Submission assemble(const std::string& source, const std::string& file = "p.vorn") {
    return loadedSubmission(file, Program::fromSource(source));
}

std::string errorOf(const std::string& suite) {
    try {
        readSuite(suite, "s.toml");
    } catch (const SuiteError& error) {
        return error.what();
    }
    return "no error";
}

TEST(Suite, DefaultsAndOverrides) {
    const Suite suite = readSuite(R"(
max-steps = 500
strict = true
[[case]]
output = []
[[case]]
name = "second"
input = [-2147483648, 2147483647]
output = [1]
points = 3
max-steps = 7
max-output = 0
strict = false
memory = { total = 1, 0x10 = 2, 3 = -3 }
registers = { P = 4 }
)",
                                  "dir/maximum.toml");
    EXPECT_EQ(suite.name, "maximum");  // the file's name when the suite has none
    ASSERT_EQ(suite.cases.size(), 2U);
    EXPECT_EQ(suite.cases[0].name, "case 1");
    EXPECT_EQ(suite.cases[0].points, 1);
    EXPECT_EQ(suite.cases[0].maxSteps, 500U);
    EXPECT_EQ(suite.cases[0].maxOutput, Suite::defaultMaxOutput);
    EXPECT_TRUE(suite.cases[0].strict);
    const Case& second = suite.cases[1];
    EXPECT_EQ(second.input, (std::vector<std::int32_t>{-2147483648, 2147483647}));
    EXPECT_EQ(second.maxSteps, 7U);
    EXPECT_EQ(second.maxOutput, 0U);
    EXPECT_FALSE(second.strict);
    EXPECT_EQ(suite.maxScore(), 4);
    ASSERT_EQ(second.memory.size(), 3U);
    EXPECT_EQ(second.memory[0].label, "total");
    EXPECT_EQ(second.memory[1].address, 16);
    EXPECT_EQ(second.memory[2].value, -3);
    EXPECT_EQ(second.memory[0].place.text(), "dir/maximum.toml, line 14: case[2].memory.total");
    ASSERT_EQ(second.registers.size(), 1U);
    EXPECT_EQ(second.registers[0].reg, RegisterId::P);
}

TEST(Suite, TooLargeBeforeParsing) {
    const std::string huge(Suite::maxFileBytes + 1, '#');
    EXPECT_EQ(errorOf(huge), "s.toml: larger than 4 MB, too large for a suite");
    EXPECT_EQ(errorOf(""), "s.toml: no cases (each begins with [[case]])");
}

// What the machine's run ends in decides the verdict; after a halt, the
// output comes before the state.
struct VerdictCase {
    const char* source;
    const char* suite;
    Verdict verdict;
    const char* firstLine;
};

TEST(GradeCase, EachEndingGivesItsVerdict) {
    const std::vector<VerdictCase> table = {
        {"read\nstore I 9\nload O 9\nwrite\njump end\n",
         "[[case]]\ninput = [4]\noutput = [4]\nmemory = { 9 = 4 }\n", Verdict::Pass, ""},
        {"read\nstore I 9\nload O 9\nwrite\njump end\n",
         "[[case]]\ninput = [4]\noutput = [5]\nmemory = { 9 = 0 }\n", Verdict::WrongOutput,
         "output line 1 is 4, expected 5."},
        {"read\nstore I 9\nload O 9\nwrite\njump end\n",
         "[[case]]\ninput = [4]\noutput = [4]\nregisters = { I = 5 }\n", Verdict::WrongState,
         "register I holds 4, expected 5."},
        {":x jump x\n", "[[case]]\noutput = []\nmax-steps = 3\n", Verdict::StepLimit,
         "step limit reached: 3 steps run and the program has not halted (next address 0, line "
         "1)."},
        {"zero A\n:x write\njump x\n", "[[case]]\noutput = [0]\nmax-output = 1\n",
         Verdict::TooMuchOutput,
         "output limit reached: 1 line written and the program has not halted (next write at "
         "address 1, line 2)."},
        {"incr B\nloadi A B\n", "[[case]]\noutput = []\n", Verdict::Fault,
         "fault at address 1, line 2 (loadi A B): register B holds 1, a word without an address "
         "field."},
        {"noop\n", "[[case]]\noutput = []\nstrict = true\n", Verdict::Fault,
         "fault at address 1 (strict): execution enters a cell that no statement filled (the "
         "program ends at address 0, line 1)."},
        // Not strict: through empty memory (noop) to the halt at 65535.
        {"noop\n", "[[case]]\noutput = []\n", Verdict::Pass, ""},
        {"jump 2\n7\njump end\n", "[[case]]\noutput = []\nstrict = true\n", Verdict::Pass, ""},
        {"jump 1\n7\n", "[[case]]\noutput = []\nstrict = true\n", Verdict::Fault,
         "fault at address 1 (strict): execution enters a data word from line 2 ('7')."},
        {"load A\n", "[[case]]\noutput = []\n", Verdict::AssemblyError,
         "Error: (line 1, token end-of-line) expecting number or identifier."},
    };
    for (const VerdictCase& each : table) {
        const Suite suite = readSuite(each.suite, "s.toml");
        const CaseResult result = gradeCase(suite.cases[0], assemble(each.source));
        EXPECT_EQ(nameOf(result.verdict), nameOf(each.verdict)) << each.source;
        if (*each.firstLine != 0) {
            EXPECT_EQ(result.message.substr(0, result.message.find('\n')), each.firstLine);
        }
        EXPECT_EQ(result.points, result.verdict == Verdict::Pass ? 1 : 0);
    }
}

TEST(GradeCase, OutputKeptUpToMaxOutput) {
    const Suite suite = readSuite("[[case]]\noutput = [1]\nmax-output = 2\n", "s.toml");
    const CaseResult result = gradeCase(suite.cases[0], assemble("incr O\n:x write\njump x\n"));
    EXPECT_EQ(result.output, (std::vector<std::int32_t>{1, 1}));
    EXPECT_EQ(result.steps, 5U);  // the stopped write did not run
}

TEST(GradeCase, ReplayCommandsQuoteAnyPath) {
    const Suite suite = readSuite(
        "[[case]]\ninput = [-1, 2]\noutput = [1]\nmax-steps = 9\n"
        "[[case]]\noutput = [1]\nstrict = true\n",
        "s.toml");
    const Submission submission = assemble("jump end\n", "-it's a\nfile.vorn");
    EXPECT_EQ(gradeCase(suite.cases[0], submission).message,
              "output line 1 is missing, expected 1 (0 lines written, 1 expected).\n"
              "replay: printf '%s\\n' -1 2 | vornsim -s $'./-it\\'s a\\x0afile.vorn' "
              "--max-steps 9 --trace\n"
              "debug: vorndbg -s $'./-it\\'s a\\x0afile.vorn' --input <(printf '%s\\n' -1 2)");
    const Submission image = loadedSubmission("a b.image", Program::fromImage({}));
    EXPECT_EQ(
        gradeCase(suite.cases[1], image).message,
        "fault at address 0 (strict): execution enters a cell past the image (the image has 0 "
        "words).\n"
        "replay: vornsim 'a b.image' --max-steps 1000000 --strict --trace < /dev/null\n"
        "debug: vorndbg 'a b.image' --input /dev/null");
    EXPECT_EQ(shellQuoted("plain/path-1.vorn"), "plain/path-1.vorn");
    EXPECT_EQ(shellQuoted(""), "''");
}

// A name with every byte, through each writer.
class Reports : public ::testing::Test {
  protected:
    Reports() {
        suite.name = "s";
        Case first;
        first.name = "a,\"b\"";
        first.output = {1};
        Case second;
        second.name = "<&>\t\x01\x7f\xff\xc3\xa9";
        second.output = {};
        suite.cases = {first, second};
        ProgramResult program;
        program.file = "dir/x,\n\"y\"\r.vorn";
        program.score = 1;
        program.maxScore = 2;
        program.cases = {
            CaseResult{Verdict::Pass, 1, 3, {1}, 1, "", {}},
            CaseResult{Verdict::WrongOutput, 0, 2, {5}, 1, "why <\x02>\nreplay: x", {}}};
        results = {program};
    }

    Suite suite;
    std::vector<ProgramResult> results;
};

TEST_F(Reports, TextShowsControlBytes) {
    std::ostringstream out;
    writeText(out, {suite, results}, false);
    EXPECT_EQ(out.str(),
              "dir/x,\\n\"y\"\\r.vorn: 1/2\n"
              "  pass            a,\"b\" (1/1)\n"
              "  wrong-output    <&>\\t\\x01\\x7F\xff\xc3\xa9 (0/1)\n"
              "      why <\\x02>\n"
              "      replay: x\n"
              "s: 0 of 1 program passed every case\n");
    std::ostringstream coloured;
    writeText(coloured, {suite, results}, true);
    EXPECT_NE(coloured.str().find("\x1b[32mpass            \x1b[0ma,"), std::string::npos);
}

TEST_F(Reports, JsonIsValidUtf8WithEveryControlByteEscaped) {
    std::ostringstream out;
    writeJson(out, {suite, results});
    EXPECT_EQ(
        out.str(),
        R"({"suite":"s","programs":[{"file":"dir/x,\n\"y\"\r.vorn","score":1,"max_score":2,)"
        R"("error":null,"cases":[{"name":"a,\"b\"","verdict":"pass","points":1,)"
        R"("visibility":"visible","steps":3,"expected":[1],)"
        R"("output":[1],"output_lines":1,"message":""},{"name":"<&>\t\u0001)"
        "\x7f\xef\xbf\xbd\xc3\xa9"
        R"(","verdict":"wrong-output","points":0,"visibility":"visible","steps":2,"expected":[],)"
        R"("output":[5],"output_lines":1,)"
        R"("message":"why <\u0002>\nreplay: x"}]}]})"
        "\n");
}

TEST_F(Reports, JUnitEscapesMarkupAndReplacesWhatXmlCannotHold) {
    std::ostringstream out;
    writeJUnit(out, {suite, results});
    EXPECT_EQ(out.str(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<testsuites name=\"s\" tests=\"2\" failures=\"1\" errors=\"0\">\n"
              "  <testsuite name=\"dir/x,&#10;&quot;y&quot;&#13;.vorn\" tests=\"2\" "
              "failures=\"1\" errors=\"0\" skipped=\"0\">\n"
              "    <properties>\n"
              "      <property name=\"score\" value=\"1\"/>\n"
              "      <property name=\"max_score\" value=\"2\"/>\n"
              "    </properties>\n"
              "    <testcase name=\"a,&quot;b&quot;\" classname=\"dir/x,&#10;&quot;y&quot;&#13;"
              ".vorn\"/>\n"
              "    <testcase name=\"&lt;&amp;&gt;&#9;\xef\xbf\xbd\x7f\xef\xbf\xbd\xc3\xa9\" "
              "classname=\"dir/x,&#10;&quot;y&quot;&#13;.vorn\">\n"
              "      <failure type=\"wrong-output\" message=\"why &lt;\xef\xbf\xbd&gt;\">why "
              "&lt;\xef\xbf\xbd&gt;\nreplay: x</failure>\n"
              "    </testcase>\n"
              "  </testsuite>\n"
              "</testsuites>\n");
}

TEST_F(Reports, CsvQuotesWhatNeedsIt) {
    std::ostringstream out;
    writeCsv(out, {suite, results});
    EXPECT_EQ(out.str(),
              "file,score,max_score,\"a,\"\"b\"\"\",<&>\t\x01\x7f\xff\xc3\xa9\r\n"
              "\"dir/x,\n\"\"y\"\"\r.vorn\",1,2,1,0\r\n");
}

// The platforms' files carry the same names: valid JSON, every byte kept or
// replaced, nothing a page could render as markup (the formats say "text").
TEST_F(Reports, PlatformFilesEscapeEveryName) {
    const std::string name = R"("<&>\t\u0001)"
                             "\x7f\xef\xbf\xbd\xc3\xa9";
    std::ostringstream gradescope;
    writeGradescope(gradescope, {suite, results});
    EXPECT_EQ(gradescope.str(),
              R"({"score":1,"execution_time":0,"output":"dir/x,\n\"y\"\r.vorn: 1/2 points",)"
              R"("output_format":"text","test_output_format":"text","test_name_format":"text",)"
              R"("tests":[{"name":"a,\"b\"","score":1,"max_score":1,"status":"passed",)"
              R"("output":"","visibility":"visible"},{"name":)" +
                  name +
                  R"(","score":0,"max_score":1,"status":"failed","output":)"
                  R"("wrong-output: why <\u0002>\nreplay: x","visibility":"visible"}]})"
                  "\n");
    std::ostringstream prairieLearn;
    writePrairieLearn(prairieLearn, {suite, results});
    EXPECT_EQ(prairieLearn.str(),
              R"({"gradable":true,"score":0.5,"message":"dir/x,\n\"y\"\r.vorn: 1/2 points",)"
              R"("tests":[{"name":"a,\"b\"","points":1,"max_points":1,"message":"","output":""},)"
              R"({"name":)" +
                  name +
                  R"(","points":0,"max_points":1,"message":"wrong-output: why <\u0002>",)"
                  R"("output":"replay: x"}]})"
                  "\n");
    // Hidden, the case keeps its name, verdict and points only.
    suite.cases[1].visibility = Visibility::Hidden;
    std::ostringstream gitHub;
    writeGitHubClassroom(gitHub, {suite, results});
    EXPECT_EQ(gitHub.str(),
              R"({"version":1,"status":"fail","max_score":2,"tests":[{"name":"a,\"b\"",)"
              R"("status":"pass","score":1,"message":null,"test_code":"",)"
              R"("filename":"dir/x,\n\"y\"\r.vorn","line_no":0},{"name":)" +
                  name +
                  R"(","status":"fail","score":0,"message":"wrong-output","test_code":"",)"
                  R"("filename":"dir/x,\n\"y\"\r.vorn","line_no":0}]})"
                  "\n");
    std::ostringstream teacher;
    writeGitHubClassroom(teacher, {suite, results, true});
    EXPECT_NE(
        teacher.str().find(R"("message":"wrong-output: why <\u0002>","test_code":"replay: x")"),
        std::string::npos);
}

// With coverage: the uncovered lines as ranges, quoted in the grade book;
// the lines of each case whose details are shown, named after it.
TEST_F(Reports, CoverageInTheGradeBookAndJUnit) {
    results[0].uncoveredLines = {3, 7, 8, 9};
    results[0].lineRuns = {1, 1, 0, 1, 1, 1, 0, 0, 0};
    results[0].cases[0].lines = {1, 2, 4};
    results[0].cases[1].lines = {1, 2, 5, 6};
    suite.cases[1].visibility = Visibility::Hidden;
    const Report report{suite, results, false, 0, true};
    std::ostringstream csv;
    writeCsv(csv, report);
    EXPECT_EQ(csv.str(),
              "file,score,max_score,\"a,\"\"b\"\"\",<&>\t\x01\x7f\xff\xc3\xa9,uncovered_lines\r\n"
              "\"dir/x,\n\"\"y\"\"\r.vorn\",1,2,1,0,\"3, 7-9\"\r\n");
    std::ostringstream junit;
    writeJUnit(junit, report);
    EXPECT_NE(
        junit.str().find("      <property name=\"max_score\" value=\"2\"/>\n"
                         "      <property name=\"uncovered_lines\" value=\"3, 7-9\"/>\n"
                         "      <property name=\"lines: a,&quot;b&quot;\" value=\"1-2, 4\"/>\n"
                         "    </properties>\n"),
        std::string::npos)
        << junit.str();
    std::ostringstream gradescope;
    writeGradescope(gradescope, report);
    EXPECT_NE(gradescope.str().find(R"(1/2 points\nno case ran lines 3, 7-9",)"), std::string::npos)
        << gradescope.str();
    // A program that was not run has no lines to report.
    results[0].lineRuns.clear();
    std::ostringstream notRun;
    writeJUnit(notRun, report);
    EXPECT_EQ(notRun.str().find("lines"), std::string::npos);
}

TEST_F(Reports, SummaryIsALinePerProgram) {
    std::ostringstream out;
    writeSummary(out, {suite, results});
    EXPECT_EQ(out.str(), "dir/x,\\n\"y\"\\r.vorn: 1/2 .O\ns: 0 of 1 program passed every case\n");
}

TEST(ValidUtf8, ReplacesEachBadByte) {
    EXPECT_EQ(validUtf8("a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"),
              "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80");
    EXPECT_EQ(validUtf8("\xc0\xaf"), "\xef\xbf\xbd\xef\xbf\xbd");                  // overlong
    EXPECT_EQ(validUtf8("\xed\xa0\x80"), "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");  // surrogate
    EXPECT_EQ(validUtf8("\xe2\x82"), "\xef\xbf\xbd\xef\xbf\xbd");                  // cut short
    EXPECT_EQ(validUtf8("\xf4\x90\x80\x80").substr(0, 3), "\xef\xbf\xbd");         // past U+10FFFF
}

TEST(Parallel, EveryIndexOnceWhateverTheJobs) {
    for (const unsigned jobs : {1U, 2U, 7U, 64U}) {
        std::vector<int> done(100, 0);
        forEachInParallel(done.size(), jobs, [&](std::size_t i) { ++done[i]; });
        EXPECT_EQ(done, std::vector<int>(100, 1)) << jobs;
    }
    EXPECT_THROW(forEachInParallel(10, 2,
                                   [](std::size_t i) {
                                       if (i == 3) {
                                           throw std::bad_alloc();
                                       }
                                   }),
                 std::bad_alloc);
}

}  // namespace
}  // namespace Vorn::Grading
