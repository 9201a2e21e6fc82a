#include "machine/Machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <sstream>
#include <utility>
#include <vector>

#include "support/Encode.h"

namespace Vorn {
namespace {

using Testing::encode;
using enum Operation;
using enum RegisterId;
using Kind = StepEffect::Kind;

constexpr std::int32_t intMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t intMin = std::numeric_limits<std::int32_t>::min();

using RegisterValues = std::vector<std::pair<RegisterId, std::int32_t>>;
using MemoryValues = std::vector<std::pair<std::uint16_t, std::int32_t>>;

// The whole visible state, to show that a step changed only what it should.
struct State {
    std::vector<std::int32_t> registers;
    std::vector<std::int32_t> memory;
    std::uint16_t programCounter;

    explicit State(const Machine& machine) : programCounter(machine.programCounter) {
        for (std::int32_t i = 0; i < 16; ++i) {
            registers.push_back(machine.registers.at(i).value());
        }
        for (std::size_t a = 0; a < Machine::memorySize; ++a) {
            memory.push_back(machine.memory[a].value());
        }
    }
    bool operator==(const State&) const = default;
};

class MachineTest : public ::testing::Test {
  protected:
    Word& reg(RegisterId r) { return machine.registers.at(r); }
    void set(const RegisterValues& registers, const MemoryValues& memory) {
        for (const auto& [r, value] : registers) {
            reg(r) = Word(value);
        }
        for (const auto& [address, value] : memory) {
            machine.memory[address] = Word(value);
        }
    }
    void load(const std::vector<Word>& program) { machine.load(program); }

