// Fuzz target: command scripts for the debugger over a small program. The
// first line of the input is the program's input (the numbers read takes),
// every other line a command. After each command the session's state (its
// step, registers, program counter and memory) must be the state the machine
// reaches by Machine::step from the start after that many steps: forward,
// backward, and forward again over steps already run. Once a command changes
// the state by hand or appends input (set, input), the run goes on unchecked,
// for the sanitizers; a set that could make the program run for ever (of its
// code, its pointer or its counters) is left out.
#include <cstddef>
#include <cstdint>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "debug/Commands.h"
#include "debug/Session.h"
#include "fuzz/Require.h"
#include "machine/WriteLog.h"

namespace {

using Vorn::Fuzz::require;
using namespace Vorn;

// Sums its numbers until a zero, the end of the input or a negative number,
// which it follows as a pointer (a small negative number has no address
// field: a fault). Each number is also stored through P into a table.
constexpr std::string_view source = R"(        zero A
:next   zero I
        read
        jz I done
        jn I bad
        add I
        store A total
        load P ptr
        storei I P
        incr P
        store P ptr
        load O total
        write
        jump next
:bad    loadi B I
        jump next
:done   jump end
:total  0
:ptr    268435488
)";
constexpr std::size_t codeCells = 17;
constexpr std::uint64_t referenceSteps = 20000;

std::uint64_t mix(std::uint64_t x) {
    x ^= x >> 31;
    x *= 0x7FB5D329728EA185ull;
    x ^= x >> 27;
    x *= 0x81DADEF4BC2DD44Dull;
    return x ^ (x >> 33);
}

std::uint64_t cellHash(std::uint32_t address, Word value) {
    return mix((std::uint64_t{address} << 32) | value.bits());
}

// What must match: the memory as a sum of one hash per cell, so that a
// step's write updates it.
struct State {
    std::uint16_t programCounter = 0;
    std::uint64_t registers = 0;
    std::uint64_t memory = 0;
    bool operator==(const State&) const = default;
};

std::uint64_t registersHash(const Machine& machine) {
    std::uint64_t hash = 0;
    for (std::int32_t r = 0; r < static_cast<std::int32_t>(registerCount); ++r) {
        hash = mix(hash ^ machine.registers.at(r).bits()) + static_cast<std::uint64_t>(r);
    }
    return hash;
}

State stateOf(const Machine& machine) {
    std::uint64_t memory = 0;
    for (std::uint32_t address = 0; address < Machine::memorySize; ++address) {
        memory += cellHash(address, machine.memory[address]);
    }
    return {machine.programCounter, registersHash(machine), memory};
}

// The states of the plain machine after 0, 1, 2, ... steps, until it halts,
// faults or reaches the cap.
std::vector<State> referenceRun(const std::vector<Word>& image, const std::string& input) {
    std::istringstream in(input);
    std::ostringstream out;
    Machine machine(in, out);
    machine.load(image);
    std::vector<State> states{stateOf(machine)};
    StepEffect effect;
    while (states.size() <= referenceSteps && !machine.halted()) {
        State next = states.back();
        // The word a store is about to replace, to update the sum.
        const std::uint16_t target = nextWriteAddress(machine).value_or(0);
        const Word before = machine.memory[target];
        try {
            machine.step(effect);
        } catch (const Word::InvalidAddressInOperation&) {
            break;
        }
        if (effect.kind == StepEffect::Kind::Memory) {
            require(effect.address == target, "a store writes where its operands point");
            next.memory += cellHash(target, effect.value) - cellHash(target, before);
        }
        next.programCounter = machine.programCounter;
        next.registers = registersHash(machine);
        states.push_back(next);
    }
    return states;
}

// A set that cannot make the program loop for ever: of a register the
// program does not count with, or of a memory word outside its code.
bool harmlessSet(const std::string& line) {
    static const std::regex harmless(R"(\s*set?\s+([C-H]|\[\s*(\d+)\s*\])\s*=.*)");
    std::smatch match;
    if (!std::regex_match(line, match, harmless)) {
        return false;
    }
    return !match[2].matched || (match[2].length() < 6 && std::stoul(match[2]) >= codeCells &&
                                 std::stoul(match[2]) != codeCells + 1);
}

bool startsWord(const std::string& line, std::string_view shortest, std::string_view full) {
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return false;
    }
    const std::string word = line.substr(first, line.find_first_of(" \t", first) - first);
    return word.size() >= shortest.size() && std::string_view(full).starts_with(word);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t split = std::min(bytes.find('\n'), bytes.size());
    const std::string input(bytes.substr(0, split));
    std::istringstream script{std::string(bytes.substr(std::min(split + 1, bytes.size())))};

    Program program = Program::fromSource(source);
    require(!program.error(), "the fuzz program assembles");
    const std::vector<State> reference = referenceRun(program.words(), input);

    std::istringstream inputStream(input);
    std::ostringstream unused;
    StreamIO inputReader(inputStream, unused);
    Debug::Session::Options options;
    options.input = [&inputReader] { return inputReader.read(); };
    // Small budgets, so that thinning and replays across snapshots happen.
    options.firstInterval = 16;
    options.maxSnapshots = 6;
    Debug::Session session(std::move(program), std::move(options));
    std::ostringstream out;
    std::ostringstream errors;
    Debug::CommandInterpreter commands(session, out, errors);

    bool checked = true;
    std::string line;
    for (int count = 0; count < 200 && std::getline(script, line); ++count) {
        if (startsWord(line, "se", "set") && !harmlessSet(line)) {
            continue;
        }
        if (startsWord(line, "se", "set") || startsWord(line, "inp", "input")) {
            checked = false;
        }
        const bool quit = commands.execute(line) == Debug::CommandInterpreter::Result::Quit;
        if (checked && session.step() < reference.size()) {
            require(stateOf(session.machine()) == reference[session.step()],
                    "the session's state is the machine's after as many steps");
        }
        require(checked || session.step() <= 10 * referenceSteps, "the program stays bounded");
        if (quit) {
            break;
        }
    }
    return 0;
}
