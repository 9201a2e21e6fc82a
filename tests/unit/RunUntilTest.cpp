// The run loop against the step: random programs, run by runUntil with
// limits and stops, end in the same state as the same programs stepped one
// instruction at a time with the same checks.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <sstream>
#include <vector>

#include "machine/Machine.h"
#include "support/Encode.h"

namespace Vorn {
namespace {

using End = Machine::RunResult::End;

// The step-by-step reference: the checks runUntil makes, in its order.
Machine::RunResult stepUntil(Machine& machine, std::uint64_t limit, const std::uint8_t* stops) {
    Machine::RunResult result;
    try {
        while (true) {
            if (machine.halted()) {
                result.end = End::Halted;
                return result;
            }
            if (stops != nullptr && stops[machine.programCounter] != 0) {
                result.end = End::Stopped;
                return result;
            }
            if (result.steps == limit) {
                result.end = End::StepLimit;
                return result;
            }
            ++result.steps;
            machine.step();
        }
    } catch (const Word::InvalidAddressInOperation&) {
        result.end = End::Fault;
    }
    return result;
}

// A program in the first 64 cells that jumps and points within them; some of
// its words end on the halt address, some are plain numbers.
std::vector<Word> randomProgram(std::mt19937& random) {
    std::uniform_int_distribution<int> operation(0, 15);
    std::uniform_int_distribution<int> reg(0, 15);
    std::uniform_int_distribution<int> address(0, 63);
    std::uniform_int_distribution<int> kind(0, 19);
    std::vector<Word> program;
    for (int i = 0; i < 64; ++i) {
        const int k = kind(random);
        if (k == 0) {
            program.push_back(Word(static_cast<std::int32_t>(random())));
        } else if (k == 1) {
            program.push_back(Testing::encode(Operation::Jump, RegisterId::A, RegisterId::A,
                                              Machine::haltAddress));
        } else {
            program.push_back(Testing::encode(
                static_cast<Operation>(operation(random)), static_cast<RegisterId>(reg(random)),
                static_cast<RegisterId>(reg(random)), static_cast<std::uint16_t>(address(random))));
        }
    }
    return program;
}

struct MachineRun {
    std::istringstream input{"3 -1 x 7 2147483647"};
    std::ostringstream output;
    Machine machine{input, output};
};

void expectSameState(const Machine& a, const Machine& b) {
    EXPECT_EQ(a.programCounter, b.programCounter);
    for (int r = 0; r < 16; ++r) {
        EXPECT_EQ(a.registers.at(r).value(), b.registers.at(r).value()) << "register " << r;
    }
    for (std::size_t address = 0; address < 64; ++address) {
        EXPECT_EQ(a.memory[address].value(), b.memory[address].value()) << "address " << address;
    }
}

// runUntil, and run(limit) where it applies, against the steps one by one.
void expectRunEndsAsStepping(const std::vector<Word>& words, std::uint64_t limit,
                             const std::uint8_t* stops) {
    MachineRun ran;
    MachineRun stepped;
    ran.machine.load(words);
    stepped.machine.load(words);
    const Machine::RunResult got = ran.machine.runUntil(limit, stops);
    const Machine::RunResult want = stepUntil(stepped.machine, limit, stops);
    EXPECT_EQ(got.end, want.end);
    EXPECT_EQ(got.steps, want.steps);
    expectSameState(ran.machine, stepped.machine);
    EXPECT_EQ(ran.output.str(), stepped.output.str());
    if (stops == nullptr && want.end != End::Fault) {
        MachineRun counted;
        counted.machine.load(words);
        EXPECT_EQ(counted.machine.run(limit), want.steps);
        expectSameState(counted.machine, stepped.machine);
    }
}

TEST(RunUntil, EndsWhereSteppingEnds) {
    std::mt19937 random(2026);
    for (int program = 0; program < 200; ++program) {
        const std::vector<Word> words = randomProgram(random);
        std::vector<std::uint8_t> stops(Machine::memorySize, 0);
        for (int i = 0; i < program % 4; ++i) {
            stops[random() % 64] = 1;
        }
        // Past 65535 steps a run counts by its straight runs: every tenth
        // program goes that far too.
        std::vector<std::uint64_t> limits = {0, 1, 17, 5000, 20000};
        if (program % 10 == 0) {
            limits.push_back(150001);
        }
        for (const std::uint64_t limit : limits) {
            for (const std::uint8_t* stopsUsed : {static_cast<const std::uint8_t*>(nullptr),
                                                  static_cast<const std::uint8_t*>(stops.data())}) {
                SCOPED_TRACE(testing::Message() << "program " << program << ", limit " << limit
                                                << (stopsUsed ? ", stops" : ""));
                expectRunEndsAsStepping(words, limit, stopsUsed);
            }
        }
    }
}

// Long runs count their steps by straight runs, checked at the jumps taken:
// runs of tens of thousands of addresses, limits on either side of where a
// run, a loop or the whole memory ends, a fault and a stop far along.
TEST(RunUntil, LongStraightRunsCountExactly) {
    using Testing::encode;
    const Word noop = encode(Operation::Noop, RegisterId::A, RegisterId::A, 0);
    // Each case fills memory from `noop` words and sets a few.
    struct Case {
        const char* name;
        std::vector<std::pair<std::uint16_t, Word>> words;
        std::vector<std::uint16_t> stops;
        std::vector<std::uint64_t> limits;
    };
    const Word backToZero = encode(Operation::Jump, RegisterId::A, RegisterId::A, 0);
    const std::vector<Case> cases = {
        {"through memory to the halt", {}, {}, {65534, 65535, 65536, 65537, 200000}},
        {"a loop of 60001 steps",
         {{60000, backToZero}},
         {},
         {65535, 65536, 120001, 120002, 180003, 1000007}},
        {"a jump to itself",
         {{7, encode(Operation::Jump, RegisterId::A, RegisterId::A, 7)}},
         {},
         {65535, 65536, 100000}},
        {"a jump to the next address",
         {{0, encode(Operation::Jump, RegisterId::A, RegisterId::A, 1)}},
         {},
         {65535, 65536, 70000}},
        // Straight runs of 65535 steps, the longest: jump 0 at 0xFFFE.
        {"a loop of 65535 steps",
         {{0xFFFE, backToZero}},
         {},
         {65535, 65536, 65537, 131070, 131071, 131072, 196605, 196606, 196607}},
        {"a fault after 40002 steps",
         {{40001, encode(Operation::Loadi, RegisterId::A, RegisterId::B, 0)}},
         {},
         {40001, 40002, 65536, 100000}},
        {"a countdown of 3 loops, then a stop far along",
         {{0, encode(Operation::Load, RegisterId::C, RegisterId::A, 100)},
          {1, encode(Operation::Jz, RegisterId::C, RegisterId::A, 50000)},
          {2, encode(Operation::Decr, RegisterId::C, RegisterId::A, 0)},
          {30000, encode(Operation::Jump, RegisterId::A, RegisterId::A, 1)},
          {100, Word(3)}},
         {60000},
         {65535, 65536, 90000, 150000, 1000000}},
        {"a countdown of 3 loops, then a fault far along",
         {{0, encode(Operation::Load, RegisterId::C, RegisterId::A, 100)},
          {1, encode(Operation::Jz, RegisterId::C, RegisterId::A, 50000)},
          {2, encode(Operation::Decr, RegisterId::C, RegisterId::A, 0)},
          {30000, encode(Operation::Jump, RegisterId::A, RegisterId::A, 1)},
          {50002, encode(Operation::Loadi, RegisterId::A, RegisterId::B, 0)},
          {100, Word(3)}},
         {},
         {100000, 150000}},
    };
    for (const Case& c : cases) {
        std::vector<Word> words(Machine::memorySize - 1, noop);
        for (const auto& [address, word] : c.words) {
            words[address] = word;
        }
        std::vector<std::uint8_t> stops(Machine::memorySize, 0);
        for (const std::uint16_t address : c.stops) {
            stops[address] = 1;
        }
        const std::uint8_t* stopsUsed = c.stops.empty() ? nullptr : stops.data();
        for (const std::uint64_t limit : c.limits) {
            SCOPED_TRACE(testing::Message() << c.name << ", limit " << limit);
            expectRunEndsAsStepping(words, limit, stopsUsed);
        }
    }
}

// A long run that starts where another left it, away from address 0, counts
// from there.
TEST(RunUntil, ALongRunResumesAwayFromTheStart) {
    using Testing::encode;
    std::vector<Word> words(Machine::memorySize - 1,
                            encode(Operation::Noop, RegisterId::A, RegisterId::A, 0));
    words[0xFFFE] = encode(Operation::Jump, RegisterId::A, RegisterId::A, 1000);
    MachineRun whole;
    MachineRun halves;
    whole.machine.load(words);
    halves.machine.load(words);
    const Machine::RunResult once = whole.machine.runUntil(200001);
    const Machine::RunResult first = halves.machine.runUntil(100000);
    ASSERT_EQ(first.steps, 100000u);
    EXPECT_NE(halves.machine.programCounter, 0);
    const Machine::RunResult second = halves.machine.runUntil(100001);
    EXPECT_EQ(first.steps + second.steps, once.steps);
    EXPECT_EQ(second.end, once.end);
    expectSameState(whole.machine, halves.machine);
    EXPECT_EQ(whole.machine.programCounter, (200001 - 65535) % 64535 + 1000);
}

TEST(RunUntil, ARunResumesWhereALimitLeftIt) {
    std::mt19937 random(7);
    for (int program = 0; program < 50; ++program) {
        const std::vector<Word> words = randomProgram(random);
        MachineRun whole;
        MachineRun pieces;
        whole.machine.load(words);
        pieces.machine.load(words);
        const Machine::RunResult once = whole.machine.runUntil(3000);
        std::uint64_t steps = 0;
        Machine::RunResult piece;
        do {
            piece = pieces.machine.runUntil(std::min<std::uint64_t>(7, 3000 - steps));
            steps += piece.steps;
        } while (piece.end == End::StepLimit && steps < 3000);
        EXPECT_EQ(steps, once.steps);
        EXPECT_EQ(piece.end, once.end);
        expectSameState(whole.machine, pieces.machine);
    }
}

// An accelerator that keeps its side of the bargain by stepping, and gives
// up now and then: at once, after some steps, or at an instruction it
// leaves aside (read, write, a pointer without an address).
class SteppingAccelerator : public Machine::Accelerator {
  public:
    Ended run(Machine& machine, std::uint64_t limit, const std::uint8_t* stops, bool resumed,
              Machine::RunResult& result) override {
        result.steps = 0;
        // Resumed only after a step aside, which leaves the program counter
        // past an instruction that talks to the world.
        if (resumed) {
            EXPECT_TRUE(lastAside_ && machine.programCounter == lastAsideAt_ + 1)
                << "at " << machine.programCounter;
        }
        lastAside_ = false;
        if (random_() % 8 == 0) {
            return Ended::NotHere;
        }
        const std::uint64_t giveUpAfter = random_() % 4 == 0 ? random_() % 1000 : UINT64_MAX;
        while (true) {
            if (machine.halted()) {
                result.end = End::Halted;
                return Ended::Ended;
            }
            const std::uint16_t from = machine.programCounter;
            if (stops != nullptr && stops[from] != 0) {
                result.end = End::Stopped;
                return Ended::Ended;
            }
            if (result.steps >= giveUpAfter) {
                return Ended::NotHere;
            }
            const Word word = machine.memory[from];
            const OperationShape& shape = shapeOf(word.opcode());
            if (shape.io != InputOutput::None ||
                (shape.hasRegister2 && !machine.registers.at(word.register2()).hasAddress())) {
                lastAside_ = true;
                lastAsideAt_ = from;
                return Ended::Aside;
            }
            machine.step();
            ++result.steps;
            if (machine.programCounter <= from && result.steps >= limit) {
                result.end = End::StepLimit;
                return Ended::Ended;
            }
        }
    }

