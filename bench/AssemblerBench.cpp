// The assembler's stages on the full-memory source, in process: lexing alone,
// the statement loop (which lexes as it goes), and resolution with writing.
#include <benchmark/benchmark.h>

#include <memory>
#include <ostream>
#include <sstream>
#include <streambuf>

#include "assembly/Assembler.h"
#include "assembly/Lexer.h"
#include "bench/BenchSources.h"

namespace {

using Vorn::Assembly::Assembler;

const std::string& fullSource() {
    static const std::string source = Vorn::Bench::fullMemorySource();
    return source;
}

// An output stream that keeps nothing, so writing is timed without a file.
class Discard : public std::streambuf {
  protected:
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
};

void reportSource(benchmark::State& state) {
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fullSource().size()));
    state.counters["cells/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * 65536,
                                                   benchmark::Counter::kIsRate);
}

void lexing(benchmark::State& state) {
    std::istringstream input(fullSource());
    Vorn::Assembly::Token token;
    for (auto _ : state) {
        input.clear();
        input.seekg(0);
        std::size_t tokens = 0;
        do {
            input >> token;
            ++tokens;
        } while (token.getKind() != Vorn::Assembly::TokenKind::EndOfFile);
        benchmark::DoNotOptimize(tokens);
    }
    reportSource(state);
}
BENCHMARK(lexing)->Unit(benchmark::kMillisecond);

void statementLoop(benchmark::State& state) {
    std::istringstream input(fullSource());
    Discard discard;
    std::ostream output(&discard);
    for (auto _ : state) {
        state.PauseTiming();
        input.clear();
        input.seekg(0);
        auto assembler = std::make_unique<Assembler>(input, output);
        state.ResumeTiming();
        assembler->readSource();
        state.PauseTiming();
        assembler.reset();
        state.ResumeTiming();
    }
    reportSource(state);
}
BENCHMARK(statementLoop)->Unit(benchmark::kMillisecond);

void resolutionAndWriting(benchmark::State& state) {
    std::istringstream input(fullSource());
    Discard discard;
    std::ostream output(&discard);
    for (auto _ : state) {
        state.PauseTiming();
        input.clear();
        input.seekg(0);
        auto assembler = std::make_unique<Assembler>(input, output);
        assembler->readSource();
        state.ResumeTiming();
        assembler->writeImage();
        state.PauseTiming();
        assembler.reset();
        state.ResumeTiming();
    }
    state.counters["cells/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * 65536,
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(resolutionAndWriting)->Unit(benchmark::kMillisecond);

// The whole run as the command does it, minus the files and the process.
void wholeAssembly(benchmark::State& state) {
    std::istringstream input(fullSource());
    Discard discard;
    std::ostream output(&discard);
    for (auto _ : state) {
        input.clear();
        input.seekg(0);
        Assembler assembler(input, output);
        assembler.assemble();
    }
    reportSource(state);
}
BENCHMARK(wholeAssembly)->Unit(benchmark::kMillisecond);

}  // namespace
