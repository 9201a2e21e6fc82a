// One run of vornsim's machine: the fast loop, or step by step for the trace
// and the write log; for a program from a source, the check of the cells
// that execution enters (a data word, or a cell no statement filled).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "machine/AddressNames.h"
#include "machine/Machine.h"
#include "simulator/SimulatorIO.h"
#include "tools/ProgramFile.h"

namespace Vorn::Simulator {

// The program as loaded, and what a source adds to it.
struct LoadedProgram {
    std::vector<Word> words;
    std::optional<Tools::AssembledSource> source;
    AddressNames labels;                // empty for an image
    std::vector<std::uint8_t> outside;  // 1 where the source has no instruction
};

struct RunSettings {
    std::uint64_t limit = 0;
    bool strict = false;
    // RunEnd::steps must be counted (without a limit, the fastest loop does not count).
    bool countSteps = false;  // entering a cell outside the instructions is a fault
    std::ostream* trace = nullptr;
    std::ostream* warnings = nullptr;
    std::ostream* writes = nullptr;  // the CSV log of memory writes, header already written
};

struct RunEnd {
    enum class Kind : std::uint8_t {
        Halted,
        StepLimit,
        Fault,         // an instruction faulted, or --strict stopped before one
        InputOutput,   // the program's input or output failed
        TraceFailed,   // the trace could not be written
        WritesFailed,  // the write log could not be written
    };
    Kind kind = Kind::Halted;
    std::uint64_t steps = 0;
    std::optional<std::uint16_t> faultAddress;
    std::string message;  // for a fault
};

RunEnd runMachine(Machine& machine, SimulatorIO& io, const LoadedProgram& program,
                  const RunSettings& settings);

// "halted", "step-limit", "fault", "input-output-error", ... for --stats.
const char* endName(RunEnd::Kind kind);

}  // namespace Vorn::Simulator
