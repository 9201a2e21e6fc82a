// vorn-debugger-bench [COUNT]: the debugger's figures on the countdown loop
// (3 * COUNT instructions, default about 100 million), in process through the
// debugging core, as vorndbg's commands run it:
// - continue with two breakpoints that are never hit, the history on and off
//   (million instructions per second), beside Machine::run on the same
//   program in the same runs, the floor vornsim runs at, and a bounded
//   Machine::runUntil, which continue runs on: on a busy machine the ratios
//   say more than the figures;
// - the bytes the history keeps after the run;
// - reverse-step 1 from the end (milliseconds, the median of several);
// - reverse-continue from the end back over the whole run, with the two
//   breakpoints, and with a watchpoint on a word never written (seconds).
// Each figure is the median of five runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <vector>

#include "bench/BenchSources.h"
#include "debug/Session.h"

namespace {

using namespace Vorn;
using Clock = std::chrono::steady_clock;

double seconds(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

Program countdown(std::uint32_t count) {
    Program program = Program::fromSource(Bench::countdownSource(count));
    if (program.error()) {
        std::fprintf(stderr, "vorn-debugger-bench: the countdown source does not assemble\n");
        std::exit(1);
    }
    return program;
}

// The data word after the loop and the address after it: never run.
void addBreakpoints(Debug::Session& session) {
    session.addBreakpoint(4, "*4");
    session.addBreakpoint(5, "*5");
}

}  // namespace

int main(int argc, char** argv) {
    const auto count =
        static_cast<std::uint32_t>(argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 33333333);
    const std::uint64_t instructions = Bench::countdownInstructions(count);
    constexpr int runs = 5;

    std::vector<double> machineAlone, boundedAlone, withHistory, withoutHistory, reverseStep,
        reverseContinue, reverseWatch;
    std::uint64_t historyBytes = 0;
    std::uint64_t snapshots = 0;
    for (int run = 0; run < runs; ++run) {
        {
            std::istringstream input;
            std::ostringstream output;
            Machine machine(input, output);
            machine.load(countdown(count).image);
            machineAlone.push_back(seconds([&] { machine.run(); }));
        }
        {
            std::istringstream input;
            std::ostringstream output;
            Machine machine(input, output);
            machine.load(countdown(count).image);
            boundedAlone.push_back(seconds([&] { machine.runUntil(instructions + 1); }));
        }
        {
            Debug::Session::Options options;
            options.historyLimit = 0;
            Debug::Session session(countdown(count), options);
            addBreakpoints(session);
            withoutHistory.push_back(seconds([&] { session.continueRun(); }));
        }
        Debug::Session session(countdown(count), {});
        addBreakpoints(session);
        withHistory.push_back(seconds([&] { session.continueRun(); }));
        if (session.step() != instructions) {
            std::fprintf(stderr, "vorn-debugger-bench: the run took %llu steps, not %llu\n",
                         static_cast<unsigned long long>(session.step()),
                         static_cast<unsigned long long>(instructions));
            return 1;
        }
        historyBytes = session.history().bytes;
        snapshots = session.history().snapshots;
        std::vector<double> steps;
        for (int i = 0; i < 9; ++i) {
            steps.push_back(seconds([&] { session.reverseStep(1); }));
        }
        reverseStep.push_back(median(steps));
        session.stepForward(9);
        reverseContinue.push_back(seconds([&] { session.reverseContinue(); }));
        session.continueRun();
        session.addMemoryWatch(7, "*7");
        reverseWatch.push_back(seconds([&] { session.reverseContinue(); }));
    }
    const double floor = median(machineAlone);
    std::printf(
        "  Machine::run alone, the floor:                    %6.0f million instructions/s\n",
        static_cast<double>(instructions) / floor / 1e6);
    std::printf(
        "  Machine::runUntil alone, a bounded run:           %6.0f million instructions/s"
        " (%.0f%% of the floor)\n",
        static_cast<double>(instructions) / median(boundedAlone) / 1e6,
        100 * floor / median(boundedAlone));
    std::printf(
        "  continue, two breakpoints never hit, history on:  %6.0f million instructions/s"
        " (%.0f%% of the floor)\n",
        static_cast<double>(instructions) / median(withHistory) / 1e6,
        100 * floor / median(withHistory));
    std::printf(
        "  continue, two breakpoints never hit, history off: %6.0f million instructions/s"
        " (%.0f%% of the floor)\n",
        static_cast<double>(instructions) / median(withoutHistory) / 1e6,
        100 * floor / median(withoutHistory));
    std::printf("  history after %llu steps: %.1f MB in %llu snapshots\n",
                static_cast<unsigned long long>(instructions),
                static_cast<double>(historyBytes) / (1 << 20),
                static_cast<unsigned long long>(snapshots));
    std::printf("  reverse-step 1 at the end: %.2f ms\n", median(reverseStep) * 1e3);
    std::printf(
        "  reverse-continue over the whole run: %.2f s (two breakpoints), %.2f s (a watchpoint)\n",
        median(reverseContinue), median(reverseWatch));
    std::printf("  targets: at least 300 and 900 million/s, at most 64 MB, 50 ms, 2 s\n");
    return 0;
}
