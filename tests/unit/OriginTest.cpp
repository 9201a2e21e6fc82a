// A value's origin chain against a full trace: on random programs, run in a
// session with many snapshots, every link of the chain for every register and
// some memory words, at random steps, is the last write of its location
// before the step that used it (or the image, the input, the start), as
// the machine's own step-by-step run with its effects shows.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <vector>

#include "debug/Session.h"
#include "support/Encode.h"

namespace Vorn::Debug {
namespace {

// Straight-line and looping code over registers A to D and words 40 to 47,
// pointers from the words 48 to 51 (load A 40 ... load A 47), reads; a
// jump back every so often, ended by the step limit of the run.
std::vector<Word> randomProgram(std::mt19937& random) {
    const std::vector<Operation> operations{Operation::Load,   Operation::Store, Operation::Loadi,
                                            Operation::Storei, Operation::Add,   Operation::Sub,
                                            Operation::Incr,   Operation::Zero,  Operation::Read,
                                            Operation::Neg,    Operation::Jn,    Operation::Decr};
    std::uniform_int_distribution<std::size_t> pick(0, operations.size() - 1);
    std::uniform_int_distribution<int> reg(0, 3);
    std::uniform_int_distribution<int> word(40, 51);
    std::vector<Word> words;
    for (int i = 0; i < 36; ++i) {
        const Operation op = operations[pick(random)];
        const auto r1 = static_cast<RegisterId>(reg(random));
        // loadi and storei go through B, which the program keeps a pointer
        RegisterId r2 = RegisterId::B;
        std::uint16_t address = static_cast<std::uint16_t>(word(random));
        if (op == Operation::Jn) {
            address = static_cast<std::uint16_t>(random() % 36);
        }
        words.push_back(Testing::encode(op, r1, r2, address));
    }
    words.push_back(Testing::encode(Operation::Jump, RegisterId::A, RegisterId::A, 0));
    while (words.size() < 40) {
        words.push_back(Word(0));
    }
    for (int i = 0; i < 8; ++i) {
        words.push_back(Word(static_cast<std::int32_t>(random() % 50)));
    }
    for (std::uint16_t i = 0; i < 4; ++i) {
        words.push_back(
            Testing::encode(Operation::Load, RegisterId::A, RegisterId::A, std::uint16_t(40 + i)));
    }
    // B starts as a pointer
    words[0] = Testing::encode(Operation::Load, RegisterId::B, RegisterId::A, 48);
    return words;
}

// The effect of each step, from 1.
std::vector<StepEffect> traceOf(const std::vector<Word>& words, std::uint64_t steps) {
    std::istringstream in("3 -7 11 4 0 9 2 8 5 1 6 7");
    std::ostringstream out;
    Machine machine(in, out);
    machine.load(words);
    std::vector<StepEffect> effects{StepEffect{}};
    for (std::uint64_t step = 0; step < steps && !machine.halted(); ++step) {
        StepEffect effect;
        try {
            machine.step(effect);
        } catch (const Word::InvalidAddressInOperation&) {
            break;
        }
        effects.push_back(effect);
    }
    return effects;
}

bool writes(const StepEffect& effect, const Location& location) {
    return location.kind == Location::Kind::Register
               ? effect.kind == StepEffect::Kind::Register && effect.reg == location.reg
               : effect.kind == StepEffect::Kind::Memory && effect.address == location.address;
}

// The last step at or before `upTo` that wrote the location, 0 for none.
std::uint64_t lastWriter(const std::vector<StepEffect>& effects, const Location& location,
                         std::uint64_t upTo) {
    for (std::uint64_t step = std::min<std::uint64_t>(upTo, effects.size() - 1); step > 0; --step) {
        if (writes(effects[step], location)) {
            return step;
        }
    }
    return 0;
}

TEST(Origin, EveryLinkIsTheLastWriteBeforeItsUse) {
    std::mt19937 random(5);
    int links = 0;
    for (int round = 0; round < 60; ++round) {
        const std::vector<Word> words = randomProgram(random);
        Session::Options options;
        options.firstInterval = 7;  // many snapshots: links found across them
        options.limits.steps = 400;
        std::istringstream numbers("3 -7 11 4 0 9 2 8 5 1 6 7");
        options.input = [&numbers]() {
            std::int32_t value = 0;
            return numbers >> value ? InputResult{InputResult::Kind::Number, value} : InputResult{};
        };
        Session session(Program::fromImage(words), options);
        session.continueRun();
        const std::vector<StepEffect> effects = traceOf(words, session.step());
        for (int ask = 0; ask < 6; ++ask) {
            const std::uint64_t at = random() % (session.step() + 1);
            const Location location =
                ask % 2 == 0
                    ? Location{Location::Kind::Register, static_cast<RegisterId>(random() % 4), 0}
                    : Location{Location::Kind::Memory, RegisterId::A,
                               static_cast<std::uint16_t>(40 + random() % 8)};
            const std::uint64_t now = session.step();
            const std::vector<OriginLink> chain = session.origin(location, at, 50);
            ASSERT_EQ(session.step(), now);
            ASSERT_FALSE(chain.empty());
            std::vector<std::uint64_t> usedAt{at};  // by depth: the step whose state it is
            for (const OriginLink& link : chain) {
                if (link.source == OriginLink::Source::NotFollowed) {
                    break;
                }
                SCOPED_TRACE("round " + std::to_string(round) + " link at depth " +
                             std::to_string(link.depth));
                usedAt.resize(static_cast<std::size_t>(link.depth) + 1);
                const std::uint64_t upTo = usedAt.back();
                const std::uint64_t writer = lastWriter(effects, link.location, upTo);
                if (writer == 0) {
                    EXPECT_TRUE(link.source == OriginLink::Source::Image ||
                                link.source == OriginLink::Source::Start);
                } else {
                    EXPECT_EQ(link.step, writer);
                    EXPECT_EQ(link.value.value(), effects[writer].value.value());
                    EXPECT_EQ(link.source == OriginLink::Source::Input,
                              words.size() > 0 && link.instruction.opcode() == Operation::Read);
                }
                usedAt.push_back(link.step > 0 ? link.step - 1 : 0);
                ++links;
            }
        }
    }
    EXPECT_GT(links, 500);
}

}  // namespace
}  // namespace Vorn::Debug
