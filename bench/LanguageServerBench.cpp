// The language server in process, on the full-memory source (65536 cells):
// the diagnostics after a change (the edit applied, the source analysed, the
// notification built and written as JSON), and a hover and a go to definition
// on a name in the middle of the source. Targets: 30 ms and 1 ms.
#include <benchmark/benchmark.h>

#include <string>

#include "analysis/Document.h"
#include "bench/BenchSources.h"
#include "langserver/Server.h"

namespace {

using Vorn::LanguageServer::Json;
using Vorn::LanguageServer::Server;

const std::string uri = "file:///bench/full.vorn";

const std::string& fullSource() {
    static const std::string source = Vorn::Bench::fullMemorySource();
    return source;
}

Json position(std::int64_t line, std::int64_t character) {
    return {{"line", line}, {"character", character}};
}

// A server with the full source open.
Server& openServer() {
    static Server server = [] {
        Server s;
        s.handle(
            {{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"}, {"params", Json::object()}});
        s.handle(
            {{"jsonrpc", "2.0"},
             {"method", "textDocument/didOpen"},
             {"params",
              {{"textDocument",
                {{"uri", uri}, {"languageId", "vorn"}, {"version", 1}, {"text", fullSource()}}}}}});
        return s;
    }();
    return server;
}

// The place of a name used as an address, about half-way through the source.
Json nameInTheMiddle() {
    const Vorn::Analysis::Document& document = *openServer().document(uri);
    for (const auto& symbol : document.program().symbols) {
        for (const auto& use : symbol.uses) {
            if (use.line > document.lineCount() / 2) {
                return position(use.line - 1, use.column + 1);
            }
        }
    }
    // Without the places of uses, the middle line's last character.
    const std::int32_t middle = document.lineCount() / 2;
    return position(middle - 1, static_cast<std::int64_t>(document.line(middle).size()) - 1);
}

void diagnosticsAfterChange(benchmark::State& state) {
    Server& server = openServer();
    std::int64_t version = 1;
    std::size_t bytes = 0;
    for (auto _ : state) {
        // Type a blank at the start of the middle line, and take it back the next time.
        const bool typing = version % 2 == 1;
        Json range{{"start", position(30000, 0)}, {"end", position(30000, typing ? 0 : 1)}};
        const auto out =
            server.handle({{"jsonrpc", "2.0"},
                           {"method", "textDocument/didChange"},
                           {"params",
                            {{"textDocument", {{"uri", uri}, {"version", ++version}}},
                             {"contentChanges",
                              Json::array({{{"range", range}, {"text", typing ? " " : ""}}})}}}});
        bytes += out.at(0).dump().size();
    }
    benchmark::DoNotOptimize(bytes);
    state.counters["cells"] = 65536;
}
BENCHMARK(diagnosticsAfterChange)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void request(benchmark::State& state, const char* method) {
    Server& server = openServer();
    const Json message{
        {"jsonrpc", "2.0"},
        {"id", 7},
        {"method", method},
        {"params", {{"textDocument", {{"uri", uri}}}, {"position", nameInTheMiddle()}}}};
    for (auto _ : state) {
        auto out = server.handle(message);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK_CAPTURE(request, hover, "textDocument/hover")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(request, definition, "textDocument/definition")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
