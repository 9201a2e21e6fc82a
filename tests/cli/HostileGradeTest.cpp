// vorngrade on what students and careless suites hand it: every submission
// ends in a verdict, every hostile suite in one error line, within bounded
// time and memory. The big files are made here, at test time.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "support/Expectations.h"
#include "support/RunProgram.h"

namespace Vorn::Testing {
namespace {

// Generous enough for a sanitizer build; far below what a runaway needs.
constexpr Limits bounds{.seconds = 120, .memoryMb = 1024};

ProgramResult vorngrade(const std::vector<std::string>& arguments) {
    ProgramResult result = runProgram(VORNGRADE_PATH, arguments, "", bounds);
    EXPECT_EQ(result.limitPassed, "") << "peak memory " << result.peakMemoryMb << " MB";
    return result;
}

// The verdicts of one program's cases, in order, from the JSON report.
std::vector<std::string> verdicts(const ProgramResult& result) {
    std::vector<std::string> found;
    const std::string key = "\"verdict\":\"";
    for (std::size_t at = result.out.find(key); at != std::string::npos;
         at = result.out.find(key, at + 1)) {
        const std::size_t start = at + key.size();
        found.push_back(result.out.substr(start, result.out.find('"', start) - start));
    }
    return found;
}

class HostileGrade : public ::testing::Test {
  protected:
    std::string file(const std::string& name, const std::string& text) const {
        writeFile(dir.file(name), text);
        return dir.file(name);
    }
    // Grades one program with the default budgets (a million steps, 10000 lines).
    ProgramResult grade(const std::string& program) const {
        const std::string suite =
            file("suite.toml", "[[case]]\ninput = [1]\noutput = [1]\n[[case]]\noutput = []\n");
        return vorngrade({"--json", suite, program});
    }
    TemporaryDirectory dir;
};

TEST_F(HostileGrade, SubmissionsEndInAVerdict) {
    const std::string tenMegabytes(10 << 20, 'x');
    const std::vector<std::pair<std::string, std::string>> cases = {
        {file("loop.vorn", ":l jump l\n"), "step-limit"},
        {file("writes.vorn", ":l write\njump l\n"), "too-much-output"},
        {file("reads.vorn", ":l read\njump l\n"), "step-limit"},
        {file("big.vorn", repeatedLine("noop", 2 << 20)), "assembly-error"},  // memory full
        // No cells: runs through empty memory to the halt, writing nothing.
        {file("comments.vorn", repeatedLine("; " + std::string(100, 'c'), 100000)), ""},
        {file("name.vorn", tenMegabytes + "\n"), "assembly-error"},
        {dir.path(), "assembly-error"},
        {file("junk.vorn", std::string("\x7f"
                                       "ELF\x02\x01\x01\0\0\xff\xfe\n\x80",
                                       13)),
         "assembly-error"},
        {"/dev/zero", "assembly-error"},
        {dir.file("missing.vorn"), "assembly-error"},
    };
    for (const auto& [program, verdict] : cases) {
        const ProgramResult result = grade(program);
        EXPECT_EQ(result.status, 1) << program;
        EXPECT_EQ(result.err, "") << program;
        const std::vector<std::string> expected =
            verdict.empty() ? std::vector<std::string>{"wrong-output", "pass"}
                            : std::vector<std::string>{verdict, verdict};
        EXPECT_EQ(verdicts(result), expected) << program << ": " << result.out.substr(0, 400);
    }
}

// A program that cannot be had is one verdict among the others: the run
// neither stops nor blocks on it.
TEST_F(HostileGrade, UnreadableProgramsEndInAVerdictAndTheOthersAreGraded) {
    const std::string fifo = dir.file("fifo.vorn");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string suite = file("suite.toml", "[[case]]\noutput = []\n");
    const std::string good = file("good.vorn", "jump end\n");
    // Reading /proc/self/mem at offset 0 fails with EIO.
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{suite, "/proc/self/mem", good}, "cannot read source file '/proc/self/mem'."},
        {{suite, fifo, good},
         "cannot read source file '" + fifo + "' (a FIFO, not a regular file)."},
        {{"--image", suite, fifo, good},
         "cannot read image file '" + fifo + "' (a FIFO, not a regular file)."},
    };
    for (const auto& [arguments, message] : cases) {
        const ProgramResult result =
            runProgram(VORNGRADE_PATH, arguments, "", {.seconds = 20, .memoryMb = 1024});
        EXPECT_EQ(result.limitPassed, "") << message;
        EXPECT_EQ(result.status, 1) << message;
        EXPECT_EQ(result.err, "") << message;
        EXPECT_NE(
            result.out.find("  assembly-error  every case (0/1)\n      Error: " + message + "\n"),
            std::string::npos)
            << result.out;
        // The good program is graded: a pass for a source, an image that is no image else.
        EXPECT_NE(result.out.find(good + ": "), std::string::npos) << result.out;
    }
}

