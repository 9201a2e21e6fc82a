// The control-flow analysis of the full-memory source (65536 cells) in
// process (target 10 ms): blocks, reachability, entries into data, loops
// that never end, unreachable code and stores into instructions.
#include <benchmark/benchmark.h>

#include "analysis/ControlFlow.h"
#include "assembly/Program.h"
#include "bench/BenchSources.h"

namespace {

void controlFlowOfTheFullSource(benchmark::State& state) {
    const Vorn::Assembly::Program program =
        Vorn::Assembly::assembleProgram(Vorn::Bench::fullMemorySource());
    for (auto _ : state) {
        auto flow = Vorn::Analysis::analyzeControlFlow(program.cells);
        benchmark::DoNotOptimize(flow);
    }
    state.counters["cells"] = static_cast<double>(program.cells.size());
}
BENCHMARK(controlFlowOfTheFullSource)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
