// The trace of a run: one line per executed instruction, meant to be read and
// diffed. Its form:
//
//   step 1 @0: read | I = 5
//   step 2 @1: store I 9 | [9] = 5
//   step 4 @3: jz O 7 | no jump
//   step 5 @4: write | out 5
//   step 7 @6: jump 3 | jump 3
//   step 9 @8: loadi A B | fault
//
// The step number counts from 1, the address is decimal, the instruction is
// in mnemonic form, and after "|" stands what the step changed.
#pragma once

#include <cstdint>
#include <iosfwd>

#include "machine/Machine.h"

namespace Vorn::Simulator {

// Runs like Machine::run(limit), writing one trace line per step. A fault
// writes its line and leaves as Word::InvalidAddressInOperation.
void runTraced(Machine& machine, std::uint64_t limit, std::ostream& trace);

}  // namespace Vorn::Simulator
