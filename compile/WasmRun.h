// A program compiled to a WebAssembly function that runs it as the machine's
// run loop does (Machine::Accelerator): the instructions reachable from the
// program counter, each as its own code, so that a straight run is straight
// code, a jump forward a branch, and only a jump back goes through a table.
// The registers live in the function's locals while it runs.
//
// The function shares the memory of the module that made it: the machine's
// memory, registers and the other tables are addresses in it, given in a
// Layout. It takes the address of a RunState and returns a RunState::End.
//
// What it leaves aside for the run loop, at the instruction, before it runs:
// read and write, loadi and storei through a word without an address (a
// fault), and a store into a reachable instruction (the code changes).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "machine/Word.h"

namespace Vorn::Compile {

// Where the function finds the machine, as addresses in the shared memory.
struct Layout {
    std::uint32_t memory = 0;     // 65536 words
    std::uint32_t registers = 0;  // 16 words, A to P
    // 65536 bytes, one per address: not 0 where an instruction was compiled
    // (CompiledRun::addresses), where a storei is left aside.
    std::uint32_t code = 0;
};

// The state a call reads and writes (the function knows these offsets).
struct RunState {
    std::uint64_t limit = 0;  // in: leave at the first jump back after this many steps
    std::uint64_t steps = 0;  // out: the steps run
    std::uint32_t pc = 0;     // in and out: the program counter
    std::uint32_t stops = 0;  // in: the address of 65536 stop bytes
    enum End : std::uint32_t {
        Halted = 0,
        Stopped = 1,
        StepLimit = 2,
        Aside = 3,    // the instruction at pc is left for the run loop
        Left = 4,     // pc is not compiled here: compile from it again
        Changes = 5,  // as Aside: the instruction, a storei, writes into the code
    };
};

struct CompiledRun {
    std::vector<std::uint8_t> module;
    // The addresses compiled, and their words when compiled: the function
    // holds for a memory whose words there are the same.
    std::vector<std::uint16_t> addresses;
    std::vector<Word> words;
};

// The instructions reachable from `pc` (0 to 0xFFFE), or nothing when they
// span more than `maxSpan` addresses or `pc` starts a long run of noops. A
// jump to an address not compiled (the start of a long run of noops) leaves
// the function (RunState::Left).
std::optional<CompiledRun> compileRun(const Word* memory, std::uint16_t pc, const Layout& layout,
                                      std::uint32_t maxSpan);

}  // namespace Vorn::Compile
