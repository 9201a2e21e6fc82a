// Fuzz target: the image loader and a bounded run of the machine. The bytes
// before the first '#' are the image text, the bytes after it the machine's
// input. An image either loads or fails with one ImageError whose message is
// one printable line; a loaded program runs for at most `stepCap` steps, and
// only a loadi or storei through a word without an address field may stop it
// early. The run is made twice, by the fast loop and step by step with the
// trace's effects, and both must end in the same state.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/Require.h"
#include "machine/ImageFile.h"
#include "machine/Machine.h"

namespace {

using Vorn::Fuzz::require;
using namespace Vorn;

constexpr std::uint64_t stepCap = 10000;

struct RunEnd {
    std::uint64_t steps = 0;
    bool faulted = false;
};

RunEnd runFast(Machine& machine) {
    RunEnd end;
    try {
        end.steps = machine.run(stepCap);
    } catch (const Word::InvalidAddressInOperation&) {
        end.faulted = true;
    }
    return end;
}

RunEnd runStepByStep(Machine& machine) {
    RunEnd end;
    StepEffect effect;
    try {
        for (; end.steps < stepCap && !machine.halted(); ++end.steps) {
            machine.step(effect);
        }
    } catch (const Word::InvalidAddressInOperation&) {
        end.faulted = true;
    }
    return end;
}

void checkFault(const Machine& machine) {
    const Word instruction = machine.memory[static_cast<std::uint16_t>(machine.programCounter - 1)];
    require(instruction.opcode() == Operation::Loadi || instruction.opcode() == Operation::Storei,
            "only loadi and storei fault");
}

bool sameState(const Machine& a, const Machine& b) {
    if (a.programCounter != b.programCounter) {
        return false;
    }
    for (std::int32_t r = 0; r < static_cast<std::int32_t>(registerCount); ++r) {
        if (a.registers.at(r) != b.registers.at(r)) {
            return false;
        }
    }
    return std::equal(a.memory.get(), a.memory.get() + Machine::memorySize, b.memory.get());
}

bool isOnePrintableLine(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F;
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t split = std::min(bytes.find('#'), bytes.size());
    const std::string inputText(bytes.substr(std::min(split + 1, bytes.size())));

    std::istringstream imageText{std::string(bytes.substr(0, split))};
    std::vector<Word> image;
    try {
        image = readImage(imageText);
    } catch (const ImageError& error) {
        std::ostringstream message;
        message << error;
        require(isOnePrintableLine(message.str()), "an image error is one printable line");
        return 0;
    }
    require(image.size() <= Machine::memorySize, "an image fits in memory");

    std::istringstream fastInput(inputText);
    std::ostringstream fastOutput;
    Machine fast(fastInput, fastOutput);
    fast.load(image);
    require(
        std::equal(image.begin(), image.end(), fast.memory.get()) &&
            std::all_of(fast.memory.get() + image.size(), fast.memory.get() + Machine::memorySize,
                        [](Word word) { return word == Word(0); }),
        "the image is loaded from address 0, the rest of memory is 0");

    std::istringstream stepInput(inputText);
    std::ostringstream stepOutput;
    Machine stepped(stepInput, stepOutput);
    stepped.load(image);

    const RunEnd fastEnd = runFast(fast);
    const RunEnd stepEnd = runStepByStep(stepped);
    if (fastEnd.faulted) {
        checkFault(fast);
    }
    require(fastEnd.faulted == stepEnd.faulted && sameState(fast, stepped) &&
                fastOutput.str() == stepOutput.str(),
            "the fast run and the step-by-step run end alike");
    require(fastEnd.faulted || fast.halted() || fastEnd.steps == stepCap,
            "a run stops only at the halt address, the step cap or a fault");
    return 0;
}
