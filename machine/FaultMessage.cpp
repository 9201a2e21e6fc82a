#include "machine/FaultMessage.h"

#include <sstream>

#include "machine/Machine.h"

namespace Vorn {

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

}  // namespace Vorn