// Threads that cannot start, or run out of memory once started, leave their
// programs to the ones that did: every program is graded, or the run ends
// with a message; it never aborts.
TEST_F(HostileGrade, ThreadsThatCannotStartLeaveTheWorkToTheOthers) {
    if (builtWithSanitizers()) {
        GTEST_SKIP() << "a sanitizer reserves more address space than the limit";
    }
    const std::string suite = file("suite.toml", "[[case]]\noutput = []\n");
    std::vector<std::string> arguments = {"-c",
                                          "ulimit -v 600000 && exec \"$0\" -j 300 \"$@\"",
                                          VORNGRADE_PATH,
                                          "--csv",
                                          dir.file("out.csv"),
                                          suite};
    for (int i = 0; i < 300; ++i) {
        arguments.push_back(file("p" + std::to_string(i) + ".vorn", "jump end\n"));
    }
    const ProgramResult result = runProgram("/bin/sh", arguments, "", bounds);
    // The threads' memory pools may leave too little even for one thread
    // alone: then the run ends with one error line, and no report.
    if (result.status == 2) {
        expectFailure(result, 2, "out of memory.");
        EXPECT_FALSE(fileExists(dir.file("out.csv")));
        return;
    }
    // Every program has its row; under this limit a thread may fail to
    // open a file, which is that program's verdict.
    EXPECT_LE(result.status, 1) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_NE(result.out.find("suite: "), std::string::npos);
    const std::string csv = readFile(dir.file("out.csv"));
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 301);
}

// Started with a standard descriptor closed, vorngrade opens none of its
// files in its place: the report is the report, a failed write an error.
TEST_F(HostileGrade, ClosedStandardDescriptorsTakeNoFile) {
    const std::string suite = file("suite.toml", "[[case]]\noutput = []\n");
    const std::string program = file("p.vorn", "jump end\n");
    const std::string csv = "file,score,max_score,case 1\r\n" + program + ",1,1,1\r\n";
    struct Closed {
        std::string redirection;
        int status;
        std::string err;
    };
    const std::string cannotWrite = "Error: cannot write the standard output.\n";
    for (const auto& [redirection, status, err] :
         {Closed{"<&-", 0, ""}, Closed{"2>&-", 0, ""}, Closed{">&-", 2, cannotWrite},
          Closed{"<&- >&- 2>&-", 2, ""}}) {
        std::remove(dir.file("out.csv").c_str());
        const ProgramResult result =
            runProgram("/bin/sh",
                       {"-c", "\"$0\" -j 2 --csv \"$1\" \"$2\" \"$3\" \"$3\" " + redirection,
                        VORNGRADE_PATH, dir.file("out.csv"), suite, program},
                       "", bounds);
        EXPECT_EQ(result.status, status) << redirection;
        EXPECT_EQ(result.err, err) << redirection;
        // The text report comes first: when it cannot be written, no report is.
        EXPECT_EQ(fileExists(dir.file("out.csv")) ? readFile(dir.file("out.csv")) : "",
                  status == 0 ? csv + program + ",1,1,1\r\n" : "")
            << redirection;
        EXPECT_EQ(readFile(suite), "[[case]]\noutput = []\n");
    }
}

