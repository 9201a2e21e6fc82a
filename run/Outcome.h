// The rules of a run that every tool shares: its limits, how it ended, and
// the sentences for each ending. vornsim, the debugger, the grader and the
// playground word the same situation alike because every sentence is
// written here once (each front end adds its own "Error: " or capital).
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "machine/Machine.h"
#include "program/Program.h"

namespace Vorn::Run {

constexpr std::uint64_t unlimited = std::numeric_limits<std::uint64_t>::max();

struct Limits {
    std::uint64_t steps = unlimited;        // instructions run
    std::uint64_t outputLines = unlimited;  // numbers written; the write of one more stops
    // Entering a cell outside the program's instructions (Program::
    // outsideInstructions) is a fault, before that cell runs; otherwise the
    // first such cell of a run is a warning.
    bool strict = false;
    // Before the run, the memory the program leaves unfilled (every address
    // past its words) gets random words from this seed, the same for the
    // same seed: a program that relies on that memory being 0 shows.
    std::optional<std::uint64_t> randomMemory;
};

// How a run ended.
struct Outcome {
    enum class End : std::uint8_t {
        Halted,        // the program counter reached 0xFFFF
        StepLimit,     // Limits::steps instructions ran
        OutputLimit,   // the next write would pass Limits::outputLines
        Fault,         // loadi or storei through a word without an address field
        StrictFault,   // execution entered a cell outside the instructions
        InputOutput,   // the program's input or output failed (the front end says why)
        TraceFailed,   // the trace could not be written
        WritesFailed,  // the write log could not be written
    };
    End end = End::Halted;
    // The instructions that ran to their end: not one that faulted or that
    // a limit or a failed input or output stopped (it changed nothing).
    std::uint64_t steps = 0;
    // Where the run stands: the next instruction, or the one that could not
    // run (the faulting one, the cell entered, the write past the limit).
    std::uint16_t address = Machine::haltAddress;
    std::int32_t line = 0;  // the source line of `address`, 0 for none
    // The sentence for anything but a halt and a failed input or output.
    std::string message;
};

// "halted", "step-limit", "output-limit", "fault", "input-output-error",
// "trace-error", "write-log-error" (a strict fault is a "fault").
const char* endName(Outcome::End end);

// After an instruction that could not run to its end (a fault, a write past
// the output limit, a failed read or write): the machine's program counter
// is already past it. Its address.
std::uint16_t stoppedInstruction(const Machine& machine);

// The outcome of a run that ended `end` after `steps` instructions, as the
// machine stands: for an instruction that could not run to its end, the
// machine counts it in `steps` and its program counter is past it.
Outcome ended(Outcome::End end, std::uint64_t steps, const Machine& machine, const Program& program,
              const Limits& limits);

// What the cell at `address`, outside the instructions, holds: "a data word
// from line 10 (':count 0')", "a cell that no statement filled (the program
// ends at address 8, line 9)", "a cell past the image (the image has 9 words)".
std::string cellDescription(const Program& program, std::uint16_t address);

// The warning on entering such a cell, without "Warning: ": "execution
// enters address 12, a data word from line 14 (':count 0'), as an instruction."
std::string enteringWarning(const Program& program, std::uint16_t address);

}  // namespace Vorn::Run
