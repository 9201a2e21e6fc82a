// Grading one program against a suite: each case's run, its verdict, its
// points and the feedback a student can act on.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "grading/Suite.h"
#include "machine/Word.h"
#include "program/Program.h"
#include "run/Profile.h"

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
    // For an image, the labels memory checks may name (vorngrade --symbols).
    std::map<std::string, std::uint16_t, std::less<>> symbols;

    bool image() const { return program.format() == Program::Format::Image; }
};

// A program loaded; an assembly error makes `error`.
Submission loadedSubmission(std::string file, Program program);
// A program that could not be read; `error` is the line the tools print.
Submission failedSubmission(std::string file, std::string error, Program::Format format);

// The most output lines of a case that a report shows; the run compares
// every line as it comes and keeps no more than these.
constexpr std::size_t reportedOutputLines = 1000;
// The longest input that the replay commands write out; a longer one is
// read from the suite by `vorngrade --print-input CASE SUITE`.
constexpr std::size_t inlinedInput = 20;

struct CaseResult {
    Verdict verdict = Verdict::Pass;
    std::int64_t points = 0;  // earned
    std::uint64_t steps = 0;
    std::vector<std::int32_t> output;  // the first lines written, as many as asked for
    std::size_t outputLines = 0;       // every line written
    // Empty for a pass; for anything else the feedback: what went wrong, the
    // warning on entering data ("Warning: execution enters ..."), if the run
    // gave one, then the lines "replay: COMMAND" (vornsim --trace) and
    // "debug: COMMAND" (vorndbg).
    std::string message;
    // With coverage: the source lines whose cells the run executed, sorted.
    std::vector<std::int32_t> lines;
};

struct ProgramResult {
    std::string file;
    std::int64_t score = 0;
    std::int64_t maxScore = 0;
    std::vector<CaseResult> cases;  // in the suite's order
    // Set by the caller for a file that is no source at all (a directory, an
    // empty or a binary file), which some platforms do not count as a try:
    // why, as a message line "Error: ...".
    std::string notASource;

    // With coverage: the lines of instructions that no case ran, sorted, and
    // for each source line (index line - 1) the times the suite ran its cells.
    std::vector<std::int32_t> uncoveredLines;
    std::vector<std::uint64_t> lineRuns;

    bool passed() const;
    // The message of a program that could not be run at all (an assembly
    // error, a file that cannot be read), which every case shares; or null.
    const std::string* error() const;
};

// `keptOutput`: how many of the lines a case writes its result keeps (0 when
// no report shows them). `profile`, when given, gets the times each address
// ran added to it.
CaseResult gradeCase(const Case& test, const Submission& submission,
                     std::size_t keptOutput = reportedOutputLines, Run::Profile* profile = nullptr);
// With `coverage`, each case's lines and the program's uncovered lines and
// runs per line are kept too (a source's runs go step by step: slower).
ProgramResult gradeProgram(const Suite& suite, const Submission& submission,
                           std::size_t keptOutput = reportedOutputLines, bool coverage = false);

// A word for a shell: as it is when that is safe, else in single quotes.
std::string shellQuoted(std::string_view word);

}  // namespace Vorn::Grading
