// The playground's machine session: one assembled program, the machine that
// runs it, its input and output, breakpoints by source line, and the way
// back through the run. The page drives it from a Web Worker in slices of a
// bounded number of steps; the same class runs natively in the tests.
//
// Going back replays the run from the start: the machine is deterministic
// and its input is fixed for the run, so the state after N steps is the state
// a fresh machine reaches in N steps.
#pragma once

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "assembly/Program.h"
#include "machine/Machine.h"
#include "machine/MachineIO.h"

namespace Vorn::Web {

// Reads the run's input as vornsim reads standard input and keeps what the
// program writes, up to a limit.
class PageIO : public MachineIO {
  public:
    static constexpr std::size_t outputLimit = 100000;

    explicit PageIO(const std::string& input) : input_(input), reader_(input_, discard_) {}

    InputResult read() override { return reader_.read(); }
    void write(std::int32_t value) override;

    const std::vector<std::int32_t>& output() const { return output_; }

  private:
    std::istringstream input_;
    std::ostream discard_{nullptr};
    StreamIO reader_;
    std::vector<std::int32_t> output_;
};

class Session {
  public:
    // Where the machine stands after an operation.
    enum class State : std::uint8_t {
        Ready,       // at a step that can run on (at the start, or paused)
        Breakpoint,  // paused at a breakpoint, which the next Continue runs past
        Halted,      // the program jumped to 0xFFFF
        Fault,       // loadi or storei through a word without an address field
        OutputFull,  // the program wrote more than PageIO::outputLimit numbers
        NoProgram,   // the source has an assembly error
    };

    // Assembles the source and sets the machine at its start.
    void load(std::string_view source, std::string input);
    // Back to the start of the same program and input.
    void restart();

    // Breakpoints by source line: every instruction cell of the line.
    void setBreakpointLines(const std::vector<std::int32_t>& lines);

    // Runs until the machine halts, faults, reaches a breakpoint or `budget`
    // steps have run (the state then stays Ready). A breakpoint the machine
    // stands on is run past.
    void continueRun(std::uint64_t budget);
    // One instruction.
    void step();
    // One instruction back; nothing at the start.
    void back();
    // Back to the latest step before this one at which a breakpoint was
    // reached, or to the start when there is none.
    void reverseContinue();

    const Assembly::Program& program() const { return program_; }
    const Machine& machine() const { return *machine_; }
    const std::vector<std::int32_t>& output() const { return io_->output(); }
    State state() const { return state_; }
    bool canRun() const { return state_ == State::Ready || state_ == State::Breakpoint; }
    std::uint64_t steps() const { return steps_; }
    // The source line of the instruction at the program counter, 0 for none.
    std::int32_t currentLine() const;
    // A sentence for the status bar: how the run stands.
    std::string describe() const;

  private:
    void startMachine();
    // Runs to `target` steps from the start, with no breakpoints.
    void replayTo(std::uint64_t target);
    // The machine's way to end a run, recorded in the state.
    void record(Machine::RunResult::End end);

    Assembly::Program program_;
    std::vector<Word> image_;
    std::string input_;
    std::unique_ptr<PageIO> io_;
    std::unique_ptr<Machine> machine_;
    std::vector<std::uint8_t> breakpoints_ = std::vector<std::uint8_t>(Machine::memorySize);
    std::uint64_t steps_ = 0;
    State state_ = State::NoProgram;
};

}  // namespace Vorn::Web
