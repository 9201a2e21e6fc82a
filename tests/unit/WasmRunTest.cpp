// What the playground compiles of a program: the instructions reachable
// from the program counter, not the empty memory a program runs off into,
// nothing too wide. (What the compiled code does is checked against the run
// loop in the WebAssembly build: tests/web/compiled.js.)
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "compile/WasmRun.h"
#include "machine/Machine.h"
#include "support/Encode.h"

namespace Vorn {
namespace {

using Testing::encode;

struct Case {
    std::string name;
    std::vector<std::pair<std::uint16_t, Word>> words;  // the rest of memory is 0
    std::uint16_t pc;
    std::optional<std::vector<std::uint16_t>> compiled;  // nothing: not compiled
};

TEST(WasmRun, CompilesWhatTheProgramCounterReaches) {
    const RegisterId A = RegisterId::A;
    const std::vector<Case> cases = {
        {"a loop, not the number after it",
         {{0, encode(Operation::Load, A, A, 4)},
          {1, encode(Operation::Decr, A)},
          {2, encode(Operation::Jz, A, A, Machine::haltAddress)},
          {3, encode(Operation::Jump, A, A, 1)},
          {4, Word(1000)}},
         0,
         std::vector<std::uint16_t>{0, 1, 2, 3}},
        {"from the middle of it",
         {{0, encode(Operation::Load, A, A, 4)},
          {1, encode(Operation::Decr, A)},
          {2, encode(Operation::Jz, A, A, Machine::haltAddress)},
          {3, encode(Operation::Jump, A, A, 1)}},
         2,
         std::vector<std::uint16_t>{1, 2, 3}},
        {"a program that runs off its end: not the empty memory after it",
         {{0, encode(Operation::Read)}, {1, encode(Operation::Write)}},
         0,
         std::vector<std::uint16_t>{0, 1}},
        {"a few noops are code",
         {{0, encode(Operation::Noop)},
          {1, encode(Operation::Noop)},
          {2, encode(Operation::Jump, A, A, 0)}},
         0,
         std::vector<std::uint16_t>{0, 1, 2}},
        {"a jump over a wide gap",
         {{0, encode(Operation::Jump, A, A, 5000)}, {5000, encode(Operation::Jump, A, A, 0)}},
         0,
         std::nullopt},
        {"a jump to the end of memory",
         {{0, encode(Operation::Jump, A, A, 0xFFFE)}, {0xFFFE, encode(Operation::Incr, A)}},
         0xFFFE,
         std::vector<std::uint16_t>{0xFFFE}},
        {"empty memory", {}, 0, std::nullopt},
        {"halted", {}, Machine::haltAddress, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Word> memory(Machine::memorySize);
        for (const auto& [address, word] : c.words) {
            memory[address] = word;
        }
        const std::optional<Compile::CompiledRun> run =
            Compile::compileRun(memory.data(), c.pc, Compile::Layout{}, 4096);
        ASSERT_EQ(run.has_value(), c.compiled.has_value());
        if (!run) {
            continue;
        }
        EXPECT_EQ(run->addresses, *c.compiled);
        ASSERT_EQ(run->words.size(), run->addresses.size());
        for (std::size_t i = 0; i < run->addresses.size(); ++i) {
            EXPECT_EQ(run->words[i], memory[run->addresses[i]]);
        }
        const std::vector<std::uint8_t> header = {0x00, 0x61, 0x73, 0x6D, 0x01, 0x00, 0x00, 0x00};
        ASSERT_GE(run->module.size(), header.size());
        EXPECT_TRUE(std::equal(header.begin(), header.end(), run->module.begin()));
    }
}

}  // namespace
}  // namespace Vorn
