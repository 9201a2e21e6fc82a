// The playground's session, natively: the same class the WebAssembly module
// runs in the page's worker.
#include "web/Session.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Vorn::Web {
namespace {

using State = Session::State;

// Reads n, writes n, n-1, ..., 1 (line 5 holds the loop's write).
const std::string countdown =
    "        read\n"           // 1  address 0
    "        store I count\n"  // 2  1
    "        load O count\n"   // 3  2
    ":loop   jz O done\n"      // 4  3
    "        write\n"          // 5  4
    "        decr O\n"         // 6  5
    "        jump loop\n"      // 7  6
    ":done   jump end\n"       // 8  7
    ":count  0\n";             // 9  8

// Everything a page shows of a machine, to compare two sessions.
struct Snapshot {
    std::vector<std::int32_t> registers;
    std::uint16_t programCounter;
    std::uint64_t steps;
    std::vector<std::int32_t> output;

    explicit Snapshot(const Session& session)
        : programCounter(session.machine().programCounter),
          steps(session.steps()),
          output(session.output()) {
        for (std::int32_t i = 0; i < 16; ++i) {
            registers.push_back(session.machine().registers.at(i).value());
        }
    }
    bool operator==(const Snapshot&) const = default;
};

Session loaded(const std::string& source, const std::string& input = "") {
    Session session;
    session.load(source, input);
    return session;
}

Snapshot afterSteps(const std::string& source, const std::string& input, std::uint64_t steps) {
    Session session = loaded(source, input);
    for (std::uint64_t i = 0; i < steps; ++i) {
        session.step();
    }
    return Snapshot(session);
}

TEST(SessionTest, RunsToTheEndWithTheInputAndKeepsTheOutput) {
    Session session = loaded(countdown, "3");
    session.continueRun(1000);
    EXPECT_EQ(session.state(), State::Halted);
    EXPECT_EQ(session.output(), (std::vector<std::int32_t>{3, 2, 1}));
    EXPECT_EQ(session.steps(), 17U);
    EXPECT_EQ(session.describe(), "Halted after 17 steps.");
}

TEST(SessionTest, ABudgetPausesARunThatGoesOnAfterIt) {
    Session session = loaded(":loop jump loop\n");
    session.continueRun(1000);
    EXPECT_EQ(session.state(), State::Ready);
    EXPECT_EQ(session.steps(), 1000U);
    session.continueRun(500);
    EXPECT_EQ(session.steps(), 1500U);
    EXPECT_EQ(session.describe(), "Paused at address 0 after 1500 steps.");
}

TEST(SessionTest, BackIsTheStateOneStepEarlierAtEveryStepOfARun) {
    Session session = loaded(countdown, "2");
    std::vector<Snapshot> seen{Snapshot(session)};
    while (session.state() == State::Ready) {
        session.step();
        seen.emplace_back(session);
    }
    ASSERT_EQ(session.state(), State::Halted);
    for (std::size_t i = seen.size() - 1; i > 0; --i) {
        session.back();
        EXPECT_EQ(Snapshot(session), seen[i - 1]) << "back to step " << i - 1;
        EXPECT_EQ(session.state(), State::Ready);
    }
    session.back();
    EXPECT_EQ(Snapshot(session), seen[0]) << "back at the start stays there";
}

TEST(SessionTest, BreakpointsHoldContinueAtEachArrivalAndReverseContinueGoesBackThroughThem) {
    Session session = loaded(countdown, "3");
    session.setBreakpointLines({5});  // the write
    std::vector<std::uint64_t> arrivals;
    for (session.continueRun(1000); session.state() == State::Breakpoint;
         session.continueRun(1000)) {
        EXPECT_EQ(session.machine().programCounter, 4);
        EXPECT_EQ(session.currentLine(), 5);
        arrivals.push_back(session.steps());
    }
    EXPECT_EQ(session.state(), State::Halted);
    ASSERT_EQ(arrivals.size(), 3U);
    EXPECT_EQ(session.output(), (std::vector<std::int32_t>{3, 2, 1}));

    for (auto arrival = arrivals.rbegin(); arrival != arrivals.rend(); ++arrival) {
        session.reverseContinue();
        EXPECT_EQ(session.state(), State::Breakpoint);
        EXPECT_EQ(Snapshot(session), afterSteps(countdown, "3", *arrival));
    }
    session.reverseContinue();
    EXPECT_EQ(session.steps(), 0U) << "no breakpoint before the first: the start";
    EXPECT_EQ(session.state(), State::Ready);
}

TEST(SessionTest, ABreakpointOnTheFirstInstructionHoldsTheFirstContinueOnly) {
    Session session = loaded(countdown, "1");
    session.setBreakpointLines({1, 9});  // line 9 is data: no breakpoint there
    session.continueRun(1000);
    EXPECT_EQ(session.state(), State::Breakpoint);
    EXPECT_EQ(session.steps(), 0U);
    session.continueRun(1000);
    EXPECT_EQ(session.state(), State::Halted);
}

TEST(SessionTest, AStepOntoABreakpointIsRunPastByContinue) {
    Session session = loaded(countdown, "2");
    session.setBreakpointLines({4});
    for (int i = 0; i < 3; ++i) {
        session.step();
    }
    ASSERT_EQ(session.machine().programCounter, 3);
    session.continueRun(1000);
    EXPECT_EQ(session.state(), State::Breakpoint);
    EXPECT_EQ(session.steps(), 7U) << "the next arrival, one loop later";
}

TEST(SessionTest, AFaultStopsTheRunBeforeTheFaultingInstructionWithTheSimulatorsMessage) {
    Session session = loaded("load B ptr\nstorei A B\n:ptr 100\n");
    session.continueRun(1000);
    EXPECT_EQ(session.state(), State::Fault);
    EXPECT_EQ(session.describe(),
              "Error: fault at address 1, line 2 (storei A B): register B holds 100, a word "
              "without an address field.");
    EXPECT_EQ(session.steps(), 1U);
    EXPECT_EQ(session.machine().programCounter, 1) << "at the instruction that faults";
    session.step();
    EXPECT_EQ(session.steps(), 1U) << "a faulted machine runs no further";
    session.back();
    EXPECT_EQ(session.state(), State::Ready);
    EXPECT_EQ(session.machine().programCounter, 0);
    EXPECT_EQ(session.machine().registers.at(RegisterId::B).value(), 0);
}

TEST(SessionTest, OutputIsKeptUpToItsLimitAndThenTheRunStopsAtTheNextWrite) {
    Session session = loaded(":loop write\njump loop\n");
    session.continueRun(10 * Session::outputLimit);
    EXPECT_EQ(session.state(), State::OutputFull);
    EXPECT_EQ(session.output().size(), Session::outputLimit);
    EXPECT_EQ(session.describe(),
              "Error: output limit reached: 100000 lines written and the program has not halted "
              "(next write at address 0, line 1).");
    EXPECT_EQ(session.steps(), 200000U);
    // Back from there and forward again: the same numbers, the same stop.
    session.back();
    session.back();
    EXPECT_EQ(session.output().size(), Session::outputLimit - 1);
    session.continueRun(10);
    EXPECT_EQ(session.state(), State::OutputFull);
    EXPECT_EQ(session.steps(), 200000U);
    EXPECT_EQ(session.output().size(), Session::outputLimit);
}

TEST(SessionTest, TheOutputIsAsItStoodAtTheCurrentStepWithTheStepsThatWroteIt) {
    Session session = loaded(countdown, "3");
    session.continueRun(1000);
    ASSERT_EQ(session.state(), State::Halted);
    const std::vector<Debug::OutputRecord> written(session.outputRecords().begin(),
                                                   session.outputRecords().end());
    // The writes at address 4, at steps 5, 9 and 13.
    EXPECT_EQ(written, (std::vector<Debug::OutputRecord>{{5, 4, 3}, {9, 4, 2}, {13, 4, 1}}));
    for (std::uint64_t steps = session.steps(); steps > 0; --steps) {
        session.back();
        std::vector<std::int32_t> expected;
        for (const Debug::OutputRecord& record : written) {
            if (record.step < steps) {
                expected.push_back(record.value);
            }
        }
        EXPECT_EQ(session.output(), expected) << "back at step " << steps - 1;
        EXPECT_EQ(Snapshot(session), afterSteps(countdown, "3", steps - 1));
    }
    // Forward again over the writes: the same log, not a second copy.
    session.setBreakpointLines({8});
    session.continueRun(1000);
    EXPECT_EQ(session.state(), State::Breakpoint);
    EXPECT_EQ(session.output(), (std::vector<std::int32_t>{3, 2, 1}));
}

TEST(SessionTest, ReadTakesTheInputAsTheSimulatorDoes) {
    const std::string echo =
        ":loop read\nstore I value\nload O value\nwrite\njump loop\n:value 0\n";
    Session session = loaded(echo, "  7\n-12 +3 x 9");
    session.continueRun(4 * 5);
    EXPECT_EQ(session.output(), (std::vector<std::int32_t>{7, -12, 3, 3}))
        << "a word that is no number leaves I as it was";
}

TEST(SessionTest, ASourceWithAnErrorGivesNoMachineToRun) {
    Session session = loaded("load A\n");
    ASSERT_TRUE(session.error());
    EXPECT_EQ(session.error()->message,
              "(line 1, token end-of-line) expecting number or identifier");
    EXPECT_EQ(session.state(), State::NoProgram);
    session.continueRun(10);
    session.step();
    session.back();
    EXPECT_EQ(session.steps(), 0U);
}

}  // namespace
}  // namespace Vorn::Web
