#include "machine/StepText.h"

#include <ostream>
#include <sstream>

namespace Vorn {

void writeStepEffect(std::ostream& out, const StepEffect& effect) {
    switch (effect.kind) {
        case StepEffect::Kind::Nothing:
            out << "no change";
            break;
        case StepEffect::Kind::Register:
            out << nameOf(effect.reg) << " = " << effect.value.value();
            break;
        case StepEffect::Kind::Memory:
            out << '[' << effect.address << "] = " << effect.value.value();
            break;
        case StepEffect::Kind::Jump:
            out << "jump " << effect.address;
            break;
        case StepEffect::Kind::NoJump:
            out << "no jump";
            break;
        case StepEffect::Kind::Output:
            out << "out " << effect.value.value();
            break;
        case StepEffect::Kind::InputEnded:
            out << nameOf(inputRegister) << " unchanged (end of input)";
            break;
        case StepEffect::Kind::InputNotANumber:
            out << nameOf(inputRegister) << " unchanged (not a number)";
            break;
        case StepEffect::Kind::InputOutOfRange:
            out << nameOf(inputRegister) << " unchanged (out of range)";
            break;
        case StepEffect::Kind::InputFailed:
            out << nameOf(inputRegister) << " unchanged (input error)";
            break;
    }
}

std::ostream& writeStepStart(std::ostream& out, std::uint64_t step, std::uint16_t address,
                             Word instruction) {
    return out << "step " << step << " @" << address << ": " << instruction << " | ";
}

void writeTraceLine(std::ostream& out, std::uint64_t step, std::uint16_t address, Word instruction,
                    const StepEffect& effect) {
    writeStepStart(out, step, address, instruction);
    writeStepEffect(out, effect);
    out << '\n';
}

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
