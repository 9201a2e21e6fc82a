// The sources the benchmarks run: made by code, so every run and every machine
// measures the same bytes without shipping megabytes in the repository.
#pragma once

#include <cstdint>
#include <string>

namespace Vorn::Bench {

// A deterministic source that fills all 65536 cells the way a large program
// would: instructions with register operands and symbolic addresses (mostly
// forward references), data words, constants and aliases, labels, comments,
// blank lines and a few repetitions. About 1.5 MB; it assembles without error.
std::string fullMemorySource();

// A loop that counts register A down from `count` to 0 and halts. It runs
// 3 * `count` instructions: a load, then decr, jz, jump per turn, and the last
// turn ends at the jz.
std::string countdownSource(std::uint32_t count);

inline std::uint64_t countdownInstructions(std::uint32_t count) {
    return 3 * static_cast<std::uint64_t>(count);
}

}  // namespace Vorn::Bench
