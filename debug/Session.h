// A debugging session over one loaded program: its machine, its input,
// breakpoints and watchpoints, and the recorded history that lets it run
// backwards. No terminal, file or browser code: a command line, a test and a
// web page drive the same session.
//
// The history is a row of snapshots of the whole machine (registers, program
// counter, memory, the position in the input, the step) taken every
// `interval` steps, with the memory kept in pages that a snapshot shares with
// the one before when they did not change. Any earlier step is reached by
// restoring the nearest snapshot at or before it and running forward again:
// the run is deterministic, since every number `read` took is kept and handed
// out again in the same order. When the snapshots pass their budget, every
// other one is dropped and the interval doubles.
//
// The output log, when asked for, keeps each number written with its step;
// a snapshot keeps how many had been written, so at any step the output as
// it stood then is the start of the log.
//
//   Session session(Program::fromImage(words), {});
//   session.addBreakpoint(5);
//   Stop stop = session.continueRun();   // stop.reason == Stop::Reason::Breakpoint
//   stop = session.reverseStep(1);
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "debug/Expression.h"
#include "machine/Machine.h"
#include "program/Program.h"
#include "run/Outcome.h"

namespace Vorn::Debug {

// A breakpoint, or a watchpoint on a memory word or a register.
struct Point {
    enum class Kind : std::uint8_t { Breakpoint, MemoryWatch, RegisterWatch };
    int number = 0;
    Kind kind = Kind::Breakpoint;
    std::uint16_t address = 0;
    RegisterId reg = RegisterId::A;
    std::string what;        // as the user named it: "loop", "*12", "count", "A"
    bool temporary = false;  // deleted when it stops the program (tbreak)
    bool enabled = true;
    // Each time it was reached with its condition true, ignored or not.
    std::uint64_t hits = 0;
    // How many of the next hits pass without stopping.
    std::uint64_t ignoreCount = 0;
    // Stops only where this is not 0 (a breakpoint: before its instruction,
    // a watchpoint: after the write); none: always.
    std::shared_ptr<const Expression> condition;
};

// One instruction that ran, as the trace shows it.
struct StepRecord {
    std::uint64_t step = 0;  // its number, from 1
    std::uint16_t address = 0;
    Word instruction;
    StepEffect effect;
};

// Why a run, a step or a reverse command ended, and the state it left.
struct Stop {
    enum class Reason : std::uint8_t {
        Stepped,       // a step ran its instructions
        SteppedBack,   // a reverse-step undid its instructions
        Breakpoint,    // before the instruction at breakpoint `point`
        Watchpoint,    // after (going back: before) an instruction wrote watchpoint `point`
        Halted,        // the program counter reached 0xFFFF
        Fault,         // the next instruction faults (or, strict, is outside the
                       // instructions); `message` says why; it did not run
        StepLimit,     // Options::limits.steps steps have run; `message` says so
        OutputLimit,   // the next instruction writes past Options::limits.outputLines
        HistoryStart,  // a reverse command reached the oldest step kept
        Interrupted,   // the interrupt flag was raised
        InputStopped,  // the input gave up at a read (MachineIO::Stop); it did not run
        NotRunning,    // a forward command on a halted program: nothing ran
        NoHistory,     // a reverse command with the history off: nothing changed
        Reached,       // advanceTo reached one of its addresses
    };
    Reason reason = Reason::Stepped;
    int point = 0;
    // Every watchpoint the instruction wrote, `point` first: they watch the
    // same word or register, so they share its old and new value.
    std::vector<int> points;
    bool temporary = false;  // `point` was a temporary breakpoint: it is deleted
    // A reverse command stopped: before the instruction at the breakpoint, or
    // before the write of the watchpoint (which is about to store newValue).
    bool backward = false;
    // A condition that could not be evaluated stopped here: why.
    std::string conditionError;
    Word oldValue;  // a watchpoint's word before and after the write
    Word newValue;
    std::string message;  // a fault's or a limit's sentence (run/Outcome.h)
    // The warning of the run's first entry into a cell outside the
    // instructions, when this command made it (not strict).
    std::string warning;
    bool historyDropped = false;     // HistoryStart above step 0: older steps were dropped
    std::optional<StepRecord> last;  // the last instruction run forward, for a step
};

// One link of a value's origin (see Session::origin): where the value stood,
// and what put it there.
struct OriginLink {
    enum class Source : std::uint8_t {
        Step,        // step `step` (the instruction at `address`) wrote it
        Input,       // the read of step `step` wrote it: input number `input`
        Image,       // nothing wrote it: the program's image put it there
        Start,       // nothing wrote it since the start: 0, as every word begins
        BeforeKept,  // nothing wrote it since `step`, the oldest step the history keeps
        NotFollowed  // the limit on links: this location and the rest are not followed
    };
    int depth = 0;  // 0 for the location asked about, 1 for its sources...
    Location location;
    Word value;
    Source source = Source::Step;
    std::uint64_t step = 0;
    std::uint16_t address = 0;
    Word instruction;
    std::uint64_t input = 0;  // from 1
};

// One number the program wrote: the step that wrote it (from 1), the address
// of its write instruction, and the number.
struct OutputRecord {
    std::uint64_t step = 0;
    std::uint16_t address = 0;
    std::int32_t value = 0;
    bool operator==(const OutputRecord&) const = default;
};

struct HistoryStats {
    std::uint64_t oldestStep = 0;    // the oldest step a reverse command can reach
    std::uint64_t furthestStep = 0;  // the furthest step run since the state last changed
    std::uint64_t snapshots = 0;
    std::uint64_t interval = 0;  // steps between snapshots
    std::uint64_t bytes = 0;     // the memory the history holds
    std::uint64_t inputsKept = 0;
};

class Session {
  public:
    static constexpr std::uint64_t unlimited = std::numeric_limits<std::uint64_t>::max();

