// The instruction table's columns of what each operation does (flow, writes,
// implicit register, input and output), checked against what the machine
// does when it runs the operation: one step of each operation on a machine
// whose every register and word is distinct, the changes compared with the
// columns.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "machine/InstructionSet.h"
#include "machine/Machine.h"
#include "machine/WriteLog.h"
#include "support/Encode.h"

namespace Vorn {
namespace {

constexpr std::uint16_t instructionAddress = 10;
constexpr std::uint16_t operandAddress = 400;
constexpr std::uint16_t pointerBase = 300;  // register k points at pointerBase + k
constexpr RegisterId first = RegisterId::B;
constexpr RegisterId second = RegisterId::C;

// What one step left behind.
struct Outcome {
    std::uint16_t programCounter = 0;
    std::array<Word, registerCount> registers{};
    std::set<std::uint32_t> memoryWritten;
    std::string output;
    bool inputRead = false;
};

// A register's value before the step: a word with an address field (a
// pointer), or the value given for the first register, which a conditional
// jump tests.
Word pointerTo(std::uint16_t address) {
    Word word;
    word.setOperation(Operation::Load);
    word.setAddress(address);
    return word;
}

// Register k's value before the step: it points at pointerBase + k.
Word initial(std::size_t k) {
    return pointerTo(static_cast<std::uint16_t>(pointerBase + k));
}

Outcome stepOnce(Operation op, Word firstValue, std::optional<RegisterId> changed = std::nullopt) {
    std::istringstream in("77\n");
    std::ostringstream out;
    Machine machine(in, out);
    for (std::uint32_t address = 0; address < Machine::memorySize; ++address) {
        machine.memory[address] = Word(static_cast<std::int32_t>(5000 + address));
    }
    for (std::size_t k = 0; k < registerCount; ++k) {
        machine.registers.at(static_cast<RegisterId>(k)) = initial(k);
    }
    machine.registers.at(first) = firstValue;
    if (changed) {
        machine.registers.at(*changed) = Word(-1234567);
    }
    machine.memory[instructionAddress] = Testing::encode(op, first, second, operandAddress);
    machine.programCounter = instructionAddress;
    std::vector<Word> before(machine.memory.get(), machine.memory.get() + Machine::memorySize);

    machine.step();

    Outcome outcome;
    outcome.programCounter = machine.programCounter;
    for (std::size_t k = 0; k < registerCount; ++k) {
        outcome.registers[k] = machine.registers.at(static_cast<RegisterId>(k));
    }
    for (std::uint32_t address = 0; address < Machine::memorySize; ++address) {
        if (machine.memory[address] != before[address]) {
            outcome.memoryWritten.insert(address);
        }
    }
    outcome.output = out.str();
    outcome.inputRead = in.tellg() != std::streampos(0);
    return outcome;
}

// The values of the first register that a conditional jump sees: a
// positive pointer, zero, a negative number.
const std::array<Word, 3> firstValues{pointerTo(pointerBase + 1), Word(0), Word(-5)};

struct Expected {
    std::set<std::uint32_t> memory;
    std::optional<RegisterId> writtenRegister;
};

Expected expectedOf(Operation op) {
    Expected expected;
    switch (shapeOf(op).writes) {
        case Writes::Nothing:
            break;
        case Writes::Register1:
            expected.writtenRegister = first;
            break;
        case Writes::ImplicitRegister:
            expected.writtenRegister = implicitRegister(op);
            break;
        case Writes::WordAtAddress:
            expected.memory = {operandAddress};
            break;
        case Writes::WordAtPointer:
            expected.memory = {pointerBase + static_cast<std::uint32_t>(second)};
            break;
    }
    return expected;
}

class OperationEffect : public testing::TestWithParam<std::size_t> {
  protected:
    Operation op() const { return static_cast<Operation>(GetParam()); }
};

TEST_P(OperationEffect, FlowSaysWhereExecutionGoes) {
    const Flow flow = shapeOf(op()).flow;
    std::set<std::uint16_t> targets;
    for (const Word value : firstValues) {
        targets.insert(stepOnce(op(), value).programCounter);
    }
    std::set<std::uint16_t> expected;
    if (mayFallThrough(flow)) {
        expected.insert(instructionAddress + 1);
    }
    if (mayJump(flow)) {
        expected.insert(operandAddress);
    }
    EXPECT_EQ(targets, expected);
}

TEST_P(OperationEffect, WritesSaysWhatChanges) {
    const Expected expected = expectedOf(op());
    for (const Word value : firstValues) {
        const Outcome outcome = stepOnce(op(), value);
        std::set<RegisterId> changed;
        for (std::size_t k = 0; k < registerCount; ++k) {
            const auto reg = static_cast<RegisterId>(k);
            const Word before = reg == first ? value : initial(k);
            if (outcome.registers[k] != before) {
                changed.insert(reg);
            }
        }
        std::set<RegisterId> written;
        if (expected.writtenRegister) {
            written.insert(*expected.writtenRegister);
        }
        // With 0 in the first register, a write may leave its register as it
        // was (zero, add): nothing else changes.
        if (value == Word(0)) {
            EXPECT_TRUE(
                std::includes(written.begin(), written.end(), changed.begin(), changed.end()));
        } else {
            EXPECT_EQ(changed, written) << value.value();
        }
        EXPECT_EQ(outcome.memoryWritten, expected.memory) << value.value();
    }
}

// A register that the instruction does not name is used when changing it
// changes what the step does to the rest of the machine, or when the step
// writes it.
TEST_P(OperationEffect, ImplicitRegisterIsTheOnlyUnnamedOneUsed) {
    const OperationShape& shape = shapeOf(op());
    const Word value = firstValues[0];
    const Outcome plain = stepOnce(op(), value);
    std::set<RegisterId> used;
    for (std::size_t k = 0; k < registerCount; ++k) {
        const auto reg = static_cast<RegisterId>(k);
        if ((shape.hasRegister1 && reg == first) || (shape.hasRegister2 && reg == second)) {
            continue;
        }
        Outcome changed = stepOnce(op(), value, reg);
        const bool written = plain.registers[k] != initial(k);
        // The register's own value differs by construction: compare the rest.
        changed.registers[k] = plain.registers[k];
        const bool read =
            changed.registers != plain.registers || changed.memoryWritten != plain.memoryWritten ||
            changed.output != plain.output || changed.programCounter != plain.programCounter;
        if (written || read) {
            used.insert(reg);
        }
    }
    std::set<RegisterId> expected;
    if (const auto implicit = implicitRegister(op())) {
        expected.insert(*implicit);
    }
    EXPECT_EQ(used, expected);
}

TEST_P(OperationEffect, InputOutputSaysWhetherItTalksToTheWorld) {
    const Outcome outcome = stepOnce(op(), firstValues[0]);
    const InputOutput io = shapeOf(op()).io;
    EXPECT_EQ(outcome.inputRead, io == InputOutput::Input);
    EXPECT_EQ(!outcome.output.empty(), io == InputOutput::Output);
}

// The write log asks the table where the next step writes.
TEST_P(OperationEffect, NextWriteAddressIsWhereTheStepWrites) {
    std::istringstream in;
    std::ostringstream out;
    Machine machine(in, out);
    for (std::size_t k = 0; k < registerCount; ++k) {
        machine.registers.at(static_cast<RegisterId>(k)) = initial(k);
    }
    machine.memory[0] = Testing::encode(op(), first, second, operandAddress);
    const Expected expected = expectedOf(op());
    const std::optional<std::uint16_t> address = nextWriteAddress(machine);
    EXPECT_EQ(address.has_value(), !expected.memory.empty());
    if (address) {
        EXPECT_EQ(std::set<std::uint32_t>{*address}, expected.memory);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, OperationEffect, testing::Range<std::size_t>(0, 16),
                         [](const testing::TestParamInfo<std::size_t>& operation) {
                             return std::string(operationNames[operation.param]);
                         });

TEST(OperationEffect, FixedRegistersAreTheTablesImplicitOnes) {
    EXPECT_EQ(accumulatorRegister, RegisterId::A);
    EXPECT_EQ(inputRegister, RegisterId::I);
    EXPECT_EQ(outputRegister, RegisterId::O);
    EXPECT_FALSE(implicitRegister(Operation::Load));
}

// A storei through a register without an address field writes nothing: the
// write log names no address.
TEST(OperationEffect, StoreiThroughANumberWritesNothing) {
    std::istringstream in;
    std::ostringstream out;
    Machine machine(in, out);
    machine.memory[0] = Testing::encode(Operation::Storei, first, second);
    machine.registers.at(second) = Word(12);
    EXPECT_FALSE(nextWriteAddress(machine));
}

}  // namespace
}  // namespace Vorn
