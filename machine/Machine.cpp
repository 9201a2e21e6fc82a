#include "machine/Machine.h"

#include <algorithm>
#include <istream>
#include <ostream>

namespace Vorn {

Machine::Machine(std::istream& in, std::ostream& out)
    : memory(std::make_unique<Word[]>(memorySize)), input(in), output(out) {}

void Machine::load(std::span<const Word> image) {
    std::copy_n(image.begin(), std::min(image.size(), memorySize), memory.get());
}

// The one execution step behind step() and run(). With Record false it is the
// hot loop's body and does no trace work; with Record true it also fills *effect.
template <bool Record>
std::uint16_t Machine::execute(std::uint16_t address, StepEffect* effect) {
    const auto record = [effect](const StepEffect& what) {
        if constexpr (Record) {
            *effect = what;
        } else {
            (void)effect;  // the fast path records nothing
        }
    };
    // A copy: a store into its own cell does not change the running instruction.
    const std::uint32_t instruction = memory[address].bits();
    // Advanced before the operation runs: a jump overwrites it, a fault leaves it advanced.
    auto next = static_cast<std::uint16_t>(address + 1);
    // Each operation reads only the fields its shape has, so the instruction's
    // own fields need no checks; the 4-bit register numbers are always in range.
    const auto r1 = static_cast<RegisterId>(Word::register1Of(instruction));
    const auto r2 = static_cast<RegisterId>(Word::register2Of(instruction));
    const std::uint16_t target = Word::addressOf(instruction);
    const auto jumpIf = [&](bool taken) {
        if (taken) {
            next = target;
            record(StepEffect::jumped(target));
        } else {
            record(StepEffect::of(StepEffect::Kind::NoJump));
        }
    };

    switch (static_cast<Operation>(Word::opcodeOf(instruction))) {
        case Operation::Noop:
            record(StepEffect::of(StepEffect::Kind::Nothing));
            break;
        case Operation::Load:
            registers.at(r1) = memory[target];
            record(StepEffect::registerWritten(r1, registers.at(r1)));
            break;
        case Operation::Store:
            memory[target] = registers.at(r1);
            record(StepEffect::memoryWritten(target, memory[target]));
            break;
        case Operation::Loadi: {
            programCounter = next;
            // The pointer goes through the checked accessor: a plain number has
            // no address field and faults here, before anything changes.
            const std::uint16_t pointer = registers.at(r2).address();
            registers.at(r1) = memory[pointer];
            record(StepEffect::registerWritten(r1, registers.at(r1)));
            break;
        }
        case Operation::Storei: {
            programCounter = next;
            const Word value = registers.at(r1);
            const std::uint16_t pointer = registers.at(r2).address();
            memory[pointer] = value;
            record(StepEffect::memoryWritten(pointer, value));
            break;
        }
        case Operation::Add:
            registers.at(accumulatorRegister) += Word(registers.at(r1));
            record(StepEffect::registerWritten(accumulatorRegister,
                                               registers.at(accumulatorRegister)));
            break;
        case Operation::Sub:
            registers.at(accumulatorRegister) -= Word(registers.at(r1));
            record(StepEffect::registerWritten(accumulatorRegister,
                                               registers.at(accumulatorRegister)));
            break;
        case Operation::Zero:
            registers.at(r1) = Word(0);
            record(StepEffect::registerWritten(r1, registers.at(r1)));
            break;
        case Operation::Incr:
            ++registers.at(r1);
            record(StepEffect::registerWritten(r1, registers.at(r1)));
            break;
        case Operation::Decr:
            --registers.at(r1);
            record(StepEffect::registerWritten(r1, registers.at(r1)));
            break;
        case Operation::Neg:
            registers.at(r1).complement();
            record(StepEffect::registerWritten(r1, registers.at(r1)));
            break;
        case Operation::Jz:
            jumpIf(registers.at(r1) == Word(0));
            break;
        case Operation::Jn:
            jumpIf(registers.at(r1) < Word(0));
            break;
        case Operation::Jump:
            jumpIf(true);
            break;
        case Operation::Read:
            if (input >> registers.at(inputRegister)) {
                record(StepEffect::registerWritten(inputRegister, registers.at(inputRegister)));
            } else {
                record(StepEffect::of(input.eof() ? StepEffect::Kind::InputEnded
                                                  : StepEffect::Kind::InputNotANumber));
            }
            break;
        case Operation::Write:
            output << registers.at(outputRegister).value() << std::endl;
            record(StepEffect::wrote(registers.at(outputRegister)));
            break;
    }
    return next;
}

std::uint16_t Machine::step() {
    if (halted()) {
        return haltAddress;
    }
    programCounter = execute<false>(programCounter, nullptr);
    return programCounter;
}

std::uint16_t Machine::step(StepEffect& effect) {
    effect = StepEffect::of(StepEffect::Kind::Nothing);
    if (halted()) {
        return haltAddress;
    }
    programCounter = execute<true>(programCounter, &effect);
    return programCounter;
}

void Machine::run() {
    // The program counter lives in a local for the loop; a fault stores its
    // own advanced value before it leaves.
    std::uint16_t address = programCounter;
    while (address != haltAddress) {
        address = execute<false>(address, nullptr);
    }
    programCounter = address;
}

std::uint64_t Machine::run(std::uint64_t limit) {
    std::uint16_t address = programCounter;
    std::uint64_t steps = 0;
    while (address != haltAddress && steps < limit) {
        address = execute<false>(address, nullptr);
        ++steps;
    }
    programCounter = address;
    return steps;
}

}  // namespace Vorn
