// Grading one program against a suite: each case's run, its verdict, its
// points and the feedback a student can act on.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "grading/Suite.h"
#include "machine/Word.h"
#include "program/Program.h"

namespace Vorn::Grading {

enum class Verdict : std::uint8_t {
    Pass,
    WrongOutput,
    WrongState,  // a memory word or a register after the halt
    StepLimit,
    Fault,
    TooMuchOutput,
    AssemblyError,
};

// "pass", "wrong-output", "wrong-state", "step-limit", "fault",
// "too-much-output", "assembly-error".
std::string_view nameOf(Verdict verdict);

// A program ready to run every case: loaded (assembled) once.
struct Submission {
    std::string file;  // as named on the command line: reports and replay commands use it
    Program program;
    // When the program could not be had: the one line vornasm (or vornsim,
    // for an image) prints, "Error: ...", without its line end.
    std::optional<std::string> error;

    bool image() const { return program.format() == Program::Format::Image; }
};

// A program loaded; an assembly error makes `error`.
Submission loadedSubmission(std::string file, Program program);
// A program that could not be read; `error` is the line the tools print.
Submission failedSubmission(std::string file, std::string error, Program::Format format);

struct CaseResult {
    Verdict verdict = Verdict::Pass;
    std::int64_t points = 0;  // earned
    std::uint64_t steps = 0;
    std::vector<std::int32_t> output;  // at most the case's max-output lines
    // Empty for a pass; for anything else the feedback: what went wrong, then
    // the lines "replay: COMMAND" (vornsim --trace) and "debug: COMMAND" (vorndbg).
    std::string message;
};

struct ProgramResult {
    std::string file;
    std::int64_t score = 0;
    std::int64_t maxScore = 0;
    std::vector<CaseResult> cases;  // in the suite's order

    bool passed() const;
};

CaseResult gradeCase(const Case& test, const Submission& submission);
ProgramResult gradeProgram(const Suite& suite, const Submission& submission);

// A word for a shell: as it is when that is safe, else in single quotes.
std::string shellQuoted(std::string_view word);

}  // namespace Vorn::Grading
