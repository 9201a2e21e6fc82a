#include "machine/Trace.h"

#include <ostream>

namespace Vorn {

void writeInstruction(std::ostream& out, Word instruction, const AddressNames* names) {
    const std::string* name =
        names != nullptr && instruction.hasAddress() ? names->find(instruction.address()) : nullptr;
    if (name == nullptr) {
        out << instruction;
        return;
    }
    out << nameOf(instruction.opcode());
    if (instruction.hasRegister1()) {
        out << ' ' << nameOf(instruction.register1());
    }
    if (instruction.hasRegister2()) {
        out << ' ' << nameOf(instruction.register2());
    }
    out << ' ' << *name;
}

void writeEffect(std::ostream& out, const StepEffect& effect) {
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

void writeTraceStart(std::ostream& out, const TracedStep& step, const AddressNames* names) {
    out << "step " << step.step << " @" << step.address;
    if (step.line > 0) {
        out << " (line " << step.line << ')';
    }
    out << ": ";
    writeInstruction(out, step.instruction, names);
    out << " | ";
}

void writeTraceLine(std::ostream& out, const TracedStep& step, const StepEffect& effect,
                    const AddressNames* names) {
    writeTraceStart(out, step, names);
    writeEffect(out, effect);
    out << '\n';
}

}  // namespace Vorn
