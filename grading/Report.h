// The reports of a grading run, one writer per format. Every writer lists the
// programs in the order given and carries any byte of a name, a path or a
// message: escaped where the format can, replaced by U+FFFD where it cannot.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "grading/Grade.h"
#include "grading/Suite.h"

namespace Vorn::Grading {

struct Report {
    const Suite& suite;
    const std::vector<ProgramResult>& programs;
    // Show the details of every case. Otherwise a case that is not visible
    // shows only its name, verdict and points: never its input, output,
    // expected values or feedback.
    bool teacher = false;
    std::int64_t seconds = 0;  // the time the grading took, in whole seconds
    // Show which lines each case ran and which no case did (the programs
    // were graded with coverage).
    bool coverage = false;
};

// Whether the report shows the details of `test`.
bool showsDetails(const Report& report, const Case& test);
// A failed case's feedback in its two parts: what went wrong, and the
// commands that replay the run (empty when there are none).
std::string_view problemOf(const CaseResult& result);
std::string_view commandsOf(const CaseResult& result);

// For people: one line per case with its feedback below it, a score per
// program, a closing count. A program that could not be run shows its error
// once. `colour` adds terminal colours.
void writeText(std::ostream& out, const Report& report, bool colour);
// For a grade book on a screen: one line per program, "FILE: SCORE/MAX ROW",
// ROW a letter per case (see verdictLetter), then any error of the program.
void writeSummary(std::ostream& out, const Report& report);
// '.' pass, 'O' wrong-output, 'S' wrong-state, 'L' step-limit, 'F' fault,
// 'W' too-much-output, 'A' assembly-error.
char verdictLetter(Verdict verdict);
// {"suite": NAME, "programs": [{"file", "score", "max_score", "error", "cases":
// [{"name", "verdict", "points", "visibility", "steps", "expected", "output",
// "output_lines", "message"}]}]}, one line; "error" is the program's error or
// null (its cases' messages are then empty); "output" holds at most the first
// reportedOutputLines lines written, "output_lines" counts them all; a case
// whose details are not shown has only its name, verdict, points and visibility.
void writeJson(std::ostream& out, const Report& report);
// JUnit XML: one test suite per program, one test case per case; an
// assembly error is an <error>, a failed check a <failure>. With coverage,
// each test suite's properties add "uncovered_lines" and, for each case whose
// details are shown, "lines: CASE" (values "3, 7-9").
void writeJUnit(std::ostream& out, const Report& report);
// For a grade book: a header, then one row per program: file, score, max
// score and the points of each case (RFC 4180); with coverage, a last column
// "uncovered_lines" ("3, 7-9", empty when every instruction ran).
void writeCsv(std::ostream& out, const Report& report);

// A program's source with each line's runs in front of it: the times the
// suite ran the line's cells, "-" for a line without a cell, "0" marked for
// an instruction that no case ran.
void writeCoverageListing(std::ostream& out, const ProgramResult& program,
                          const SourceLines& lines);

// The results file of one program for the platforms' autograders (a
// submission a run): Gradescope's results.json, PrairieLearn's external
// grader results, the result that GitHub Classroom's reporter reads.
void writeGradescope(std::ostream& out, const Report& report);
void writePrairieLearn(std::ostream& out, const Report& report);
void writeGitHubClassroom(std::ostream& out, const Report& report);

// Sorted line numbers as ranges: "3, 7-9" (empty for none).
std::string lineRanges(const std::vector<std::int32_t>& lines);
// "no case ran lines 3, 7-9", "no case ran line 3" or "every instruction ran
// in some case", from a program graded with coverage.
std::string uncoveredSentence(const ProgramResult& program);

// The text with every byte that is not valid UTF-8 replaced by U+FFFD.
std::string validUtf8(std::string_view text);

}  // namespace Vorn::Grading
