// The assembler's stages on the full-memory source, in process: lexing alone,
// the statement loop (which lexes as it goes), and resolution with writing.
#include <benchmark/benchmark.h>

#include <memory>
#include <ostream>
#include <sstream>
#include <streambuf>

#include "assembly/Assembler.h"
#include "assembly/Lexer.h"
#include "assembly/SourceBuffer.h"
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

// Lexing from memory as the command does (SourceBuffer), or through a stream
// buffer that hands out one character per call.
template <typename Buffer>
void lexing(benchmark::State& state) {
    Vorn::Assembly::Token token;
    for (auto _ : state) {
        state.PauseTiming();
        Buffer buffer(fullSource());
        std::istream input(&buffer);
        state.ResumeTiming();
        Vorn::Assembly::TokenStream tokens(input);
        std::size_t count = 0;
        do {
            tokens.read(token);
            ++count;
        } while (token.getKind() != Vorn::Assembly::TokenKind::EndOfFile);
        benchmark::DoNotOptimize(count);
    }
    reportSource(state);
}
BENCHMARK(lexing<Vorn::Assembly::SourceBuffer>)->Unit(benchmark::kMillisecond);
BENCHMARK(lexing<std::stringbuf>)->Unit(benchmark::kMillisecond);

// The full source in memory and an output that keeps nothing.
class Run {
  public:
    Run() : output_(&discard_) {}

    // A new Assembler over the source from its start, read from memory as
    // the command reads it.
    std::unique_ptr<Assembler> assembler() {
        source_ = std::make_unique<Vorn::Assembly::SourceBuffer>(fullSource());
        input_.rdbuf(source_.get());
        return std::make_unique<Assembler>(input_, output_);
    }

  private:
    std::unique_ptr<Vorn::Assembly::SourceBuffer> source_;
    std::istream input_{nullptr};
    Discard discard_;
    std::ostream output_;
};

// Times `timed` on an Assembler that `prepare` got ready; making and
// destroying the Assembler (65536 cells) is left out.
template <typename Prepare, typename Timed>
void timeStage(benchmark::State& state, Prepare prepare, Timed timed) {
    Run run;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<Assembler> assembler = run.assembler();
        prepare(*assembler);
        state.ResumeTiming();
        timed(*assembler);
        state.PauseTiming();
        assembler.reset();
        state.ResumeTiming();
    }
}

void statementLoop(benchmark::State& state) {
    timeStage(
        state, [](Assembler&) {}, [](Assembler& assembler) { assembler.readSource(); });
    reportSource(state);
}
BENCHMARK(statementLoop)->Unit(benchmark::kMillisecond);

void resolutionAndWriting(benchmark::State& state) {
    timeStage(
        state, [](Assembler& assembler) { assembler.readSource(); },
        [](Assembler& assembler) { assembler.writeImage(); });
    state.counters["cells/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * 65536,
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(resolutionAndWriting)->Unit(benchmark::kMillisecond);

// The whole run as the command does it, minus the files and the process.
void wholeAssembly(benchmark::State& state) {
    timeStage(
        state, [](Assembler&) {}, [](Assembler& assembler) { assembler.assemble(); });
    reportSource(state);
}
BENCHMARK(wholeAssembly)->Unit(benchmark::kMillisecond);

}  // namespace