// A report over the suite, a program or another report would lose it: the
// run is refused before grading, whatever spelling or link names the file.
TEST_F(HostileGrade, ReportsNeverReplaceAnInputOrAnotherReport) {
    const std::string suiteText = "[[case]]\noutput = []\n";
    const std::string suite = file("suite.toml", suiteText);
    const std::string program = file("p.vorn", "jump end\n");
    ASSERT_EQ(::symlink(program.c_str(), dir.file("link.csv").c_str()), 0);
    ASSERT_EQ(::link(suite.c_str(), dir.file("hard.xml").c_str()), 0);
    const std::string report = dir.file("report");
    const std::string other = dir.path() + "/./report";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--junit", suite, suite, program},
         "the JUnit report '" + suite + "' and the suite '" + suite + "' are the same file."},
        {{"--csv", dir.file("link.csv"), suite, program},
         "the CSV report '" + dir.file("link.csv") + "' and the program '" + program +
             "' are the same file."},
        {{"--junit", dir.file("hard.xml"), suite, program},
         "the JUnit report '" + dir.file("hard.xml") + "' and the suite '" + suite +
             "' are the same file."},
        {{"--junit", report, "--csv", other, suite, program},
         "the CSV report '" + other + "' and the JUnit report '" + report + "' are the same file."},
    };
    for (const auto& [arguments, message] : cases) {
        expectFailure(vorngrade(arguments), 2, message);
        EXPECT_EQ(readFile(suite), suiteText);
        EXPECT_EQ(readFile(program), "jump end\n");
        EXPECT_FALSE(fileExists(report));
    }
    // Through a link to a report of its own, the report lands in the file it names.
    ASSERT_EQ(::symlink(report.c_str(), dir.file("to-report").c_str()), 0);
    writeFile(report, "old\n");
    EXPECT_EQ(vorngrade({"--csv", dir.file("to-report"), suite, program}).status, 0);
    EXPECT_EQ(readFile(report), "file,score,max_score,case 1\r\n" + program + ",1,1,1\r\n");
}

// A report that cannot be written whole (a full disk, a file size limit)
// leaves the old file as it was and no temporary file beside it.
TEST_F(HostileGrade, AReportIsWrittenWholeOrNotAtAll) {
    const std::string suite = file("suite.toml", "[[case]]\noutput = []\n");
    std::vector<std::string> arguments = {
        "-c",
        "trap '' XFSZ; ulimit -f 1 && exec \"$0\" \"$@\" >/dev/null",
        VORNGRADE_PATH,
        "--csv",
        dir.file("grades.csv"),
        suite};
    for (int i = 0; i < 100; ++i) {
        arguments.push_back(file("p" + std::to_string(i) + ".vorn", "jump end\n"));
    }
    writeFile(dir.file("grades.csv"), "last week's grades\n");
    const ProgramResult limited = runProgram("/bin/sh", arguments, "", bounds);
    EXPECT_EQ(limited.status, 2);
    EXPECT_EQ(limited.err,
              "Error: cannot write the CSV report '" + dir.file("grades.csv") + "'.\n");
    EXPECT_EQ(readFile(dir.file("grades.csv")), "last week's grades\n");
    const ProgramResult listing = runProgram("/bin/ls", {"-A", dir.path()});
    EXPECT_EQ(listing.out.find("grades.csv.tmp"), std::string::npos) << listing.out;

    const ProgramResult full = vorngrade({"--junit", "/dev/full", suite, arguments.back()});
    EXPECT_EQ(full.status, 2);
    EXPECT_EQ(full.err, "Error: cannot write the JUnit report '/dev/full'.\n");
}

