#include "run/ReadCheck.h"

#include <algorithm>
#include <array>
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

// Whether an operation reads or writes a memory word, by opcode.
constexpr std::array<bool, operationCount> usesMemory = [] {
    std::array<bool, operationCount> uses{};
    for (std::size_t op = 0; op < operationCount; ++op) {
        const Writes writes = operationTable[op].writes;
        uses[op] = readsOf(static_cast<Operation>(op)) != Reads::Nothing ||
                   writes == Writes::WordAtAddress || writes == Writes::WordAtPointer;
    }
    return uses;
}();

std::optional<std::uint16_t> readAddress(const Machine& machine, Word instruction) {
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

bool ReadCheck::beforeStep(const Machine& machine, std::uint64_t step) {
    const std::uint16_t at = machine.programCounter;
    if (machine.halted()) {
        return false;
    }
    const Word instruction = machine.memory[at];
    const Operation op = instruction.opcode();
    if (!usesMemory[static_cast<std::size_t>(op)]) {
        return false;  // most steps: nothing to look at
    }
    bool found = false;
    if (const auto address = readAddress(machine, instruction);
        address && !written_.test(*address) && !reported_.test(*address)) {
        reported_.set(*address);
        found_.push_back({at, instruction, *address, program_.lineOf(at), step});
        found = true;
    }
    switch (shapeOf(op).writes) {
        case Writes::WordAtAddress:
            lastWrite_ = instruction.address();
            break;
        case Writes::WordAtPointer:
            lastWrite_ = pointerAddress(machine, instruction);
            break;
        case Writes::Nothing:
        case Writes::Register1:
        case Writes::ImplicitRegister:
            lastWrite_.reset();
            break;
    }
    if (lastWrite_) {
        written_.set(*lastWrite_);
    }
    return found;
}

const std::uint8_t* ReadCheck::stops(const Machine& machine, const std::uint8_t* outside) {
    stops_.assign(Machine::memorySize, 0);
    for (std::size_t address = 0; address < Machine::memorySize; ++address) {
        const auto op = static_cast<std::size_t>(machine.memory[address].opcode());
        stops_[address] = static_cast<std::uint8_t>(
            (usesMemory[op] ? memoryStop : 0) |
            (outside != nullptr && outside[address] != 0 ? outsideStop : 0));
    }
    return stops_.data();
}

void ReadCheck::stopOutside() {
    for (std::uint8_t& stop : stops_) {
        stop &= static_cast<std::uint8_t>(~outsideStop);
    }
}

void ReadCheck::afterStep(const Machine& machine) {
    if (lastWrite_ && !stops_.empty()) {
        std::uint8_t& stop = stops_[*lastWrite_];
        const auto op = static_cast<std::size_t>(machine.memory[*lastWrite_].opcode());
        stop = static_cast<std::uint8_t>((stop & outsideStop) | (usesMemory[op] ? memoryStop : 0));
    }
    lastWrite_.reset();
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