    struct Options {
        // How many steps back a reverse command may go; 0 turns the history off.
        std::uint64_t historyLimit = unlimited;
        // The numbers read takes first (a file), until it gives Ended; may be empty.
        std::function<InputResult()> input;
        // Asked for a number when the input and the numbers appended have run
        // out (a prompt at a terminal); may throw MachineIO::Stop; may be empty.
        std::function<InputResult()> ask;
        // Each number the program writes, going forward (never in a replay).
        std::function<void(std::int32_t)> output;
        // Raised from outside (a signal handler) to stop a running command.
        const std::atomic<bool>* interrupt = nullptr;
        // The budget of the snapshots: their number and the bytes of their pages.
        std::uint64_t maxSnapshots = 1024;
        std::uint64_t maxBytes = 48u << 20;
        // A snapshot compares the whole memory with the one before (a
        // quarter of a megabyte): every 2^20 steps that is about 1% of a fast
        // run, and a reverse-step replays at most about a millisecond.
        std::uint64_t firstInterval = 1u << 20;
        // How many writes the output log keeps, the first ones of the run
        // (0: no log). Only the writes take room, however long the run.
        std::size_t outputLog = 0;
        // The run's limits: the steps from the start, the numbers written,
        // and whether entering a cell outside the instructions is a fault.
        Run::Limits limits;
    };

