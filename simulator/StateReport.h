// What vornsim prints about the machine after a run, on request.
#pragma once

#include <iosfwd>

#include "machine/Machine.h"
#include "simulator/Options.h"

namespace Vorn::Simulator {

// "A = 5 (0x00000005)" for each register, then "PC = 65535".
void writeRegisters(std::ostream& out, const Machine& machine);

// "[7] = 2 (0x00000002)" for each address of the range.
void writeMemory(std::ostream& out, const Machine& machine, AddressRange range);

}  // namespace Vorn::Simulator
