#include "run/ReadCheck.h"

#include <algorithm>
#include <sstream>

#include "machine/InstructionSet.h"
#include "machine/Trace.h"
#include "machine/WriteLog.h"

namespace Vorn::Run {

namespace {

// Which word an operation reads, from the table's columns: one that sets its
// first register from an address field reads the word there (load), one that
// sets it through a second register reads the word that register points at
// (loadi). No other operation reads memory.
enum class Reads : std::uint8_t { Nothing, WordAtAddress, WordAtPointer };

constexpr Reads readsOf(Operation op) {
    const OperationShape& shape = shapeOf(op);
    if (shape.writes != Writes::Register1) {
        return Reads::Nothing;
    }
    if (shape.hasAddress) {
        return Reads::WordAtAddress;
    }
    return shape.hasRegister2 ? Reads::WordAtPointer : Reads::Nothing;
}
static_assert(readsOf(Operation::Load) == Reads::WordAtAddress);
static_assert(readsOf(Operation::Loadi) == Reads::WordAtPointer);
static_assert(readsOf(Operation::Storei) == Reads::Nothing);
static_assert(readsOf(Operation::Incr) == Reads::Nothing);

std::optional<std::uint16_t> nextReadAddress(const Machine& machine) {
    const Word instruction = machine.memory[machine.programCounter];
    switch (readsOf(instruction.opcode())) {
        case Reads::Nothing:
            return std::nullopt;
        case Reads::WordAtAddress:
            return instruction.address();
        case Reads::WordAtPointer:
            return pointerAddress(machine, instruction);  // none: a fault, which reads nothing
    }
    return std::nullopt;
}

}  // namespace

ReadCheck::ReadCheck(const Program& program) : program_(program) {
    const std::size_t filled = std::min(program.words().size(), written_.size());
    for (std::size_t address = 0; address < filled; ++address) {
        written_.set(address);
    }
}

std::optional<UnwrittenRead> ReadCheck::beforeStep(const Machine& machine, std::uint64_t step) {
    if (machine.halted()) {
        return std::nullopt;
    }
    std::optional<UnwrittenRead> read;
    if (const auto address = nextReadAddress(machine);
        address && !written_.test(*address) && !reported_.test(*address)) {
        reported_.set(*address);
        read = UnwrittenRead{machine.programCounter, machine.memory[machine.programCounter],
                             *address, program_.lineOf(machine.programCounter), step};
        found_.push_back(*read);
    }
    if (const auto address = nextWriteAddress(machine)) {
        written_.set(*address);
    }
    return read;
}

std::string unwrittenReadMessage(const Program& program, const UnwrittenRead& read) {
    std::ostringstream text;
    if (read.line > 0) {
        text << "line " << read.line << " (";
    } else {
        text << "the instruction at address " << read.instruction << " (";
    }
    writeInstruction(text, read.word, program.labels());
    text << ") reads address " << read.address
         << ", which neither the program's image nor the run has written";
    return text.str();
}

}  // namespace Vorn::Run