// Paths go into messages escaped, as the other tools write them: a line end
// cannot split a message, an escape sequence cannot reach the terminal.
TEST_F(HostileGrade, PathsInMessagesAreEscaped) {
    const std::string name = "a\nb\x1b[31m";
    const std::string shown = dir.path() + "/a\\x0Ab\\x1B[31m";
    const std::string program = file("p.vorn", "jump end\n");
    const std::string broken = file(name + ".toml", "[[case]]\noutput = [\n");
    const std::string empty = file(name + "-empty.toml", "name = \"x\"\n");
    const std::string missing = dir.file(name + "-missing.toml");
    const std::string label =
        file(name + "-label.toml", "[[case]]\noutput = []\nmemory = { x = 1 }\n");
    expectFailure(vorngrade({broken, program}), 2,
                  shown +
                      ".toml, line 2, column 12: error while parsing array: encountered "
                      "end-of-file.");
    expectFailure(vorngrade({empty, program}), 2,
                  shown + "-empty.toml: no cases (each begins with [[case]]).");
    expectFailure(vorngrade({missing, program}), 2,
                  "cannot read suite file '" + shown + "-missing.toml'.");
    expectFailure(vorngrade({"--csv", dir.file(name + ".csv"), missing, program}), 2,
                  "cannot read suite file '" + shown + "-missing.toml'.");
    const ProgramResult feedback = vorngrade({label, program});
    EXPECT_NE(feedback.out.find("      " + shown + "-label.toml, line 3: case[1].memory.x: "),
              std::string::npos)
        << feedback.out;
}

// A case's output is compared as it comes and kept only as far as a report
// shows it: forty cases of endless writers need no more memory than one.
TEST_F(HostileGrade, EndlessWritesKeepAtMostTheReportedLines) {
    std::string text = "max-output = 1000000\nmax-steps = 100000000\n";
    for (int i = 0; i < 40; ++i) {
        text += "[[case]]\noutput = []\n";
    }
    const std::string suite = file("suite.toml", text);
    const std::string writer = file("writes.vorn", ":l write\njump l\n");
    for (const char* format : {"--json", "--color=never"}) {
        // A sanitizer's own memory passes 100 MB: there the bound is the other tests'.
        const ProgramResult result =
            runProgram(VORNGRADE_PATH, {format, suite, writer}, "",
                       {.seconds = 120, .memoryMb = builtWithSanitizers() ? bounds.memoryMb : 100});
        EXPECT_EQ(result.limitPassed, "") << format << ": " << result.peakMemoryMb << " MB";
        EXPECT_EQ(result.status, 1) << format;
        EXPECT_NE(result.out.find("output limit reached: 1000000 lines written"), std::string::npos)
            << format;
        if (format == std::string("--json")) {
            EXPECT_EQ(verdicts(result), std::vector<std::string>(40, "too-much-output"));
            const std::size_t start = result.out.find("\"output\":[");
            ASSERT_NE(start, std::string::npos);
            const std::size_t end = result.out.find(']', start);
            const std::string output = result.out.substr(start, end - start);
            EXPECT_EQ(std::count(output.begin(), output.end(), '0'), 1000);
            EXPECT_EQ(result.out.substr(end, 25), "],\"output_lines\":1000000,");
        }
    }

    // The first line that differs is found past the lines kept.
    std::string expected;
    for (int i = 3000; i > 1000; --i) {
        expected += std::to_string(i) + ", ";
    }
    const std::string late = file("late.toml", "[[case]]\noutput = [" + expected + "]\n");
    const std::string counter = file("count.vorn",
                                     "        load O start\n:l      jz O done\n        write\n"
                                     "        decr O\n        jump l\n:done   jump end\n"
                                     ":start  3000\n");
    for (const char* format : {"--json", "--color=never"}) {
        const ProgramResult counted = vorngrade({format, late, counter});
        EXPECT_NE(counted.out.find("output line 2001 is 1000, expected no more lines (3000 lines "
                                   "written, 2000 expected)."),
                  std::string::npos)
            << counted.out.substr(0, 300);
    }
}

