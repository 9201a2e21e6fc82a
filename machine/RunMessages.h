// The sentences every tool prints for a run that did not halt, so that the
// simulator, the playground and any other front end word them alike (each
// adds its own "Error: " and line end).
#pragma once

#include <cstdint>
#include <string>

#include "machine/Machine.h"

namespace Vorn {

// After Machine::runUntil ended with a fault: the instruction before the
// program counter ran loadi or storei through a word without an address field.
// "fault at address 2 (storei A B): register B holds 100, a word without an
// address field."
std::string faultMessage(const Machine& machine);

// After `limit` steps without halting: "step limit reached: 1000 steps run and
// the program has not halted (next address 3)."
std::string stepLimitMessage(std::uint64_t limit, const Machine& machine);

}  // namespace Vorn
