// Machine::run on the countdown loop, in process: simulated instructions per
// second with nothing but the execution step in the loop.
#include <benchmark/benchmark.h>

#include <sstream>
#include <vector>

#include "assembly/Assembler.h"
#include "bench/BenchSources.h"
#include "machine/ImageFile.h"
#include "machine/Machine.h"

namespace {

std::vector<Vorn::Word> countdownImage(std::uint32_t count) {
    std::istringstream source(Vorn::Bench::countdownSource(count));
    std::stringstream image;
    Vorn::Assembly::Assembler(source, image).assemble();
    return Vorn::readImage(image);
}

// The machine the countdown runs on; with `stops`, runUntil with two
// breakpoints that never hit (as a debugger's are, most of the time), and
// with a limit that is never reached.
enum class Loop { Run, RunUntil, RunUntilWithStops };

void runCountdown(benchmark::State& state, Loop loop) {
    const auto count = static_cast<std::uint32_t>(state.range(0));
    const std::vector<Vorn::Word> image = countdownImage(count);
    std::vector<std::uint8_t> stops(Vorn::Machine::memorySize, 0);
    stops[1000] = 1;
    stops[2000] = 1;
    std::istringstream input;
    std::ostringstream output;
    for (auto _ : state) {
        state.PauseTiming();
        Vorn::Machine machine(input, output);
        machine.load(image);
        state.ResumeTiming();
        switch (loop) {
            case Loop::Run:
                machine.run();
                break;
            case Loop::RunUntil:
                benchmark::DoNotOptimize(machine.runUntil(~0ULL));
                break;
            case Loop::RunUntilWithStops:
                benchmark::DoNotOptimize(machine.runUntil(~0ULL, stops.data()));
                break;
        }
        benchmark::DoNotOptimize(machine.registers.at(0));
    }
    state.counters["instructions/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) *
                               static_cast<double>(Vorn::Bench::countdownInstructions(count)),
                           benchmark::Counter::kIsRate);
}

void machineRun(benchmark::State& state) {
    runCountdown(state, Loop::Run);
}
void machineRunUntil(benchmark::State& state) {
    runCountdown(state, Loop::RunUntil);
}
void machineRunUntilTwoStops(benchmark::State& state) {
    runCountdown(state, Loop::RunUntilWithStops);
}
BENCHMARK(machineRun)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(machineRunUntil)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(machineRunUntilTwoStops)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
