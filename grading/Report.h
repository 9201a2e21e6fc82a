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
};

// For people: one line per case with its feedback below it, a score per
// program, a closing count. `colour` adds terminal colours.
void writeText(std::ostream& out, const Report& report, bool colour);
// {"suite": NAME, "programs": [{"file", "score", "max_score", "cases": [{"name",
// "verdict", "points", "steps", "expected", "output", "output_lines", "message"}]}]},
// one line; "output" holds at most the first reportedOutputLines lines written,
// "output_lines" counts them all.
void writeJson(std::ostream& out, const Report& report);
// JUnit XML: one test suite per program, one test case per case.
void writeJUnit(std::ostream& out, const Report& report);
// For a grade book: a header, then one row per program: file, score, max
// score and the points of each case (RFC 4180).
void writeCsv(std::ostream& out, const Report& report);

// The text with every byte that is not valid UTF-8 replaced by U+FFFD.
std::string validUtf8(std::string_view text);

}  // namespace Vorn::Grading
