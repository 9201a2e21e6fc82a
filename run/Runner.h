// One run of a program on a machine, under the rules of run/Outcome.h: the
// fastest loop the run allows (Machine::run, or Machine::runUntil counting
// the profile and stopping only where a check is due: a cell outside the
// instructions, an instruction that reads or writes memory for the check of
// reads), or step by step when an observer needs every step (the trace, the
// write log). Observers that are absent cost
// nothing.
//
//   Run::Runner runner(program, io, {.steps = 1000});
//   const Run::Outcome outcome = runner.run();
//   if (outcome.end != Run::Outcome::End::Halted) { ... outcome.message ... }
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "machine/Machine.h"
#include "machine/MachineIO.h"
#include "program/Program.h"
#include "run/Outcome.h"
#include "run/Profile.h"
#include "run/ReadCheck.h"

namespace Vorn::Run {

struct Observers {
    std::ostream* trace = nullptr;   // one line per instruction (machine/Trace.h)
    std::ostream* writes = nullptr;  // the CSV log of memory writes, header already written
    // The warning on entering a cell outside the instructions (not strict),
    // one line with "Warning: ".
    std::ostream* warnings = nullptr;
    // How many times each cell runs (run/Profile.h).
    Profile* profile = nullptr;
    // Reads of words nothing wrote (run/ReadCheck.h): each found is a warning
    // on `warnings` ("Warning: " and unwrittenReadMessage), or when strict a
    // fault before the instruction runs.
    ReadCheck* reads = nullptr;
    // Outcome::steps must be counted: without a step limit, the fastest loop counts none.
    bool countSteps = true;
};

class Runner {
  public:
    // The program is loaded into a new machine over `io`; both are borrowed.
    Runner(const Program& program, MachineIO& io, const Limits& limits,
           const Observers& observers = {});
    ~Runner();
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;

    // Runs from the machine's state until the run ends.
    Outcome run();

    Machine& machine() { return machine_; }
    const Machine& machine() const { return machine_; }
    // The warning given on entering a cell outside the instructions (without
    // "Warning: "), or empty.
    const std::string& warning() const { return warning_; }

  private:
    class OutputLimit;

    void runFast();
    void runUncounted();
    void runStepByStep();
    void end(Outcome::End how);
    void stopped();
    bool enter(std::uint16_t address);
    bool checkRead();
    bool stepAlone(std::uint64_t* counts);

    const Program& program_;
    MachineIO& io_;
    Limits limits_;
    Observers observers_;
    std::unique_ptr<OutputLimit> outputLimit_;
    Machine machine_;
    // Whether entering a cell outside the instructions is still checked:
    // for a source, or when strict; only the first cell is reported.
    bool checking_;
    std::uint64_t steps_ = 0;
    Outcome outcome_;
    std::string warning_;
};

}  // namespace Vorn::Run
