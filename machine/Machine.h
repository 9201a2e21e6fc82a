// One Vorn machine: 65536 words of memory, 16 registers, a program counter,
// and the MachineIO that read and write use.
//
// A new machine has every memory word and register 0 and the program counter
// at 0. The program counter 0xFFFF means halted; the word there never runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <span>

#include "machine/MachineIO.h"
#include "machine/Registers.h"
#include "machine/StepEffect.h"
#include "machine/Word.h"

namespace Vorn {

class Machine {
  public:
    static constexpr std::size_t memorySize = 0x10000;
    static constexpr std::uint16_t haltAddress = 0xFFFF;

    // The input and output are borrowed.
    explicit Machine(MachineIO& io);
    // Reads and writes the two streams (see StreamIO); both are borrowed.
    Machine(std::istream& input, std::ostream& output);

    // Copies a memory image into the addresses 0 upwards (at most memorySize words).
    void load(std::span<const Word> image);

    bool halted() const { return programCounter == haltAddress; }

    // Executes the instruction at the program counter and returns the new
    // program counter; a halted machine does nothing and returns 0xFFFF.
    // MachineIO::Stop from a read or write leaves with the program counter
    // past the instruction.
    // loadi and storei through a register whose word has no address field
    // throw Word::InvalidAddressInOperation, the program counter already
    // advanced and nothing else changed.
    std::uint16_t step();
    // The same, also telling what the step changed.
    std::uint16_t step(StepEffect& effect);

    // Steps until the machine halts; a program that never halts runs forever.
    void run();
    // Steps until the machine halts or `limit` steps have run; returns the
    // number of steps run.
    std::uint64_t run(std::uint64_t limit);

    // How a bounded run ended.
    struct RunResult {
        enum class End : std::uint8_t {
            Halted,     // the program counter is 0xFFFF
            StepLimit,  // `limit` steps ran
            Stopped,    // the program counter reached an address flagged in `stops`
            Fault,      // Word::InvalidAddressInOperation; the program counter is past it
            IOStopped,  // the MachineIO threw MachineIO::Stop; the program counter is past it
        };
        std::uint64_t steps = 0;  // steps run, a faulting or stopped one included
        End end = End::Halted;
    };
    // Steps until the machine halts, `limit` steps have run, or the program
    // counter reaches an address whose byte in `stops` (memorySize bytes, or
    // null for none) is not 0: the instruction there does not run, also
    // when it is the first. A fault or a MachineIO::Stop ends the run too,
    // with no exception leaving. With `counts` (memorySize entries), each
    // instruction that starts adds one at its address (a profile); without
    // it the loop is the same as ever.
    RunResult runUntil(std::uint64_t limit, const std::uint8_t* stops = nullptr,
                       std::uint64_t* counts = nullptr);

    // A faster way to run the long part of a bounded run, where a platform
    // has one: the WebAssembly build compiles the program it meets (see
    // compile/WasmRun.h). Without one, runUntil is the run loop alone.
    class Accelerator {
      public:
        // How a call ended: it cannot run from the program counter, where
        // the run loop goes on (nothing there has run or been checked); it
        // ended as `result.end` says; or it left the instruction at the
        // program counter, which has passed the halt and stop tests, for the
        // run loop to run as one step.
        enum class Ended : std::uint8_t { NotHere, Ended, Aside };
        virtual ~Accelerator() = default;
        // Runs from the program counter until it halts, reaches an address
        // flagged in `stops` (memorySize bytes, or null), or, at a jump back,
        // has run at least `limit` steps (StepLimit; at most 65534 steps
        // more). result.steps: the steps it ran, in every case. `resumed`:
        // called again right after the step it left aside, in the same run,
        // with nothing else run or changed in between.
        virtual Ended run(Machine& machine, std::uint64_t limit, const std::uint8_t* stops,
                          bool resumed, RunResult& result) = 0;
    };
    // The accelerator every machine's bounded runs use (borrowed; null for none).
    static void setAccelerator(Accelerator* accelerator);

    std::unique_ptr<Word[]> memory;
    Register::Registers registers;
    std::uint16_t programCounter = 0;

  private:
    // What each operation does, written once for every way of running.
    template <bool Record>
    class Operations;

    template <bool Record>
    std::uint32_t execute(std::uint32_t address, StepEffect* effect);
    // How a run loop counts its steps against its limit: not at all; one
    // by one; or by straight runs, at each jump taken (see runLoop).
    enum class Counting : std::uint8_t { None, Exact, ByRuns };
    template <Counting counting, bool Stopping, bool Profiling = false>
    void runLoop(std::uint64_t limit, const std::uint8_t* stops, RunResult& result,
                 std::uint64_t* counts = nullptr);
    void runAccelerated(std::uint64_t limit, const std::uint8_t* stops, RunResult& result);
    template <bool Stopping, bool Profiling>
    void runCounted(std::uint64_t limit, const std::uint8_t* stops, RunResult& result,
                    std::uint64_t* counts);

    std::unique_ptr<StreamIO> ownIO_;
    MachineIO* io_;
};

}  // namespace Vorn
