#include "machine/RunMessages.h"

#include <sstream>

namespace Vorn {

// The faulting instruction is the one before the program counter: the step
// advanced it and changed nothing else.
std::string faultMessage(const Machine& machine) {
    const auto address = static_cast<std::uint16_t>(machine.programCounter - 1);
    const Word instruction = machine.memory[address];
    const RegisterId pointer = instruction.register2();
    std::ostringstream message;
    message << "fault at address " << address << " (" << instruction << "): register "
            << nameOf(pointer) << " holds " << machine.registers.at(pointer).value()
            << ", a word without an address field.";
    return message.str();
}

std::string stepLimitMessage(std::uint64_t limit, const Machine& machine) {
    return "step limit reached: " + std::to_string(limit) +
           " steps run and the program has not halted (next address " +
           std::to_string(machine.programCounter) + ").";
}

}  // namespace Vorn
