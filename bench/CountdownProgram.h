// The countdown loop of bench/run as the debugging core loads it.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "bench/BenchSources.h"
#include "program/Program.h"

namespace Vorn::Bench {

inline Program countdownProgram(std::uint32_t count) {
    Program program = Program::fromSource(countdownSource(count));
    if (program.error()) {
        std::fprintf(stderr, "the countdown source does not assemble\n");
        std::exit(1);
    }
    return program;
}

}  // namespace Vorn::Bench