    std::istringstream input;
    std::ostringstream output;
    Machine machine{input, output};
};

TEST_F(MachineTest, StartsWithEverythingZero) {
    for (std::int32_t i = 0; i < 16; ++i) {
        EXPECT_EQ(machine.registers.at(i).value(), 0);
    }
    for (std::size_t a = 0; a < Machine::memorySize; ++a) {
        ASSERT_EQ(machine.memory[a].value(), 0) << a;
    }
    EXPECT_EQ(machine.programCounter, 0);
    EXPECT_FALSE(machine.halted());
}

TEST_F(MachineTest, LoadsAnImageFromAddressZero) {
    machine.memory[3] = Word(99);
    load({Word(7), Word(-1)});
    EXPECT_EQ(machine.memory[0].value(), 7);
    EXPECT_EQ(machine.memory[1].value(), -1);
    EXPECT_EQ(machine.memory[2].value(), 0);
    EXPECT_EQ(machine.memory[3].value(), 99) << "words past the image stay as they were";
}

// One instruction at address 0, run from a given state: the listed registers
// and memory words change, nothing else does, and the program counter moves on.
struct StepCase {
    const char* name;
    Word instruction;
    RegisterValues registersBefore;
    MemoryValues memoryBefore;
    RegisterValues registersAfter;
    MemoryValues memoryAfter;
    std::uint16_t programCounterAfter;
    Kind effect;
};

const Word jump200 = encode(Jump, A, A, 200);

const StepCase stepCases[] = {
    {"noop", encode(Noop), {{A, 1}}, {}, {}, {}, 1, Kind::Nothing},
    {"a data word runs as noop", Word(100), {}, {}, {}, {}, 1, Kind::Nothing},
    {"load", encode(Load, B, A, 10), {}, {{10, 42}}, {{B, 42}}, {}, 1, Kind::Register},
    {"store", encode(Store, C, A, 11), {{C, -7}}, {}, {}, {{11, -7}}, 1, Kind::Memory},
    {"store into its own cell",
     encode(Store, C, A, 0),
     {{C, 5}},
     {},
     {},
     {{0, 5}},
     1,
     Kind::Memory},
    {"loadi through a jump word",
     encode(Loadi, A, B),
     {{B, jump200.value()}},
     {{200, 99}},
     {{A, 99}},
     {},
     1,
     Kind::Register},
    {"loadi through a load word",
     encode(Loadi, A, B),
     {{B, encode(Load, P, A, 300).value()}},
     {{300, 5}},
     {{A, 5}},
     {},
     1,
     Kind::Register},
    {"loadi reads the pointer before it writes",
     encode(Loadi, A, A),
     {{A, encode(Jz, A, A, 7).value()}},
     {{7, 3}},
     {{A, 3}},
     {},
     1,
     Kind::Register},
    {"loadi ignores bits 16 to 19 of the pointer",
     encode(Loadi, A, B),
     {{B, jump200.value() | 0xF0000}},
     {{200, 8}},
     {{A, 8}},
     {},
     1,
     Kind::Register},
    {"storei",
     encode(Storei, D, E),
     {{D, 5}, {E, encode(Jn, A, A, 300).value()}},
     {},
     {},
     {{300, 5}},
     1,
     Kind::Memory},
    {"storei of the pointer itself",
     encode(Storei, E, E),
     {{E, encode(Store, A, A, 9).value()}},
     {},
     {},
     {{9, encode(Store, A, A, 9).value()}},
     1,
     Kind::Memory},
    {"add", encode(Add, B), {{A, 3}, {B, 4}}, {}, {{A, 7}}, {}, 1, Kind::Register},
    {"add A doubles A", encode(Add, A), {{A, 3}}, {}, {{A, 6}}, {}, 1, Kind::Register},
    {"add wraps around",
     encode(Add, B),
     {{A, intMax}, {B, 1}},
     {},
     {{A, intMin}},
     {},
     1,
     Kind::Register},
    {"sub", encode(Sub, B), {{A, 3}, {B, 5}}, {}, {{A, -2}}, {}, 1, Kind::Register},
    {"sub A clears A", encode(Sub, A), {{A, 3}}, {}, {{A, 0}}, {}, 1, Kind::Register},
    {"sub wraps around",
     encode(Sub, B),
     {{A, intMin}, {B, 1}},
     {},
     {{A, intMax}},
     {},
     1,
     Kind::Register},
    {"zero", encode(Zero, F), {{F, 9}}, {}, {{F, 0}}, {}, 1, Kind::Register},
    {"incr", encode(Incr, G), {{G, 41}}, {}, {{G, 42}}, {}, 1, Kind::Register},
    {"incr wraps around", encode(Incr, G), {{G, intMax}}, {}, {{G, intMin}}, {}, 1, Kind::Register},
    {"decr below zero", encode(Decr, H), {}, {}, {{H, -1}}, {}, 1, Kind::Register},
    {"decr wraps around", encode(Decr, H), {{H, intMin}}, {}, {{H, intMax}}, {}, 1, Kind::Register},
    {"neg is the complement", encode(Neg, K), {{K, 5}}, {}, {{K, -6}}, {}, 1, Kind::Register},
    {"neg of zero", encode(Neg, K), {}, {}, {{K, -1}}, {}, 1, Kind::Register},
    {"jz taken", encode(Jz, L, A, 9), {}, {}, {}, {}, 9, Kind::Jump},
    {"jz not taken", encode(Jz, L, A, 9), {{L, 1}}, {}, {}, {}, 1, Kind::NoJump},
    {"jn taken", encode(Jn, M, A, 9), {{M, -1}}, {}, {}, {}, 9, Kind::Jump},
    {"jn taken at the most negative",
     encode(Jn, M, A, 9),
     {{M, intMin}},
     {},
     {},
     {},
     9,
     Kind::Jump},
    {"jn not taken at zero", encode(Jn, M, A, 9), {}, {}, {}, {}, 1, Kind::NoJump},
    {"jn not taken", encode(Jn, M, A, 9), {{M, intMax}}, {}, {}, {}, 1, Kind::NoJump},
    {"jump", encode(Jump, A, A, 1234), {}, {}, {}, {}, 1234, Kind::Jump},
    {"jump to itself", encode(Jump, A, A, 0), {}, {}, {}, {}, 0, Kind::Jump},
    {"jump end halts", encode(Jump, A, A, 0xFFFF), {}, {}, {}, {}, 0xFFFF, Kind::Jump},
};

void prepare(Machine& m, const StepCase& c) {
    m.memory[0] = c.instruction;
    for (const auto& [r, value] : c.registersBefore) {
        m.registers.at(r) = Word(value);
    }
    for (const auto& [address, value] : c.memoryBefore) {
        m.memory[address] = Word(value);
    }
}

TEST_F(MachineTest, EachOperationChangesOnlyWhatItShould) {
    for (const StepCase& c : stepCases) {
        SCOPED_TRACE(c.name);
        Machine m(input, output);
        prepare(m, c);
        State expected(m);
        for (const auto& [r, value] : c.registersAfter) {
            expected.registers[static_cast<std::size_t>(r)] = value;
        }
        for (const auto& [address, value] : c.memoryAfter) {
            expected.memory[address] = value;
        }
        expected.programCounter = c.programCounterAfter;

        StepEffect effect;
        EXPECT_EQ(m.step(effect), c.programCounterAfter);
        EXPECT_TRUE(State(m) == expected);
        EXPECT_EQ(effect.kind, c.effect);
    }
}

TEST_F(MachineTest, StepWithAndWithoutEffectAgree) {
    for (const StepCase& c : stepCases) {
        SCOPED_TRACE(c.name);
        Machine plain(input, output);
        Machine recorded(input, output);
        prepare(plain, c);
        prepare(recorded, c);
        StepEffect effect;
        EXPECT_EQ(plain.step(), recorded.step(effect));
        EXPECT_TRUE(State(plain) == State(recorded));
    }
}

// run() dispatches on its own: every case must end where stepping one
// instruction at a time ends, faults included. Each case runs in a memory of
// "incr P" words, so that it runs on to the halt address whatever it does,
// and P tells where it went on (but for a jump to itself, which run() would
// follow forever).
TEST_F(MachineTest, RunEndsWhereSteppingEnds) {
    for (const StepCase& c : stepCases) {
        SCOPED_TRACE(c.name);
        std::istringstream steppedInput("5 x");
        std::istringstream ranInput("5 x");
        std::ostringstream steppedOutput;
        std::ostringstream ranOutput;
        Machine stepped(steppedInput, steppedOutput);
        Machine ran(ranInput, ranOutput);
        for (Machine* m : {&stepped, &ran}) {
            std::fill_n(m->memory.get(), Machine::memorySize, encode(Incr, P));
            prepare(*m, c);
        }
        bool steppedFault = false;
        try {
            for (int steps = 0; steps < 70000 && !stepped.halted(); ++steps) {
                stepped.step();
            }
        } catch (const Word::InvalidAddressInOperation&) {
            steppedFault = true;
        }
        if (!stepped.halted() && !steppedFault) {
            continue;
        }
        bool ranFault = false;
        try {
            ran.run();
        } catch (const Word::InvalidAddressInOperation&) {
            ranFault = true;
        }
        EXPECT_EQ(ranFault, steppedFault);
        EXPECT_TRUE(State(ran) == State(stepped));
        EXPECT_EQ(ranOutput.str(), steppedOutput.str());
    }
}

TEST_F(MachineTest, EffectsNameWhatChanged) {
    set({{C, -7}}, {{10, 42}});
    load({encode(Load, B, A, 10), encode(Store, C, A, 11), encode(Jz, A, A, 5)});
    StepEffect effect;
    machine.step(effect);
    EXPECT_EQ(effect.reg, B);
    EXPECT_EQ(effect.value.value(), 42);
    machine.step(effect);
    EXPECT_EQ(effect.address, 11);
    EXPECT_EQ(effect.value.value(), -7);
    machine.step(effect);
    EXPECT_EQ(effect.address, 5);
}

TEST_F(MachineTest, IndirectAccessThroughAPlainNumberFaults) {
    const Word pointers[] = {Word(200), encode(Loadi, A, B), encode(Write), Word(-1)};
    for (const Operation op : {Loadi, Storei}) {
        for (const Word pointer : pointers) {
            SCOPED_TRACE(::testing::Message() << nameOf(op) << " through " << pointer.value());
            Machine m(input, output);
            m.memory[5] = encode(op, A, B);
            m.registers.at(A) = Word(1);
            m.registers.at(B) = pointer;
            m.programCounter = 5;
            State expected(m);
            expected.programCounter = 6;
            EXPECT_THROW(m.step(), Word::InvalidAddressInOperation);
            EXPECT_TRUE(State(m) == expected) << "only the program counter moved";
        }
    }
}

TEST_F(MachineTest, AHaltedMachineDoesNothing) {
    load({encode(Incr, A)});
    machine.memory[0xFFFF] = encode(Incr, A);
    machine.programCounter = 0xFFFF;
    const State before(machine);
    EXPECT_TRUE(machine.halted());
    EXPECT_EQ(machine.step(), 0xFFFF);
    StepEffect effect;
    EXPECT_EQ(machine.step(effect), 0xFFFF);
    EXPECT_EQ(effect.kind, Kind::Nothing);
    machine.run();
    EXPECT_EQ(machine.run(10), 0u);
    EXPECT_TRUE(State(machine) == before);
}

TEST_F(MachineTest, TheLastWordBeforeTheHaltAddressHaltsAfterIt) {
    machine.memory[0xFFFE] = encode(Incr, A);
    machine.programCounter = 0xFFFE;
    EXPECT_EQ(machine.step(), 0xFFFF);
    EXPECT_EQ(reg(A).value(), 1);
    EXPECT_TRUE(machine.halted());
}

TEST_F(MachineTest, AnEmptyMemoryRunsThroughToTheHaltAddress) {
    EXPECT_EQ(machine.run(1'000'000), 0xFFFFu);
    EXPECT_TRUE(machine.halted());
}

TEST_F(MachineTest, IncrementPastTheTopMakesJnJump) {
    set({{B, intMax}}, {});
    load({encode(Incr, B), encode(Jn, B, A, 7)});
    machine.step();
    EXPECT_EQ(machine.step(), 7);
}

TEST_F(MachineTest, NegTwiceRestoresTheValue) {
    set({{C, 12345}}, {});
    load({encode(Neg, C), encode(Neg, C)});
    machine.step();
    EXPECT_EQ(reg(C).value(), -12346);
    machine.step();
    EXPECT_EQ(reg(C).value(), 12345);
}

TEST_F(MachineTest, ReadTakesNumbersUntilTheInputEnds) {
    input.str("5\n  -3\t2147483647\n");
    load({encode(Read), encode(Read), encode(Read), encode(Read), encode(Read)});
    const std::pair<std::int32_t, Kind> expected[] = {
        {5, Kind::Register},        {-3, Kind::Register},       {intMax, Kind::Register},
        {intMax, Kind::InputEnded}, {intMax, Kind::InputEnded},
    };
    for (const auto& [value, kind] : expected) {
        StepEffect effect;
        machine.step(effect);
        EXPECT_EQ(reg(I).value(), value);
        EXPECT_EQ(effect.kind, kind);
    }
}

TEST_F(MachineTest, ReadLeavesIUnchangedOnAWordThatIsNotANumber) {
    const std::pair<const char*, Kind> inputs[] = {
        {"7 x 8", Kind::InputNotANumber},
        {"7 99999999999 8", Kind::InputOutOfRange},
        {"7 -2147483649 8", Kind::InputOutOfRange},
        {"7 + 8", Kind::InputNotANumber},
    };
    for (const auto& [text, kind] : inputs) {
        SCOPED_TRACE(text);
        std::istringstream in(text);
        Machine m(in, output);
        m.load(std::vector<Word>(3, encode(Read)));
        StepEffect effect;
        m.step(effect);
        EXPECT_EQ(m.registers.at(I).value(), 7);
        m.step(effect);
        EXPECT_EQ(effect.kind, kind);
        m.step(effect);
        EXPECT_EQ(effect.kind, Kind::InputNotANumber) << "every later read fails too";
        EXPECT_EQ(m.registers.at(I).value(), 7);
    }
}

TEST_F(MachineTest, WritePrintsRegisterOAsASignedDecimalLine) {
    load({encode(Write), encode(Decr, O), encode(Write), encode(Neg, O), encode(Decr, O),
          encode(Write)});
    machine.run(6);
    EXPECT_EQ(output.str(), "0\n-1\n-1\n");
}

TEST_F(MachineTest, RunStopsAtTheHaltAddress) {
    // Counts register O down from 3 and writes each value.
    input.str("3");
    load({encode(Read), encode(Store, I, A, 9), encode(Load, O, A, 9), encode(Jz, O, A, 7),
          encode(Write), encode(Decr, O), encode(Jump, A, A, 3), encode(Jump, A, A, 0xFFFF)});
    machine.run();
    EXPECT_TRUE(machine.halted());
    EXPECT_EQ(output.str(), "3\n2\n1\n");
}

TEST_F(MachineTest, RunWithALimitStopsAfterThatManySteps) {
    load({encode(Incr, A), encode(Jump, A, A, 0)});
    EXPECT_EQ(machine.run(5), 5u);
    EXPECT_EQ(reg(A).value(), 3);
    EXPECT_EQ(machine.programCounter, 1);
    EXPECT_EQ(machine.run(0), 0u);
    EXPECT_EQ(machine.programCounter, 1);

    Machine halting(input, output);
    halting.load(std::vector<Word>{encode(Incr, A), encode(Jump, A, A, 0xFFFF)});
    EXPECT_EQ(halting.run(100), 2u) << "a program that halts first runs fewer steps";
}

TEST_F(MachineTest, AFaultDuringRunLeavesTheCounterPastTheInstruction) {
    set({{B, 200}}, {});
    load({encode(Incr, A), encode(Loadi, C, B), encode(Incr, A)});
    EXPECT_THROW(machine.run(), Word::InvalidAddressInOperation);
    EXPECT_EQ(machine.programCounter, 2);
    EXPECT_EQ(reg(A).value(), 1);
    machine.programCounter = 0;
    EXPECT_THROW(machine.run(10), Word::InvalidAddressInOperation);
    EXPECT_EQ(machine.programCounter, 2);
}

TEST(Registers, RejectsNumbersOutsideZeroToFifteen) {
    Register::Registers registers;
    registers.at(0) = Word(1);
    registers.at(15) = Word(2);
    EXPECT_EQ(registers.at(RegisterId::A).value(), 1);
    EXPECT_EQ(registers.at(RegisterId::P).value(), 2);
    for (const std::int32_t index : {-1, 16, intMin, intMax}) {
        try {
            registers.at(index);
            ADD_FAILURE() << index << " was accepted";
        } catch (const Register::Registers::registerOutOfBounds& error) {
            EXPECT_EQ(error.index, index);
        }
    }
}

}  // namespace
}  // namespace Vorn
