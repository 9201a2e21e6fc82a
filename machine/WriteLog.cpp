#include "machine/WriteLog.h"

#include <ostream>

namespace Vorn {

std::optional<std::uint16_t> nextWriteAddress(const Machine& machine) {
    if (machine.halted()) {
        return std::nullopt;
    }
    const Word instruction = machine.memory[machine.programCounter];
    if (instruction.opcode() == Operation::Store) {
        return instruction.address();
    }
    if (instruction.opcode() == Operation::Storei) {
        const Word pointer = machine.registers.at(instruction.register2());
        if (pointer.hasAddress()) {
            return pointer.address();
        }
    }
    return std::nullopt;  // no write, or a fault that writes nothing
}

void writeMemoryWriteHeader(std::ostream& out) {
    out << "step,instruction_address,address,old_value,new_value\n";
}

void writeMemoryWriteRow(std::ostream& out, const MemoryWrite& write) {
    out << write.step << ',' << write.instructionAddress << ',' << write.address << ','
        << write.before.value() << ',' << write.after.value() << '\n';
}

}  // namespace Vorn
