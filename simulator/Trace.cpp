#include "simulator/Trace.h"

#include <ostream>

#include "machine/StepText.h"

namespace Vorn::Simulator {

namespace {

bool usesTheStreams(Word instruction) {
    const Operation op = instruction.opcode();
    return op == Operation::Read || op == Operation::Write;
}

}  // namespace

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
            writeStepStart(trace, step, address, instruction) << "fault\n";
            throw;
        }
        writeTraceLine(trace, step, address, instruction, effect);
    }
}

}  // namespace Vorn::Simulator
