// The playground's machine session: one assembled program, its input and
// output, breakpoints by source line, and the way back through the run. The
// page drives it from a Web Worker in slices of a bounded number of steps;
// the same class runs natively in the tests.
//
// The running, the breakpoints and the way back are the debugger's session
// (debug/Session.h): its snapshots and replay give Back and Reverse-continue,
// and its output log gives the output as it stood at the current step.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "assembly/Program.h"
#include "debug/Session.h"
#include "machine/Machine.h"
#include "machine/MachineIO.h"

namespace Vorn::Web {

class Session {
  public:
    // The numbers a run may write; the write after them stops it.
    static constexpr std::size_t outputLimit = 100000;

    // Where the machine stands after an operation.
    enum class State : std::uint8_t {
        Ready,       // at a step that can run on (at the start, or paused)
        Breakpoint,  // paused at a breakpoint, which the next Continue runs past
        Halted,      // the program jumped to 0xFFFF
        Fault,  // the next instruction is a loadi or storei through a word without an address field
        OutputFull,  // the next instruction would write more than outputLimit numbers
        NoProgram,   // the source has an assembly error
        Watchpoint,  // paused after a step that changed a watched word or register
    };

    // A breakpoint reached or a watched value changed, at a step of the run.
    struct Hit {
        std::uint64_t step = 0;
        std::string what;  // "line 6", "count", "*12", "A"
        bool watch = false;
        std::int32_t oldValue = 0;  // a watchpoint's value before and after
        std::int32_t newValue = 0;
    };

    Session();
    ~Session();
    Session(Session&&) noexcept;
    Session& operator=(Session&&) noexcept;

    // Assembles the source and sets the machine at its start.
    void load(std::string_view source, std::string input);
    // Back to the start of the same program and input, as a new run.
    void restart();

    // Breakpoints by source line: every instruction cell of the line.
    void setBreakpointLines(const std::vector<std::int32_t>& lines);

    // Runs until the machine halts, faults, reaches a breakpoint or `budget`
    // steps have run (the state then stays Ready). A breakpoint the machine
    // stands on is run past, except at the start of the run.
    void continueRun(std::uint64_t budget);
    // Watchpoints, each a register name ("A" ... "P") or a memory address;
    // the session names an address by its label where it has one.
    void setWatchpoints(const std::vector<std::string>& watched);

    // One instruction.
    void step();
    // One instruction back; nothing at the start.
    void back();
    // Back to the latest step before this one at which a breakpoint was
    // reached, or to the start when there is none.
    void reverseContinue();
    // Straight to a step of the run so far (0 to lastStep()), past every
    // breakpoint and watchpoint, through the debugging session's history.
    void goToStep(std::uint64_t step);
    // The furthest step run.
    std::uint64_t lastStep() const;
    // The instructions run up to step `end` of the run so far, at most
    // `count` of them, oldest first, as the trace shows them; the machine
    // stays where it stands.
    std::vector<Debug::StepRecord> stepsUpTo(std::uint64_t end, std::size_t count);
    // The breakpoints reached and watched values changed, by step.
    const std::vector<Hit>& hits() const { return hits_; }

    // Changes a register or a memory word where the machine stands, as the
    // debugger's `set` does: the steps run after it are forgotten.
    void setRegister(RegisterId reg, std::int32_t value);
    void setMemory(std::uint16_t address, std::int32_t value);

    // Where the value of `location` came from, as it stands at the current
    // step (Debug::Session::origin, at most Debug::originLinks links).
    std::vector<Debug::OriginLink> origin(const Debug::Location& location);

    // The assembly error of the source, if it has one.
    const std::optional<Assembly::AssemblyError>& error() const { return program().error(); }
    const Program& program() const { return debug_->program(); }
    const Machine& machine() const { return debug_->machine(); }
    // The numbers written up to the current step, with the steps that wrote them.
    std::span<const Debug::OutputRecord> outputRecords() const;
    std::vector<std::int32_t> output() const;
    State state() const { return state_; }
    bool canRun() const {
        return state_ == State::Ready || state_ == State::Breakpoint || state_ == State::Watchpoint;
    }
    std::uint64_t steps() const { return debug_->step(); }
    // The source line of the instruction at the program counter, 0 for none.
    std::int32_t currentLine() const;
    // A sentence for the status bar: how the run stands.
    std::string describe() const;
    // After a fault or at the output limit: the run's sentence (run/Outcome.h).
    const std::string& message() const { return message_; }
    // The warning of the run's first entry into a cell outside the
    // instructions, or empty.
    const std::string& warning() const { return warning_; }

  private:
    struct Input;

    void start();
    void applyBreakpoints();
    void record(const Debug::Stop& stop);
    void addHit(const Debug::Stop& stop);
    void changedByHand();

    std::unique_ptr<Input> reader_;
    std::unique_ptr<Debug::Session> debug_;
    std::vector<std::int32_t> breakpointLines_;
    std::vector<std::string> watched_;
    std::vector<Hit> hits_;
    // How the run ended at its furthest step, for a return there.
    State endState_ = State::Ready;
    std::string endMessage_;
    State state_ = State::NoProgram;
    std::string message_;
    std::string warning_;
};

}  // namespace Vorn::Web
