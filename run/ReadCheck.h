// Reads of memory that nothing wrote: an observer of a run (Observers::reads)
// that knows which words the program's image filled and which the run has
// written, and finds the first time a `load` or `loadi` reads any other word
// (once per address). A program that relies on memory being 0 shows here.
#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "machine/Machine.h"
#include "program/Program.h"

namespace Vorn::Run {

struct UnwrittenRead {
    std::uint16_t instruction = 0;  // the address of the load or loadi
    Word word;                      // the instruction's word as it ran
    std::uint16_t address = 0;      // the word it read
    std::int32_t line = 0;          // the instruction's source line, 0 for none
    std::uint64_t step = 0;         // the step that read it (from 1)
};

class ReadCheck {
  public:
    explicit ReadCheck(const Program& program);

    // Before the instruction at the machine's program counter runs, as step
    // `step`: whether it reads a word nothing wrote, the first time for that
    // word (then the last of found()); and the word it writes counts as
    // written from now on.
    bool beforeStep(const Machine& machine, std::uint64_t step);

    // For a fast run (Machine::runUntil): the cells to stop at so that
    // beforeStep sees every step that reads or writes memory. Each byte has
    // memoryStop where the word there reads or writes memory, and
    // outsideStop where `outside` (memorySize bytes, or null) is not 0.
    static constexpr std::uint8_t outsideStop = 1;
    static constexpr std::uint8_t memoryStop = 2;
    const std::uint8_t* stops(const Machine& machine, const std::uint8_t* outside);
    // No more outsideStop.
    void stopOutside();
    // After the step that beforeStep saw: the word it wrote may be one to stop at.
    void afterStep(const Machine& machine);

    // Every read found so far, in the order of the run.
    const std::vector<UnwrittenRead>& found() const { return found_; }

  private:
    const Program& program_;
    std::bitset<Machine::memorySize> written_;
    std::bitset<Machine::memorySize> reported_;
    std::vector<UnwrittenRead> found_;
    std::vector<std::uint8_t> stops_;
    std::optional<std::uint16_t> lastWrite_;
};

// "line 7 (load A total) reads address 20, which neither the program's image
// nor the run has written", without "Warning: "; for an image, "the
// instruction at address 5 (load A 20) reads ...".
std::string unwrittenReadMessage(const Program& program, const UnwrittenRead& read);

}  // namespace Vorn::Run
