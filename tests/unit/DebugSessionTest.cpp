// The debugging session against the plain machine: every state it shows,
// forward and backward and with its snapshots thinned, is the machine's
// after as many steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include "debug/Session.h"

namespace Vorn::Debug {
namespace {

// Reads n, then counts it down into memory word `count`, writing each value.
constexpr const char* source = R"(        read
:loop   store I count
        jz I done
        decr I
        write
        jump loop
:done   jump end
:count  0
)";

struct State {
    std::uint16_t programCounter;
    std::vector<std::int32_t> registers;
    std::vector<std::int32_t> memory;  // the first 16 words: all the program writes
    bool operator==(const State&) const = default;
};

State stateOf(const Machine& machine) {
    State state{machine.programCounter, {}, {}};
    for (std::int32_t r = 0; r < static_cast<std::int32_t>(registerCount); ++r) {
        state.registers.push_back(machine.registers.at(r).value());
    }
    for (std::uint16_t address = 0; address < 16; ++address) {
        state.memory.push_back(machine.memory[address].value());
    }
    return state;
}

Program program() {
    Program result = Program::fromSource(source);
    EXPECT_FALSE(result.error());
    return result;
}

// The machine's states after 0, 1, 2, ... steps, to its halt.
std::vector<State> referenceStates(int n) {
    std::istringstream in(std::to_string(n));
    std::ostringstream out;
    Machine machine(in, out);
    machine.load(program().words());
    std::vector<State> states{stateOf(machine)};
    while (!machine.halted()) {
        machine.step();
        states.push_back(stateOf(machine));
    }
    return states;
}

Session::Options optionsReading(int n) {
    Session::Options options;
    bool given = false;
    options.input = [n, given]() mutable {
        const bool first = !given;
        given = true;
        return first ? InputResult{InputResult::Kind::Number, n} : InputResult{};
    };
    return options;
}

TEST(DebugSession, EveryStateForwardAndBackIsTheMachines) {
    const std::vector<State> reference = referenceStates(300);
    // Small budgets: the snapshots are thinned many times over the run.
    Session::Options options = optionsReading(300);
    options.firstInterval = 3;
    options.maxSnapshots = 5;
    Session session(program(), options);
    EXPECT_EQ(session.stepForward(1'000'000).reason, Stop::Reason::Halted);
    ASSERT_EQ(session.step() + 1, reference.size());
    for (std::uint64_t back : {1u, 7u, 64u, 1u, 500u, 3u, 10'000u}) {
        const std::uint64_t from = session.step();
        const Stop stop = session.reverseStep(back);
        const std::uint64_t expected = from >= back ? from - back : 0;
        EXPECT_EQ(stop.reason,
                  from > back ? Stop::Reason::SteppedBack : Stop::Reason::HistoryStart);
        ASSERT_EQ(session.step(), expected);
        EXPECT_EQ(stateOf(session.machine()), reference[expected]) << "back at step " << expected;
        session.stepForward(back / 2);
        EXPECT_EQ(stateOf(session.machine()), reference[session.step()])
            << "forward again to step " << session.step();
    }
}

// The machine's writes to its halt: step, address, value.
std::vector<OutputRecord> referenceOutput(int n) {
    std::istringstream in(std::to_string(n));
    std::ostringstream out;
    Machine machine(in, out);
    machine.load(program().words());
    std::vector<OutputRecord> written;
    StepEffect effect;
    for (std::uint64_t step = 1; !machine.halted(); ++step) {
        const std::uint16_t address = machine.programCounter;
        machine.step(effect);
        if (effect.kind == StepEffect::Kind::Output) {
            written.push_back({step, address, effect.value.value()});
        }
    }
    return written;
}

std::uint64_t writtenBy(const std::vector<OutputRecord>& written, std::uint64_t step) {
    return static_cast<std::uint64_t>(
        std::count_if(written.begin(), written.end(),
                      [step](const OutputRecord& record) { return record.step <= step; }));
}

TEST(DebugSession, TheOutputLogKeepsEachWriteWithItsStepAndTheCountFollowsTheCurrentStep) {
    const std::vector<OutputRecord> reference = referenceOutput(200);
    Session::Options options = optionsReading(200);
    options.firstInterval = 3;
    options.maxSnapshots = 5;
    options.outputLog = 1000;
    std::vector<std::int32_t> told;
    options.output = [&told](std::int32_t value) { told.push_back(value); };
    Session session(program(), options);
    EXPECT_EQ(session.continueRun().reason, Stop::Reason::Halted);
    EXPECT_EQ(session.outputLog(), reference) << "the fast run stops at each new write";
    EXPECT_EQ(session.outputCount(), reference.size());
    EXPECT_EQ(told.size(), reference.size());

    for (std::uint64_t back : {1u, 5u, 64u, 1u, 333u, 3u}) {
        session.reverseStep(back);
        EXPECT_EQ(session.outputCount(), writtenBy(reference, session.step()))
            << "back at step " << session.step();
        session.stepForward(back / 2);
        EXPECT_EQ(session.outputCount(), writtenBy(reference, session.step()))
            << "forward again to step " << session.step();
    }
    session.addBreakpoint(6, "done");
    session.reverseContinue();
    EXPECT_EQ(session.outputCount(), 0u);
    session.continueRun();
    EXPECT_EQ(session.outputLog(), reference) << "running again adds nothing";
    EXPECT_EQ(session.outputCount(), reference.size());

    // A change by hand forgets the writes after it.
    session.reverseStep(session.step() - reference[9].step);
    session.setRegister(RegisterId::I, Word(1));
    EXPECT_EQ(session.outputLog().size(), 10u);
    session.continueRun();
    const std::vector<OutputRecord>& changed = session.outputLog();
    ASSERT_EQ(changed.size(), 11u);
    EXPECT_EQ(changed[10].value, 0) << "1 less one";

    // The log keeps the first writes, the count goes on.
    Session::Options few = optionsReading(200);
    few.outputLog = 7;
    Session capped(program(), few);
    capped.continueRun();
    EXPECT_EQ(capped.outputLog(),
              std::vector<OutputRecord>(reference.begin(), reference.begin() + 7));
    EXPECT_EQ(capped.outputCount(), reference.size());
}

TEST(DebugSession, ReverseContinueStopsBeforeTheLastWriteOfAWatchedWord) {
    Session session(program(), optionsReading(3));
    session.addMemoryWatch(7, "count");
    // Forward: after each store, old and new value.
    std::vector<std::int32_t> written;
    for (Stop stop = session.continueRun(); stop.reason == Stop::Reason::Watchpoint;
         stop = session.continueRun()) {
        written.push_back(stop.newValue.value());
    }
    EXPECT_EQ(written, (std::vector<std::int32_t>{3, 2, 1, 0}));
    // Backward: just before each store, from the last.
    std::vector<std::uint64_t> steps;
    for (Stop stop = session.reverseContinue(); stop.reason == Stop::Reason::Watchpoint;
         stop = session.reverseContinue()) {
        EXPECT_EQ(session.programCounter(), 1);
        steps.push_back(session.step());
    }
    EXPECT_EQ(steps, (std::vector<std::uint64_t>{16, 11, 6, 1}));
    EXPECT_EQ(session.step(), 0u);
}

TEST(DebugSession, TheHistoryLimitDropsTheOldestSteps) {
    Session::Options options = optionsReading(100);
    options.historyLimit = 10;
    options.firstInterval = 4;
    Session session(program(), options);
    session.stepForward(50);
    const Stop stop = session.reverseStep(25);
    EXPECT_EQ(stop.reason, Stop::Reason::HistoryStart);
    EXPECT_TRUE(stop.historyDropped);
    EXPECT_EQ(session.step(), 40u);
    EXPECT_EQ(stateOf(session.machine()), referenceStates(100)[40]);

    Session::Options none = optionsReading(100);
    none.historyLimit = 0;
    Session without(program(), none);
    without.stepForward(5);
    EXPECT_EQ(without.reverseStep(1).reason, Stop::Reason::NoHistory);
    EXPECT_EQ(without.step(), 5u);
}

TEST(DebugSession, UnchangedMemoryPagesAreKeptOnce) {
    Session::Options options = optionsReading(1'000'000);
    options.firstInterval = 1024;
    Session session(program(), options);
    session.continueRun();
    const HistoryStats history = session.history();
    EXPECT_GT(history.snapshots, 100u);
    // One page changes per snapshot; a full copy each would be 256 KB.
    EXPECT_LT(history.bytes, history.snapshots * 8 * 1024);
}

// A continue stops at a breakpoint however the run reaches it: by a jump
// written into the code on the way, by store or storei, as well as by a
// branch; where nothing reaches it, the run goes on to the halt.
TEST(DebugSession, ContinueStopsAtABreakpointReachedThroughRewrittenCode) {
    struct Case {
        const char* name;
        const char* source;
        Stop::Reason reason;
        std::uint64_t step;
    };
    const Case cases[] = {
        {"a store writes the jump to it",
         "        load A patch\n"
         "        store A slot\n"
         ":slot   jump end\n"
         ":target jump end\n"
         ":patch  jump target\n",
         Stop::Reason::Breakpoint, 3},
        {"a storei writes the jump to it",
         "        load A patch\n"
         "        load P pointer\n"
         "        storei A P\n"
         ":slot   jump end\n"
         ":target jump end\n"
         ":patch  jump target\n"
         ":pointer jump slot\n",
         Stop::Reason::Breakpoint, 4},
        {"a branch goes to it",
         "        jz A target\n"
         "        jump end\n"
         ":target jump end\n",
         Stop::Reason::Breakpoint, 1},
        {"a store writes data only; nothing goes to it",
         "        store A data\n"
         "        jump end\n"
         ":target jump end\n"
         ":data   0\n",
         Stop::Reason::Halted, 2},
    };
    for (const Case& test : cases) {
        for (const std::uint64_t historyLimit : {Session::unlimited, std::uint64_t{0}}) {
            SCOPED_TRACE(test.name);
            Program debugProgram = Program::fromSource(test.source);
            ASSERT_FALSE(debugProgram.error());
            const auto target = *debugProgram.addressOf("target");
            Session::Options options;
            options.historyLimit = historyLimit;
            Session session(std::move(debugProgram), options);
            session.addBreakpoint(target, "target");
            const Stop stop = session.continueRun();
            EXPECT_EQ(stop.reason, test.reason);
            EXPECT_EQ(session.step(), test.step);
        }
    }
}

}  // namespace
}  // namespace Vorn::Debug
