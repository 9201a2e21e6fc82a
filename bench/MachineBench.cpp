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

void machineRun(benchmark::State& state) {
    const auto count = static_cast<std::uint32_t>(state.range(0));
    const std::vector<Vorn::Word> image = countdownImage(count);
    std::istringstream input;
    std::ostringstream output;
    for (auto _ : state) {
        state.PauseTiming();
        Vorn::Machine machine(input, output);
        machine.load(image);
        state.ResumeTiming();
        machine.run();
        benchmark::DoNotOptimize(machine.registers.at(0));
    }
    state.counters["instructions/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) *
                               static_cast<double>(Vorn::Bench::countdownInstructions(count)),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(machineRun)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
