#include "simulator/StateReport.h"

#include <ostream>

#include "tools/HexText.h"

namespace Vorn::Simulator {

namespace {

void writeValue(std::ostream& out, Word word) {
    out << word.value() << " (" << Tools::hexText(word.bits(), 8) << ")\n";
}

}  // namespace

void writeRegisters(std::ostream& out, const Machine& machine,
                    std::optional<std::uint16_t> faultAddress) {
    for (std::size_t i = 0; i < registerCount; ++i) {
        const auto reg = static_cast<RegisterId>(i);
        out << nameOf(reg) << " = ";
        writeValue(out, machine.registers.at(reg));
    }
    out << "PC = " << machine.programCounter;
    if (faultAddress) {
        out << " (the run ended with a fault at " << *faultAddress << ')';
    }
    out << '\n';
}

void writeMemory(std::ostream& out, const Machine& machine, AddressRange range) {
    for (std::uint32_t address = range.first; address <= range.last; ++address) {
        out << '[' << address << "] = ";
        writeValue(out, machine.memory[address]);
    }
}

}  // namespace Vorn::Simulator