    Session(Program program, Options options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const Program& program() const { return program_; }
    const Machine& machine() const { return machine_; }
    std::uint64_t step() const { return step_; }
    std::uint16_t programCounter() const { return machine_.programCounter; }

    // Forward. `run` starts again from step 0 (a breakpoint at the first
    // instruction stops it at once); `continueRun` first runs the instruction
    // at the program counter, breakpoint or not; `stepForward` runs n
    // instructions unless a breakpoint or watchpoint stops it earlier.
    Stop run();
    // `run` with a new input for read, instead of the numbers read so far and
    // those appended.
    Stop run(std::function<InputResult()> input);
    Stop continueRun();
    // Runs until the program counter reaches one of the addresses (or a
    // breakpoint, a watchpoint, ... stops it first): Stop::Reason::Reached.
    Stop advanceTo(const std::vector<std::uint16_t>& addresses);
    Stop stepForward(std::uint64_t n);
    // Backward.
    Stop reverseStep(std::uint64_t n);
    Stop reverseContinue();
    // Back to step 0 as a new run, without running: it reads again what the
    // last run read, up to the first end of the input.
    void restart();
    // Straight to step `target` of the run so far, either way, past every
    // breakpoint and watchpoint (a timeline dragged): from the nearest
    // snapshot, never from the start. Clamped to the steps kept, from the
    // oldest reachable to the furthest run.
    Stop seek(std::uint64_t target);

    // Breakpoints and watchpoints; numbers count from 1 and are not reused.
    const Point& addBreakpoint(std::uint16_t address, std::string what, bool temporary = false);
    const Point& addMemoryWatch(std::uint16_t address, std::string what);
    const Point& addRegisterWatch(RegisterId reg, std::string what);
    bool remove(int number);
    void removeAll();
    // Each false when there is no point `number`.
    bool setCondition(int number, std::shared_ptr<const Expression> condition);
    bool setEnabled(int number, bool enabled);
    bool setIgnoreCount(int number, std::uint64_t count);
    const std::vector<Point>& points() const { return points_; }

    // Changes the state at the current step; later steps already run are
    // forgotten, earlier ones stay reachable.
    void setRegister(RegisterId reg, Word value);
    void setMemory(std::uint16_t address, Word value);
    void setProgramCounter(std::uint16_t address);
    void appendInput(std::int32_t value);

    HistoryStats history() const;

    // The chain that produced the value of `location` after step `step`
    // (at most the current step): the step that last wrote it, then, for the
    // values that step used (the word a load read, the register a store
    // stored, both operands of add...), their own, depth first, until the
    // image, the input or the start, at most `maxLinks` links (then one
    // NotFollowed link where the rest begins). Each link is
    // found by going back through the history: a replay from the snapshot
    // before it, stopping only at instructions that may write the location.
    // The session stays at its step.
    std::vector<OriginLink> origin(Location location, std::uint64_t step, std::size_t maxLinks);

    // The output log: the run's writes in order, up to Options::outputLog,
    // those after the current step (run before going back) included.
    const std::vector<OutputRecord>& outputLog() const { return outputLog_; }
    // How many numbers the program has written up to the current step, also
    // those past the end of the log; the first min(outputCount(),
    // outputLog().size()) entries of the log are the output as it stands.
    std::uint64_t outputCount() const { return written_; }

  private:
    class Recorder;
    struct Snapshot;
    struct Scan;

    Stop forward(std::uint64_t limit, bool breakAtFirst);
    bool oneStep(Stop& stop, std::uint64_t& done);
    bool finishFastRun(const Machine::RunResult& result, Stop& stop, std::uint64_t& done);
    void couldNotRun(Run::Outcome::End end, Stop& stop);
    void enteredStrictly(Stop& stop);
    void warnEntering(Stop& stop);
    void markEntering();
    void tookLoggedWrite();
    bool anyStop() const { return anyBreakpoint_ || entering_; }
    bool logHasRoom() const { return outputLog_.size() < options_.outputLog; }
    Stop stopHere(Stop::Reason reason);
    bool interrupted() const;
    Word valueOf(const Point& point) const;
    const Point& addPoint(Point point);
    Point* find(int number);
    bool conditionHolds(const Point& point, std::string& error) const;
    bool breakpointStops(std::uint16_t address, Stop& stop);
    bool watchStops(const StepEffect& effect, Stop& stop);
    int breakpointAt(std::uint16_t address, std::string& error) const;
    bool breakpointReachable() const;
    void changedByHand();
    void rebuildStops();

    // The history.
    bool historyOn() const { return options_.historyLimit != 0; }
    std::uint64_t nextSnapshotStep() const;
    std::uint64_t nextChangeByHand() const;
    void takeSnapshot(bool keep);
    void afterForward();
    void thin();
    void dropOld();
    std::uint64_t oldestReachable() const;
    void restore(const Snapshot& snapshot);
    void goTo(std::uint64_t target);
    void replay(std::uint64_t steps);
    bool scanInterval(std::size_t index, std::uint64_t end, std::uint64_t oldest, Scan& scan);
    // The origin's search (debug/Origin.cpp).
    struct Write;
    std::optional<Write> lastWrite(const Location& location, std::uint64_t upTo);
    bool lastWriteIn(std::size_t index, std::uint64_t end, const Location& location,
                     std::optional<Write>& found);

    Program program_;
    Options options_;
    std::unique_ptr<Recorder> recorder_;
    Machine machine_;
    std::uint64_t step_ = 0;

    std::vector<Point> points_;
    int nextPoint_ = 1;
    std::vector<std::uint8_t> breakAt_;  // one byte per address: the stops of a fast run
    bool anyBreakpoint_ = false;
    // Whether the cells outside the instructions are marked in breakAt_: for
    // a source until the run first enters one, or always when strict.
    bool entering_ = false;
    bool outputFull_ = false;  // the last write stopped at the output limit
    bool anyWatch_ = false;
    std::vector<Word> before_;  // the watched values before a step

    // Every result read has taken, in order, and where the next read is (the
    // number of reads before it). Equal results in a row are kept once, with
    // the count of reads up to the last of them: a program that reads on at
    // the end of its input adds nothing.
    struct TapeRun {
        InputResult result;
        std::uint64_t end = 0;
    };
    std::uint64_t tapeLength() const { return tape_.empty() ? 0 : tape_.back().end; }
    InputResult tapeAt(std::uint64_t position);
    void record(InputResult result);
    std::vector<TapeRun> tape_;
    std::uint64_t tapePosition_ = 0;
    std::size_t tapeRun_ = 0;  // the run of the last read from the tape
    std::deque<std::int32_t> appended_;
    bool inputEnded_ = false;
    bool replaying_ = false;

    // The writes up to the current step, and those logged; `writeLogged_`
    // says that the last step's write went into the log, its step not yet set.
    std::uint64_t written_ = 0;
    std::vector<OutputRecord> outputLog_;
    bool writeLogged_ = false;

    std::uint64_t pageBytes_ = 0;
    std::vector<Snapshot> snapshots_;  // by step
    std::uint64_t interval_;
    std::uint64_t frontier_ = 0;  // the furthest step reached since the state last changed
};

}  // namespace Vorn::Debug