// The replay and debug commands name a long input instead of writing it
// out: the feedback stays short, and the commands run as printed.
TEST_F(HostileGrade, LongInputsAreReferredToNotCopied) {
    std::string input;
    for (int i = 1; i <= 10000; ++i) {
        input += std::to_string(i) + (i < 10000 ? ", " : "");
    }
    const std::string suite = file(
        "long.toml", "[[case]]\nname = \"it's long\"\ninput = [" + input + "]\noutput = [1]\n");
    std::vector<std::string> programs;
    for (int i = 0; i < 50; ++i) {
        programs.push_back(file("p" + std::to_string(i) + ".vorn", "jump end\n"));
    }
    std::vector<std::string> arguments = {suite};
    arguments.insert(arguments.end(), programs.begin(), programs.end());
    const ProgramResult result = vorngrade(arguments);
    EXPECT_EQ(result.status, 1);
    EXPECT_LT(result.out.size(), 50U * 600U);
    const std::string replay = "vorngrade --print-input 'it'\\''s long' " + suite;
    EXPECT_NE(result.out.find("      replay: " + replay + " | vornsim -s " + programs[0] +
                              " --max-steps 1000000 --trace\n      debug: vorndbg -s " +
                              programs[0] + " --input <(" + replay + ")\n"),
              std::string::npos)
        << result.out.substr(0, 600);

    // As printed, with vorngrade on the path: the suite's input, a number a line.
    const std::string bin =
        std::string(VORNGRADE_PATH).substr(0, std::string(VORNGRADE_PATH).rfind('/'));
    const ProgramResult printed =
        runProgram("/bin/sh", {"-c", "PATH=\"$0:$PATH\" && " + replay + " | sha256sum", bin});
    std::string lines;
    for (int i = 1; i <= 10000; ++i) {
        lines += std::to_string(i) + "\n";
    }
    writeFile(dir.file("expected"), lines);
    EXPECT_EQ(printed.out,
              runProgram("/bin/sh", {"-c", "sha256sum < \"$0\"", dir.file("expected")}).out);
    expectFailure(vorngrade({"--print-input", "none", suite}), 2,
                  "the suite '" + suite + "' has no case named 'none'.");
}

TEST_F(HostileGrade, ImagesEndInAVerdict) {
    const std::string suite = file("suite.toml", "[[case]]\noutput = []\n");
    for (const std::string& image :
         {std::string("/dev/zero"), dir.path(), file("junk.image", std::string(1 << 20, '\xff'))}) {
        const ProgramResult result = vorngrade({"--json", "--image", suite, image});
        EXPECT_EQ(result.status, 1) << image;
        EXPECT_EQ(verdicts(result), (std::vector<std::string>{"assembly-error"})) << image;
    }
}

TEST_F(HostileGrade, SuitesEndInOneError) {
    const std::string program = file("p.vorn", "jump end\n");
    const std::string fifty = file("fifty.toml", std::string(50 << 20, '#'));
    const std::string junk = file("junk.toml", std::string("\x01\x02\xff\0[[", 6));
    const std::string deep =
        file("deep.toml", "a = " + std::string(100000, '[') + std::string(100000, ']') + "\n");
    const std::string tables = file("tables.toml", repeatedLine("[a.b.c.d.e.f]", 20000));
    const std::string huge = file("huge.toml", "max-steps = " + std::string(5000, '9') + "\n");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {fifty, fifty + ": larger than 4 MB, too large for a suite."},
        {"/dev/zero", "/dev/zero: larger than 4 MB, too large for a suite."},
        {junk, junk + ", line 1, column 2: encountered invalid utf-8 sequence."},
        {deep, deep + ", line 1, column 261: error while parsing value: exceeded maximum "
                      "nested value depth of 256."},
        {tables, tables + ", line 2, column 1: error while parsing table header: cannot "
                          "redefine existing table 'a.b.c.d.e.f'."},
        {huge, huge + ", line 1, column 13: error while parsing value: numeric value too long "
                      "to identify type - cannot exceed 126 characters."},
    };
    for (const auto& [suite, message] : cases) {
        const ProgramResult result = vorngrade({suite, program});
        expectFailure(result, 2, message);
    }
}

// A suite of five thousand cases is graded in bounded time and memory (the
// largest accepted is 4 MB; sanitizer builds of the TOML reader and of a
// machine per case take minutes over that, a Release build half a second).
TEST_F(HostileGrade, ManyCasesAreGraded) {
    std::string text = "max-output = 0\n";
    while (text.size() < (256 << 10)) {
        text += "[[case]]\noutput = []\nname = \"" + std::to_string(text.size()) + "\"\n";
    }
    const std::string suite = file("large.toml", text);
    const ProgramResult result =
        vorngrade({"--csv", dir.file("out.csv"), suite, file("p.vorn", "jump end\n")});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace Vorn::Testing
