// How the tools write one step of a run: the trace's line and the message of
// a fault. vornsim's --trace and the debugger's stops both use these.
//
//   step 2 @1: store I 9 | [9] = 5
//   fault at address 8 (loadi A B): register B holds 7, a word without an address field.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "machine/Machine.h"
#include "machine/StepEffect.h"

namespace Vorn {

// What the step changed, as the trace writes it after "|": "A = 5", "[9] = 5",
// "jump 3", "no jump", "out 5", "I unchanged (end of input)", ...
void writeStepEffect(std::ostream& out, const StepEffect& effect);

// "step N @ADDRESS: INSTRUCTION | " (the step counts from 1).
std::ostream& writeStepStart(std::ostream& out, std::uint64_t step, std::uint16_t address,
                             Word instruction);

// The whole trace line, with its line end.
void writeTraceLine(std::ostream& out, std::uint64_t step, std::uint16_t address, Word instruction,
                    const StepEffect& effect);

// The message of the fault that has just happened: the faulting loadi or
// storei is the word before the program counter (the step advanced it and
// changed nothing else).
std::string faultMessage(const Machine& machine);

// After `limit` steps without halting: "step limit reached: 1000 steps run and
// the program has not halted (next address 3)."
std::string stepLimitMessage(std::uint64_t limit, const Machine& machine);

}  // namespace Vorn
