// What vornsim prints about the machine after a run, on request.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>

#include "machine/Machine.h"
#include "simulator/Options.h"

namespace Vorn::Simulator {

// "A = 5 (0x00000005)" for each register, then "PC = 65535"; after a fault
// at `faultAddress`, the last line says so ("PC = 65535 (the run ended with
// a fault at 65534)"), since 65535 alone reads as halted.
void writeRegisters(std::ostream& out, const Machine& machine,
                    std::optional<std::uint16_t> faultAddress = std::nullopt);

// "[7] = 2 (0x00000002)" for each address of the range.
void writeMemory(std::ostream& out, const Machine& machine, AddressRange range);

}  // namespace Vorn::Simulator
