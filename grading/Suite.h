// A teacher's test suite: the cases a program must pass, read from TOML.
//
//   name = "maximum"          # optional
//   max-steps = 100000        # every case's step budget (default 1000000)
//   max-output = 1000         # most lines a case may write (default 10000)
//   strict = true             # optional: entering a cell that is not an instruction faults
//   visibility = "hidden"     # optional: visible (default), hidden, after_due_date,
//   after_published
//   check-reads = true        # optional, with strict: a load or loadi of a word that
//                             # neither the image nor the run wrote faults
//   random-memory = 7         # optional: memory past the program holds random words
//                             # from this seed, not 0
//
//   [[case]]
//   name = "three numbers"
//   input = [3, 9, 4, 0]
//   output = [9]
//   points = 2                # default 1; or per check after the halt:
//                             # points = { output = 2, memory = 1, registers = 1 }
//   max-steps = 500           # optional, overrides the suite's
//   memory = { 100 = 5, total = 0 }   # optional: words after the halt, by address or label
//   registers = { A = 0 }             # optional
//   visibility = "visible"            # optional, overrides the suite's
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "machine/InstructionSet.h"

namespace Vorn::Grading {

// A suite that cannot be used. The message names the file, the line and the
// key: "maximum.toml, line 7: case[1].input[2]: expected an integer, found a
// string" (without "Error: " and the final ".").
class SuiteError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Where a suite says something, for messages: "maximum.toml, line 7: case[1].memory.total".
struct SuitePlace {
    std::string file;
    std::int64_t line = 0;
    std::string key;

    std::string text() const;
};

struct MemoryExpectation {
    // The word at `address`, or at the label `label` of the program.
    std::optional<std::uint16_t> address;
    std::string label;
    std::int32_t value = 0;
    SuitePlace place;
};

struct RegisterExpectation {
    RegisterId reg = RegisterId::A;
    std::int32_t value = 0;
};

// Who sees a case's details, in the words of the grading platforms: a case
// that is not visible shows students only its name, verdict and points.
enum class Visibility : std::uint8_t { Visible, Hidden, AfterDueDate, AfterPublished };

// "visible", "hidden", "after_due_date", "after_published".
std::string_view nameOf(Visibility visibility);

// Points per check instead of all or nothing: `output` for the output,
// `memory` for each memory word and `registers` for each register that holds
// its expected value after the halt.
struct CheckPoints {
    std::int64_t output = 0;
    std::int64_t memory = 0;
    std::int64_t registers = 0;
};

struct Case {
    std::string name;
    std::string suiteFile;  // the suite's file, as readSuite was given it
    std::vector<std::int32_t> input;
    std::vector<std::int32_t> output;
    std::int64_t points = 1;  // with checkPoints, what all checks earn together
    std::optional<CheckPoints> checkPoints;
    std::uint64_t maxSteps = 0;
    std::size_t maxOutput = 0;
    bool strict = false;
    Visibility visibility = Visibility::Visible;
    bool checkReads = false;
    std::optional<std::uint64_t> randomMemory;
    std::vector<MemoryExpectation> memory;  // in the order of the file
    std::vector<RegisterExpectation> registers;
};

struct Suite {
    static constexpr std::uint64_t defaultMaxSteps = 1000000;
    static constexpr std::size_t defaultMaxOutput = 10000;
    // Beyond these a suite is refused: output is kept in memory while grading,
    // and a suite's parsed form takes many times the bytes of its text.
    static constexpr std::size_t maxMaxOutput = 1000000;
    static constexpr std::size_t maxFileBytes = 4 * 1024 * 1024;
    static constexpr std::int64_t maxPoints = 1000000;

    std::string file;  // as given to readSuite, for messages
    std::string name;  // the file's name when the suite has none
    std::vector<Case> cases;

    std::int64_t maxScore() const;
};

// Reads a suite from its text; `file` names it in messages. Throws SuiteError.
Suite readSuite(std::string_view text, const std::string& file);

}  // namespace Vorn::Grading
