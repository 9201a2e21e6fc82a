// The trace form of a run: one line per executed instruction, meant to be
// read and diffed, the same in every tool that shows a run step by step (the
// simulator's --trace, a grader's replay, a debugger's steps):
//
//   step 1 @0: read | I = 5
//   step 2 @1: store I 9 | [9] = 5
//   step 4 @3: jz O 7 | no jump
//   step 5 @4: write | out 5
//   step 7 @6: jump 3 | jump 3
//   step 9 @8: loadi A B | fault
//
// The step number counts from 1, the address is decimal, the instruction is
// in mnemonic form, and after "|" stands what the step changed. For a run
// from a source, each line also names the source line of the instruction and
// its address operand by label: "step 4 @3 (line 5): jz O done | no jump".
#pragma once

#include <cstdint>
#include <iosfwd>

#include "machine/AddressNames.h"
#include "machine/StepEffect.h"
#include "machine/Word.h"

namespace Vorn {

// One executed instruction.
struct TracedStep {
    std::uint64_t step = 0;  // from 1
    std::uint16_t address = 0;
    Word instruction;
    std::int32_t line = 0;  // its source line, 0 for none
};

// The mnemonic form, with the address operand by name when `names` has one.
void writeInstruction(std::ostream& out, Word instruction, const AddressNames* names = nullptr);

// What a step changed: "I = 5", "[9] = 5", "jump 3", "out 5", ...
void writeEffect(std::ostream& out, const StepEffect& effect);

// "step 4 @3: jz O 7 | ": the line up to its effect.
void writeTraceStart(std::ostream& out, const TracedStep& step,
                     const AddressNames* names = nullptr);

// The whole line, with its line end.
void writeTraceLine(std::ostream& out, const TracedStep& step, const StepEffect& effect,
                    const AddressNames* names = nullptr);

}  // namespace Vorn
