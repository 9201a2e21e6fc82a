// The countdown loop of bench/run as the debugging core loads it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "bench/BenchSources.h"
#include "debug/Session.h"

namespace Vorn::Bench {

inline Debug::DebugProgram countdownProgram(std::uint32_t count) {
    std::optional<Assembly::AssemblyError> error;
    Debug::DebugProgram program = Debug::DebugProgram::fromSource(countdownSource(count), error);
    if (error) {
        std::fprintf(stderr, "the countdown source does not assemble\n");
        std::exit(1);
    }
    return program;
}

}  // namespace Vorn::Bench
