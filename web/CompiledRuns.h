// The playground's machines run their long runs compiled (compile/WasmRun.h):
// each program met is compiled to a WebAssembly function once and kept while
// its code stays the same.
#pragma once

#include <cstdint>

namespace Vorn::Web {

struct CompiledRunStats {
    std::uint64_t compiled = 0;     // functions made
    std::uint64_t steps = 0;        // steps run in them
    std::uint64_t notCompiled = 0;  // runs left to the run loop
};

// On (the default once installed) or off: off, every run is the run loop's.
void useCompiledRuns(bool on);
CompiledRunStats compiledRunStats();

}  // namespace Vorn::Web
