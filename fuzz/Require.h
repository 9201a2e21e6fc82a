// The promises a fuzz target checks after each input. A broken promise is
// reported and aborts, so the fuzzer keeps the input as a crash.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace Vorn::Fuzz {

inline void require(bool promiseKept, const char* promise) {
    if (!promiseKept) {
        std::fprintf(stderr, "broken promise: %s\n", promise);
        std::abort();
    }
}

}  // namespace Vorn::Fuzz
