// The runner's observers on both of its ways to run: the fast loop (the
// machine counting the profile, stopping only at the instructions that use
// memory for the check of reads) against the step-by-step loop that the
// write log forces, on random programs, with and without limits and strict.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <vector>

#include "run/Runner.h"
#include "support/Encode.h"

namespace Vorn::Run {
namespace {

std::vector<Word> randomProgram(std::mt19937& random) {
    std::uniform_int_distribution<int> operation(0, 15);
    std::uniform_int_distribution<int> reg(0, 3);
    std::uniform_int_distribution<int> address(0, 90);
    std::uniform_int_distribution<int> kind(0, 19);
    std::vector<Word> words;
    for (int i = 0; i < 48; ++i) {
        const int k = kind(random);
        if (k == 0) {
            words.push_back(Word(static_cast<std::int32_t>(random() % 100)));
        } else if (k == 1) {
            words.push_back(Testing::encode(Operation::Jump, RegisterId::A, RegisterId::A,
                                            Machine::haltAddress));
        } else {
            words.push_back(Testing::encode(
                static_cast<Operation>(operation(random)), static_cast<RegisterId>(reg(random)),
                static_cast<RegisterId>(reg(random)), static_cast<std::uint16_t>(address(random))));
        }
    }
    return words;
}

struct Observed {
    Outcome outcome;
    Profile profile;
    std::vector<UnwrittenRead> reads;
    std::string warnings;
};

Observed observe(const Program& program, const Limits& limits, bool stepByStep) {
    std::istringstream input("3 -1 7 0 5");
    std::ostringstream output;
    StreamIO io(input, output);
    Observed observed;
    ReadCheck reads(program);
    std::ostringstream log;
    std::ostringstream warnings;
    Observers observers;
    observers.profile = &observed.profile;
    observers.reads = &reads;
    observers.warnings = &warnings;
    observers.writes = stepByStep ? &log : nullptr;
    Runner runner(program, io, limits, observers);
    observed.outcome = runner.run();
    observed.reads = reads.found();
    observed.warnings = warnings.str();
    return observed;
}

TEST(RunObservers, FastLoopSeesWhatSteppingSees) {
    std::mt19937 random(23);
    for (int round = 0; round < 400; ++round) {
        const Program program = Program::fromImage(randomProgram(random));
        for (const std::uint64_t steps : {std::uint64_t{5}, std::uint64_t{300}, unlimited}) {
            for (const bool strict : {false, true}) {
                SCOPED_TRACE("round " + std::to_string(round) + " steps " + std::to_string(steps) +
                             (strict ? " strict" : ""));
                Limits limits;
                limits.steps = steps == unlimited ? 2000 : steps;
                limits.strict = strict;
                const Observed fast = observe(program, limits, false);
                const Observed stepped = observe(program, limits, true);
                if (stepped.outcome.end == Outcome::End::StepLimit &&
                    fast.outcome.end == Outcome::End::StrictFault &&
                    fast.outcome.address == stepped.outcome.address) {
                    // The limit and the entering of a cell outside the
                    // instructions at once: the step-by-step loop checks
                    // the limit first, the machine's loop the stop.
                    continue;
                }
                EXPECT_EQ(fast.outcome.end, stepped.outcome.end);
                EXPECT_EQ(fast.outcome.steps, stepped.outcome.steps);
                EXPECT_EQ(fast.outcome.message, stepped.outcome.message);
                EXPECT_EQ(fast.profile.counts, stepped.profile.counts);
                ASSERT_EQ(fast.reads.size(), stepped.reads.size());
                for (std::size_t i = 0; i < fast.reads.size(); ++i) {
                    EXPECT_EQ(fast.reads[i].address, stepped.reads[i].address);
                    EXPECT_EQ(fast.reads[i].step, stepped.reads[i].step);
                }
                EXPECT_EQ(fast.warnings, stepped.warnings);
            }
        }
    }
}

}  // namespace
}  // namespace Vorn::Run
