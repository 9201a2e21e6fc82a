// The log of a run's memory writes, one CSV row per write, for tools that
// check how a program used memory and not only what it printed:
//
//   step,instruction_address,address,old_value,new_value
//   2,1,8,0,5
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>

#include "machine/Machine.h"

namespace Vorn {

struct MemoryWrite {
    std::uint64_t step = 0;  // from 1
    std::uint16_t instructionAddress = 0;
    std::uint16_t address = 0;
    Word before;
    Word after;
};

// The memory address the instruction at the program counter writes when it
// runs (the `writes` column of the instruction table: the word at its address,
// or the word at a pointer that has an address field), or none.
std::optional<std::uint16_t> nextWriteAddress(const Machine& machine);
// The address that loadi or storei `instruction` goes through: the address
// field of the word in its second register, or none (a fault).
std::optional<std::uint16_t> pointerAddress(const Machine& machine, Word instruction);

void writeMemoryWriteHeader(std::ostream& out);
void writeMemoryWriteRow(std::ostream& out, const MemoryWrite& write);

}  // namespace Vorn
