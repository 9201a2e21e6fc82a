#include "simulator/Trace.h"

#include <ostream>

namespace Vorn::Simulator {

namespace {

std::ostream& writeStep(std::ostream& trace, std::uint64_t step, std::uint16_t address,
                        Word instruction) {
    return trace << "step " << step << " @" << address << ": " << instruction << " | ";
}

void writeEffect(std::ostream& trace, const StepEffect& effect) {
    switch (effect.kind) {
        case StepEffect::Kind::Nothing:
            trace << "no change";
            break;
        case StepEffect::Kind::Register:
            trace << nameOf(effect.reg) << " = " << effect.value.value();
            break;
        case StepEffect::Kind::Memory:
            trace << '[' << effect.address << "] = " << effect.value.value();
            break;
        case StepEffect::Kind::Jump:
            trace << "jump " << effect.address;
            break;
        case StepEffect::Kind::NoJump:
            trace << "no jump";
            break;
        case StepEffect::Kind::Output:
            trace << "out " << effect.value.value();
            break;
        case StepEffect::Kind::InputEnded:
            trace << nameOf(inputRegister) << " unchanged (end of input)";
            break;
        case StepEffect::Kind::InputNotANumber:
            trace << nameOf(inputRegister) << " unchanged (not a number)";
            break;
        case StepEffect::Kind::InputOutOfRange:
            trace << nameOf(inputRegister) << " unchanged (out of range)";
            break;
        case StepEffect::Kind::InputFailed:
            trace << nameOf(inputRegister) << " unchanged (input error)";
            break;
    }
}

bool usesTheStreams(Word instruction) {
    const Operation op = instruction.opcode();
    return op == Operation::Read || op == Operation::Write;
}

}  // namespace

void writeTraceLine(std::ostream& trace, std::uint64_t step, std::uint16_t address,
                    Word instruction, const StepEffect& effect) {
    writeStep(trace, step, address, instruction);
    writeEffect(trace, effect);
    trace << '\n';
}

void runTraced(Machine& machine, std::uint64_t limit, std::ostream& trace) {
    for (std::uint64_t step = 1; step <= limit && !machine.halted(); ++step) {
        const std::uint16_t address = machine.programCounter;
        const Word instruction = machine.memory[address];
        if (usesTheStreams(instruction)) {
            // On a terminal the program's own output then follows the lines
            // of the steps before it.
            trace.flush();
        }
        StepEffect effect;
        try {
            machine.step(effect);
        } catch (const Word::InvalidAddressInOperation&) {
            writeStep(trace, step, address, instruction) << "fault\n";
            throw;
        }
        writeTraceLine(trace, step, address, instruction, effect);
    }
}

}  // namespace Vorn::Simulator
