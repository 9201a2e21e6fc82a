// The debug adapter in process, on the countdown loop: each figure is a
// request's round trip, from the request to its answer and events written as
// JSON text (what vorndbg --dap sends), with the history of the whole run.
// - next: one instruction forward, at step 30 million;
// - stepBack: one instruction back from there (a replay from the nearest
//   snapshot);
// - stackTrace + variables: the frame, the scopes, the registers and the
//   labels, as an editor asks after each stop;
// - reverseContinue: back over 10^8 steps to the start, with a data
//   breakpoint on a word never written (once per run);
// - continue: the whole run of 10^8 steps to the halt, with the history on
//   (as the terminal debugger's continue; bench/debugger.sh gives its speed).
// Targets: 5 ms for each round trip, 2 s for the reverse-continue.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/CountdownProgram.h"
#include "dap/Adapter.h"

namespace {

using namespace Vorn;
using Dap::Json;

// An adapter over the countdown of `count` (3 * count steps), stopped at its
// entry; what it sends is written out as JSON text and counted.
class Debugging {
  public:
    explicit Debugging(std::uint32_t count)
        : adapter_(environment(count),
                   [this](const Json& message) { bytes_ += Protocol::bodyOf(message).size(); }) {
        request("initialize", {{"adapterID", "vorn"}});
        request("launch", {{"program", "/countdown.vorn"}, {"stopOnEntry", true}});
        request("configurationDone");
    }

    void request(const std::string& command, Json arguments = Json::object()) {
        adapter_.handle(
            {{"seq", ++seq_}, {"type", "request"}, {"command", command}, {"arguments", arguments}});
        while (adapter_.running()) {
            adapter_.proceed();
        }
    }
    void console(const std::string& line) {
        request("evaluate", {{"expression", line}, {"context", "repl"}});
    }

    std::size_t bytes() const { return bytes_; }

  private:
    static Dap::Environment environment(std::uint32_t count) {
        Dap::Environment environment;
        environment.loadProgram = [count](const std::string&, bool) {
            return Bench::countdownProgram(count);
        };
        return environment;
    }

    Dap::Adapter adapter_;
    std::int64_t seq_ = 0;
    std::size_t bytes_ = 0;
};

// At step 30 million of a run of 100 million.
Debugging& midway() {
    static const std::unique_ptr<Debugging> debugging = [] {
        auto d = std::make_unique<Debugging>(33'333'334);
        d->console("step 30000000");
        return d;
    }();
    return *debugging;
}

void next(benchmark::State& state) {
    Debugging& debugging = midway();
    for (auto _ : state) {
        debugging.request("next", {{"threadId", 1}});
    }
    benchmark::DoNotOptimize(debugging.bytes());
}

void stepBack(benchmark::State& state) {
    Debugging& debugging = midway();
    for (auto _ : state) {
        debugging.request("stepBack", {{"threadId", 1}});
    }
    benchmark::DoNotOptimize(debugging.bytes());
}

void stackTraceAndVariables(benchmark::State& state) {
    Debugging& debugging = midway();
    for (auto _ : state) {
        debugging.request("stackTrace", {{"threadId", 1}});
        debugging.request("scopes", {{"frameId", 1}});
        debugging.request("variables", {{"variablesReference", 1}});
        debugging.request("variables", {{"variablesReference", 2}});
    }
    benchmark::DoNotOptimize(debugging.bytes());
}

void reverseContinue(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto debugging = std::make_unique<Debugging>(33'333'333);
        debugging->console("step 99999998");
        debugging->request("setDataBreakpoints",
                           {{"breakpoints", {{{"dataId", "word:4"}, {"accessType", "write"}}}}});
        state.ResumeTiming();
        debugging->request("reverseContinue", {{"threadId", 1}});
        state.PauseTiming();
        debugging.reset();
        state.ResumeTiming();
    }
}

void continueToTheHalt(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto debugging = std::make_unique<Debugging>(33'333'333);
        state.ResumeTiming();
        debugging->request("continue", {{"threadId", 1}});
        state.PauseTiming();
        debugging.reset();
        state.ResumeTiming();
    }
    state.counters["steps/s"] = benchmark::Counter(1e8, benchmark::Counter::kIsRate);
}

BENCHMARK(next)->Unit(benchmark::kMillisecond);
BENCHMARK(stepBack)->Unit(benchmark::kMillisecond);
BENCHMARK(stackTraceAndVariables)->Unit(benchmark::kMillisecond);
BENCHMARK(reverseContinue)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(continueToTheHalt)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