  private:
    std::mt19937 random_{11};
    bool lastAside_ = false;
    std::uint32_t lastAsideAt_ = 0;
};

// Installed for one test.
class Accelerated {
  public:
    explicit Accelerated(Machine::Accelerator& accelerator) {
        Machine::setAccelerator(&accelerator);
    }
    Accelerated(const Accelerated&) = delete;
    Accelerated& operator=(const Accelerated&) = delete;
    ~Accelerated() { Machine::setAccelerator(nullptr); }
};

// With an accelerator, a long run counts and ends as ever: the steps it
// leaves aside (a fault among them) and the rest where it gives up run here.
TEST(RunUntil, AnAcceleratedRunEndsWhereSteppingEnds) {
    SteppingAccelerator accelerator;
    const Accelerated installed(accelerator);
    std::mt19937 random(2027);
    for (int program = 0; program < 300; ++program) {
        const std::vector<Word> words = randomProgram(random);
        std::vector<std::uint8_t> stops(Machine::memorySize, 0);
        for (int i = 0; i < program % 3; ++i) {
            stops[random() % 64] = 1;
        }
        for (const std::uint64_t limit : {65536u, 70000u, 150001u}) {
            SCOPED_TRACE(testing::Message() << "program " << program << ", limit " << limit);
            expectRunEndsAsStepping(words, limit, program % 3 == 0 ? nullptr : stops.data());
        }
    }
}

}  // namespace
}  // namespace Vorn
