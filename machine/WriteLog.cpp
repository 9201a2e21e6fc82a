#include "machine/WriteLog.h"

#include <ostream>

namespace Vorn {

std::optional<std::uint16_t> nextWriteAddress(const Machine& machine) {
    if (machine.halted()) {
        return std::nullopt;
    }
    const Word instruction = machine.memory[machine.programCounter];
    switch (shapeOf(instruction.opcode()).writes) {
        case Writes::WordAtAddress:
            return instruction.address();
        case Writes::WordAtPointer:
            return pointerAddress(machine, instruction);  // none: a fault, which writes nothing
        case Writes::Nothing:
        case Writes::Register1:
        case Writes::ImplicitRegister:
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::uint16_t> pointerAddress(const Machine& machine, Word instruction) {
    const Word pointer = machine.registers.at(instruction.register2());
    if (pointer.hasAddress()) {
        return pointer.address();
    }
    return std::nullopt;
}

void writeMemoryWriteHeader(std::ostream& out) {
    out << "step,instruction_address,address,old_value,new_value\n";
}

void writeMemoryWriteRow(std::ostream& out, const MemoryWrite& write) {
    out << write.step << ',' << write.instructionAddress << ',' << write.address << ','
        << write.before.value() << ',' << write.after.value() << '\n';
}

}  // namespace Vorn
